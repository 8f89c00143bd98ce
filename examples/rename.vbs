' Renames an entry in place: it stays under the same parent, and its old name's value
' (here cn: Eve Adams) is removed from the entry.
' Run with: cscript //nologo rename.vbs <host> <port>
Option Explicit
Dim ldap
Set ldap = CreateObject("Quillon.Ldap")
ldap.ServerName = WScript.Arguments(0)
ldap.Port = WScript.Arguments(1)
ldap.UserName = "cn=admin,dc=example,dc=com"
ldap.Password = "secret"

ldap.DN "dc", "com"
ldap.DN "dc", "example"
ldap.DN "ou", "Alumni"
ldap.DN "cn", "Eve Adams"
ldap.NewRDN "cn", "Eve Baker"
ldap.ModifyDN
If ldap.IsError Then
  WScript.Echo "Rename failed: " & ldap.ErrorReason
Else
  WScript.Echo "Renamed cn=Eve Adams to cn=Eve Baker."
End If
