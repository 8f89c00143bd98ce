' Changes an existing entry (the one add.vbs creates). AttributeModify stages one value
' and says what to do with it: 1 adds the value to those the attribute has, 0 replaces
' all of the attribute's values. Modify sends the changes, then forgets them.
' Run with: cscript //nologo modify.vbs <host> <port>
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
ldap.DN "cn", "Fay Grant"

ldap.AttributeModify "telephoneNumber", "+1 555 0199", -1, 1   ' add a phone number
ldap.AttributeModify "mail", "fay@alumni.example.com", -1, 0   ' replace both mails
ldap.AttributeModify "title", "Guest Lecturer", -1, 0          ' set (replace) the title
ldap.Modify
If ldap.IsError Then
  WScript.Echo "Modify failed: " & ldap.ErrorReason
Else
  WScript.Echo "Changed cn=Fay Grant."
End If
