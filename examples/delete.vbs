' Deletes one entry. A page names the entry with DN calls from the top of the tree down.
' Run with: cscript //nologo delete.vbs <host> <port>
Option Explicit
Dim ldap
Set ldap = CreateObject("Quillon.Ldap")
ldap.ServerName = WScript.Arguments(0)
ldap.Port = WScript.Arguments(1)
ldap.UserName = "cn=admin,dc=example,dc=com"   ' directory writes need a named bind
ldap.Password = "secret"

ldap.DN "dc", "com"
ldap.DN "dc", "example"
ldap.DN "ou", "Alumni"
ldap.DN "cn", "Dan Old"                        ' now cn=Dan Old,ou=Alumni,dc=example,dc=com
ldap.Delete
If ldap.IsError Then
  WScript.Echo "Delete failed: " & ldap.ErrorReason
Else
  WScript.Echo "Deleted cn=Dan Old."
End If

' The same name again: the server says there is no such entry.
ldap.Delete
If ldap.IsError Then WScript.Echo "Second delete failed: " & ldap.ErrorReason
