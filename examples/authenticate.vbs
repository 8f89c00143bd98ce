' Checks a user's password by binding with the user's own DN and password: a Query with
' base scope on the user's own entry succeeds only if the bind does.
' An empty password binds anonymously and would succeed: always refuse it first.
' Run with: cscript //nologo authenticate.vbs <host> <port>
Option Explicit
WScript.Echo "carla-pass: " & Authenticate("Carla Diaz", "carla-pass")
WScript.Echo "wrong:      " & Authenticate("Carla Diaz", "wrong")
WScript.Echo "(empty):    " & Authenticate("Carla Diaz", "")

Function Authenticate(name, password)
  Dim ldap, result
  If password = "" Then
    Authenticate = "refused: no password"
    Exit Function
  End If
  Set ldap = CreateObject("Quillon.Ldap")
  ldap.ServerName = WScript.Arguments(0)
  ldap.Port = WScript.Arguments(1)
  ldap.DN "dc", "com"
  ldap.DN "dc", "example"
  ldap.DN "ou", "People"
  ldap.DN "cn", name
  ldap.UserName = "cn=" & name & ",ou=People,dc=example,dc=com"
  ldap.Password = password
  ldap.Scope = "base"
  ldap.Attributes = "cn"
  Set result = ldap.Query
  If ldap.IsError Then
    Authenticate = "refused: " & ldap.ErrorReason
  Else
    Authenticate = "welcome"
  End If
End Function
