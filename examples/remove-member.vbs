' Removing one member from a group, among other changes: AttributeDelete stages the removal
' of one value (or, without a value, of every value of an attribute), and Modify sends it
' with the other staged changes, in call order. ErrorCode gives the LDAP result code of a
' failure, for pages that branch on numbers rather than texts.
' Run with: cscript //nologo remove-member.vbs <host> <port>
Option Explicit
Dim ldap, result, rows, k, values

' A new object bound as the administrator, naming cn=Project X,ou=Visitors.
Function GroupLdap()
  Set GroupLdap = CreateObject("Quillon.Ldap")
  GroupLdap.ServerName = WScript.Arguments(0)
  GroupLdap.Port = WScript.Arguments(1)
  GroupLdap.UserName = "cn=admin,dc=example,dc=com"
  GroupLdap.Password = "secret"
  GroupLdap.Timeout = 10
  GroupLdap.DN "dc", "com"
  GroupLdap.DN "dc", "example"
  GroupLdap.DN "ou", "Visitors"
  GroupLdap.DN "cn", "Project X"
End Function

' The group to work on (in a real directory it is already there).
Set ldap = GroupLdap()
ldap.AttributeAdd "objectClass", "groupOfNames", -1
ldap.AttributeAdd "cn", "Project X", -1
ldap.AttributeAdd "member", "cn=Alice Walker,ou=Staff,dc=example,dc=com", -1
ldap.AttributeAdd "member", "cn=Bruno Moreau,ou=Staff,dc=example,dc=com", -1
ldap.AttributeAdd "description", "Spring launch", -1
ldap.Add
If ldap.IsError Then WScript.Echo "Add failed (" & ldap.ErrorCode & "): " & ldap.ErrorReason

' Bruno leaves, Chloe joins, the description goes.
Set ldap = GroupLdap()
ldap.AttributeDelete "member", "cn=Bruno Moreau,ou=Staff,dc=example,dc=com"
ldap.AttributeModify "member", "cn=Chloe Nakamura,ou=Staff,dc=example,dc=com", -1, 1
ldap.AttributeDelete "description"
ldap.Modify
If ldap.IsError = 0 Then WScript.Echo "Bruno removed, Chloe added, description cleared"

' Removing him again: the server says the value is not there.
ldap.AttributeDelete "member", "cn=Bruno Moreau,ou=Staff,dc=example,dc=com"
ldap.Modify
If ldap.ErrorCode = 16 Then WScript.Echo "Again: " & ldap.ErrorReason & " (" & ldap.ErrorCode & ")"

Set ldap = GroupLdap()
ldap.Scope = "base"
ldap.Attributes = "member;description"
Set result = ldap.Query
For k = 1 To result.Count
  Set rows = result(k).ValuesList
  values = rows(1).Value
  WScript.Echo result(k).Attributes & ": " & (UBound(values) + 1) & " value(s)"
  If UBound(values) >= 0 Then WScript.Echo "  " & values(0)
Next

' Leave the directory as it was.
Set ldap = GroupLdap()
ldap.Delete
WScript.Echo "done, error code " & ldap.ErrorCode
