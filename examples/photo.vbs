' Reading a stored photo back as bytes: Bytes gives each value of a row as a byte array of
' exactly ValueSize bytes (Value would cut it at the first zero byte). The bytes are saved
' to a file with ADODB.Stream where the system has it.
' Run with: cscript //nologo photo.vbs <host> <port> [file]
Option Explicit
Dim ldap, result, rows, sizes, stream, path
Set ldap = CreateObject("Quillon.Ldap")
ldap.ServerName = WScript.Arguments(0)
ldap.Port = WScript.Arguments(1)
ldap.Timeout = 10
ldap.DN "dc", "com"
ldap.DN "dc", "example"
ldap.DN "ou", "Staff"
ldap.DN "cn", "Alice Walker"
ldap.Scope = "base"
ldap.Attributes = "jpegPhoto"
Set result = ldap.Query
If ldap.IsError Then
  WScript.Echo "Search failed (" & ldap.ErrorCode & "): " & ldap.ErrorReason
Else
  Set rows = result(1).ValuesList
  sizes = rows(1).ValueSize
  WScript.Echo "photo of " & sizes(0) & " bytes"
  path = "photo-copy.jpg"
  If WScript.Arguments.Count > 2 Then path = WScript.Arguments(2)
  On Error Resume Next
  Set stream = CreateObject("ADODB.Stream")
  stream.Type = 1                   ' binary
  stream.Open
  stream.Write rows(1).Bytes(0)     ' the same bytes Response.BinaryWrite sends
  stream.SaveToFile path, 2         ' overwrite
  If Err.Number = 0 Then
    WScript.Echo "saved to " & path
  Else
    WScript.Echo "not saved: this system's ADODB.Stream cannot write bytes"
  End If
End If
