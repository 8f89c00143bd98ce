' Reads more entries than the server hands out to one search: with PageSize the search
' goes a page at a time and the pages come back as one result, sorted over all of them.
' The server of this example keeps plain searches to 500 entries, holds 2,000 under
' ou=Many, and accepts only encrypted connections.
' Run with: cscript //nologo paged-search.vbs <host> <port>
Option Explicit
Dim ldap, result, names, surnames, who, first, last

Function NewSearch()
  Dim l
  Set l = CreateObject("Quillon.Ldap")
  l.ServerName = WScript.Arguments(0)
  l.Port = WScript.Arguments(1)
  l.Encryption = "starttls"
  l.UserName = "cn=reader,dc=example,dc=com"
  l.Password = "reader-secret"
  l.DN "dc", "com"
  l.DN "dc", "example"
  l.DN "ou", "Many"
  l.Attributes = "sn;cn"
  l.Sort = "sn"
  Set NewSearch = l
End Function

' Without PageSize the server's limit stops the search.
Set ldap = NewSearch()
Set result = ldap.Query
WScript.Echo "Plain search: " & ldap.ErrorReason

' With it, everything arrives.
ldap.PageSize = 500
Set result = ldap.Query
If ldap.IsError Then
  WScript.Echo "Paged search failed: " & ldap.ErrorReason
  WScript.Quit
End If
Set surnames = result(1).ValuesList
Set names = result(2).ValuesList
WScript.Echo "Paged search: " & names.Count & " entries"
WScript.Echo "  first: " & Row(1)
WScript.Echo "  last:  " & Row(names.Count)

' Row k of every column belongs to the same entry.
Function Row(k)
  Dim sn, cn
  sn = surnames(k).Value
  cn = names(k).Value
  Row = sn(0) & " " & cn(0)
End Function

' MaxRows still caps the total.
ldap.MaxRows = 1000
Set result = ldap.Query
WScript.Echo "Paged search with MaxRows 1000: " & ldap.ErrorReason

' A visitor's text goes into Filter only escaped: otherwise "*" would match everyone.
Function EscapeFilter(text)
  Dim i, c, out
  out = ""
  For i = 1 To Len(text)
    c = Mid(text, i, 1)
    Select Case c
      Case "\": out = out & "\5c"
      Case "*": out = out & "\2a"
      Case "(": out = out & "\28"
      Case ")": out = out & "\29"
      Case Chr(0): out = out & "\00"
      Case Else: out = out & c
    End Select
  Next
  EscapeFilter = out
End Function

Set ldap = NewSearch()
ldap.PageSize = 500
For Each who In Array("m0007", "*", "m00*)(cn=*")
  ldap.Filter = "(cn=" & EscapeFilter(who) & ")"
  Set result = ldap.Query
  WScript.Echo "Visitor typed " & who & ": " & result(1).ValuesList.Count & " found"
Next
WScript.Echo "done"
