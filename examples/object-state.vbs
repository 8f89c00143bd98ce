' Creates the component, sets every property and prints the error state a page reads
' after each call. Run with: cscript //nologo object-state.vbs
Option Explicit
Dim ldap
Set ldap = CreateObject("Quillon.Ldap")

' Where the directory is and who we are (empty user or password: anonymous bind).
ldap.ServerName = "127.0.0.1"
ldap.Port = 389
ldap.UserName = "cn=admin,dc=example,dc=com"
ldap.Password = "secret"

' What a search asks for: base, one level below it (the default) or the whole subtree.
ldap.Scope = "subtree"
ldap.Filter = "(objectClass=inetOrgPerson)"
ldap.Attributes = "cn;mail;telephoneNumber"
ldap.Sort = "cn"
ldap.SortAscending = 1
ldap.SortCaseSensitive = 0
ldap.MaxRows = 50          ' at most 50 entries; 0 means no limit
ldap.Timeout = 10          ' seconds; 0 means no limit
' A filter kept in a file replaces the one above; a missing file changes nothing.
ldap.FilterFile = "C:\inetpub\filters\people.txt"

' Setting properties never fails: problems show when an operation runs.
WScript.Echo "IsError:     " & ldap.IsError
WScript.Echo "ErrorReason: " & ldap.ErrorReason
If ldap.IsError Then
  WScript.Echo "Something went wrong."
Else
  WScript.Echo "The object is ready."
End If
