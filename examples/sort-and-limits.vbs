' Sorting and limits. Rows are ordered by the first listed attribute that equals Sort;
' values compare as text (so "10" sorts before "9"), exactly or ignoring case.
' MaxRows caps the number of entries: a search that would return more fails.
' Run with: cscript //nologo sort-and-limits.vbs <host> <port>
Option Explicit
Dim ldap, result
Set ldap = CreateObject("Quillon.Ldap")
ldap.ServerName = WScript.Arguments(0)
ldap.Port = WScript.Arguments(1)
ldap.DN "dc", "com"
ldap.DN "dc", "example"
ldap.DN "ou", "Staff"
ldap.Filter = "(title=Manager)"
ldap.Attributes = "givenName;title"
ldap.Sort = "givenName"
ldap.SortAscending = 0           ' descending
ldap.SortCaseSensitive = 0       ' "anna" and "Anna" count as equal
Set result = ldap.Query
WScript.Echo "Managers, by first name descending: " & Names(result)

' Sort must name a listed attribute exactly (case included); otherwise it is cleared
' and stays cleared until it is set again.
ldap.Sort = "GIVENNAME"
Set result = ldap.Query
WScript.Echo "Sort GIVENNAME (no exact match): " & Names(result)

ldap.Filter = "(objectClass=inetOrgPerson)"
ldap.MaxRows = 5
Set result = ldap.Query
WScript.Echo "Everyone with MaxRows 5: " & ldap.ErrorReason
ldap.MaxRows = 0                 ' no limit
ldap.Timeout = 10                ' give up after 10 seconds
Set result = ldap.Query
WScript.Echo "Everyone without a limit: " & result(1).ValuesList.Count & " people"

Function Names(result)
  Dim row, values, text
  For Each row In result(1).ValuesList
    values = row.Value
    text = text & values(0) & " "
  Next
  Names = RTrim(text)
End Function
