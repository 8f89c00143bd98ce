' Binds with the password encrypted. The server of this example refuses anything sent
' in clear text ("Confidentiality Required"). Encryption "ldaps" speaks TLS from the
' first byte (on the LDAPS port, 636 unless Port says otherwise); "starttls" connects to
' the plain port and starts TLS before the bind. When TLS cannot be set up the operation
' fails and nothing is sent in clear text.
' Run with: cscript //nologo secure-bind.vbs <host> <port> <ldaps port>
Option Explicit
Dim encryption, ldap, result, rows, sn

Function Reader(encryption, port)
  Dim l
  Set l = CreateObject("Quillon.Ldap")
  l.ServerName = WScript.Arguments(0)
  l.Port = port
  l.Encryption = encryption
  l.Timeout = 5             ' also bounds setting up TLS
  l.UserName = "cn=reader,dc=example,dc=com"
  l.Password = "reader-secret"
  l.DN "dc", "com"
  l.DN "dc", "example"
  l.DN "cn", "reader"
  l.Scope = "base"
  l.Attributes = "sn"
  Set Reader = l
End Function

For Each encryption In Array("none", "starttls", "ldaps", "tls")
  If encryption = "ldaps" Then
    Set ldap = Reader(encryption, WScript.Arguments(2))
  Else
    Set ldap = Reader(encryption, WScript.Arguments(1))
  End If
  Set result = ldap.Query
  If ldap.IsError Then
    WScript.Echo encryption & ": " & ldap.ErrorReason
  Else
    Set rows = result(1).ValuesList
    sn = rows(1).Value
    WScript.Echo encryption & ": bound and read sn = " & sn(0)
  End If
Next
WScript.Echo "done"
