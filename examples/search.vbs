' Connects and searches: everyone in Engineering, sorted by surname, with three
' attributes. The result is organised by attribute: result(i) is one column, and row k of
' every column belongs to the same entry.
' Run with: cscript //nologo search.vbs <host> <port>
Option Explicit
Dim ldap, result, i, k, columns, rows, line, values
Set ldap = CreateObject("Quillon.Ldap")
ldap.ServerName = WScript.Arguments(0)
ldap.Port = WScript.Arguments(1)      ' no UserName and Password: an anonymous bind

' The search base, named from the top of the tree down: ou=Staff,dc=example,dc=com
ldap.DN "dc", "com"
ldap.DN "dc", "example"
ldap.DN "ou", "Staff"
ldap.Filter = "(departmentNumber=Engineering)"
ldap.Attributes = "cn;sn;mail;telephoneNumber"
ldap.Sort = "sn"                      ' must be listed: it becomes the first column

Set result = ldap.Query
If ldap.IsError Then
  WScript.Echo "Search failed: " & ldap.ErrorReason
  WScript.Quit
End If

' One row list per column, read once; every list has the same number of rows.
ReDim columns(result.Count - 1)
For i = 1 To result.Count
  Set columns(i - 1) = result(i).ValuesList
Next
rows = columns(0).Count
WScript.Echo rows & " people in Engineering:"
For k = 1 To rows
  line = ""
  For i = 0 To UBound(columns)
    values = columns(i)(k).Value      ' every value of that attribute in entry k
    If UBound(values) >= 0 Then line = line & Left(values(0) & Space(28), 28)
  Next
  WScript.Echo "  " & RTrim(line)
Next
