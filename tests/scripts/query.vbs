' Query against a real directory: the attribute list syntax, column order, sorting, the
' dn column, values and their sizes, the collections' bounds and for-each loops, result
' lifetime, limits, and the error state.
Option Explicit
Dim host, port
host = WScript.Arguments(0)
port = WScript.Arguments(1)

Function NewLdap()
  Dim o
  Set o = CreateObject("Quillon.Ldap")
  o.ServerName = host
  o.Port = port
  o.DN "dc", "com"
  o.DN "dc", "example"
  o.DN "ou", "Query"
  Set NewLdap = o
End Function

' One line per column: its name and, per row, the first value (or -) and its size.
Function Describe(result)
  Dim col, row, v, sz, s
  s = ""
  For Each col In result
    s = s & "  " & col.Attributes & ":"
    For Each row In col.ValuesList
      v = row.Value
      sz = row.ValueSize
      If UBound(v) < 0 Then
        s = s & " -"
      Else
        s = s & " " & v(0) & "(" & sz(0) & ")"
        If UBound(v) > 0 Then s = s & "+" & UBound(v)
      End If
    Next
    s = s & vbLf
  Next
  Describe = s
End Function

Function Columns(result)
  Dim i, s
  s = result.Count & ":"
  For i = 1 To result.Count
    s = s & " [" & result(i).Attributes & "]"
  Next
  Columns = s
End Function

Sub Show(label, o, result)
  WScript.Echo label & ": IsError=" & o.IsError & " ErrorReason=[" & o.ErrorReason & "]"
  If Not result Is Nothing Then WScript.Echo Describe(result)
End Sub

Dim o, r, list
Set o = NewLdap()
For Each list In Array("cn;mail;", " cn ;; mail ", ";cn", "cn;binaryData", "a\;b;c", "cn;a\;", _
                       "cn;userCertificate;binary;mail", " ", ";")
  o.Attributes = list
  Set r = o.Query
  WScript.Echo "Attributes """ & list & """ -> " & Columns(r)
Next

o.Attributes = "cn;sn;mail"
Set r = o.Query
Show "server order", o, r

o.Sort = "cn"
Set r = o.Query
Show "by cn, exact", o, r
o.SortCaseSensitive = 0
Set r = o.Query
Show "by cn, case ignored", o, r
o.Sort = "sn"
o.SortAscending = 0
o.Attributes = "sn;cn"
Set r = o.Query
Show "by sn descending, compared as text", o, r
o.Sort = "mail"
o.SortAscending = 1
o.Attributes = "cn;Mail"
Set r = o.Query
Show "Sort mail with Mail listed: the first column, but not sorted", o, r
o.Attributes = "cn;mail"
Set r = o.Query
Show "and Sort stays cleared", o, r
o.Sort = "mail"
Set r = o.Query
Show "by mail, missing first", o, r

Set o = NewLdap()
o.Attributes = "cn;DN;description;jpegPhoto"
o.Filter = "(|(cn=b)(cn=A))"
Set r = o.Query
Show "dn column, trimmed value, embedded zero byte", o, r

Set o = NewLdap()
o.Filter = "(cn=a)"
Set r = o.Query
WScript.Echo "without a list: " & Columns(r)
o.Sort = "sn"
Set r = o.Query
WScript.Echo "without a list, sorted on sn: " & Columns(r)

' Bounds: items are numbered from 1.
On Error Resume Next
Dim item
Set item = r(0)
WScript.Echo "Item(0): error " & Err.Number
Err.Clear
Set item = r(r.Count + 1)
WScript.Echo "Item(Count+1): error " & Err.Number
Err.Clear
Set item = r(1).ValuesList
Set item = item(item.Count + 1)
WScript.Echo "row Count+1: error " & Err.Number
On Error GoTo 0

' Results outlive the Ldap object, a later search and the collection a loop started on.
Set o = NewLdap()
o.Attributes = "cn"
o.Sort = "cn"
Set r = o.Query
Dim rows, keep, col, row, s, vals
Set rows = r(1).ValuesList
o.Filter = "(cn=a)"
Set keep = o.Query
Set o = Nothing
s = ""
For Each row In rows
  Set rows = Nothing
  vals = row.Value
  s = s & " " & vals(0)
Next
WScript.Echo "rows after the object and their collection went:" & s
WScript.Echo "later search: " & keep.Count & " column, " & keep(1).ValuesList.Count & " row"

' No match: an error without a list, an empty result with one.
Set o = NewLdap()
o.Filter = "(cn=nobody)"
Set r = o.Query
WScript.Echo "no match, no list: IsError=" & o.IsError & " [" & o.ErrorReason & "] nothing=" & (r Is Nothing)
o.Attributes = "cn"
Set r = o.Query
WScript.Echo "no match, a list: IsError=" & o.IsError & " [" & o.ErrorReason & "] rows=" & r(1).ValuesList.Count

' Limits and failures.
Set o = NewLdap()
o.MaxRows = 2
Set r = o.Query
WScript.Echo "MaxRows 2: IsError=" & o.IsError & " [" & o.ErrorReason & "] nothing=" & (r Is Nothing)
o.MaxRows = 4
o.Attributes = "cn"
Set r = o.Query
WScript.Echo "MaxRows 4: IsError=" & o.IsError & " rows=" & r(1).ValuesList.Count
o.Filter = "(cn=a"
Set r = o.Query
WScript.Echo "bad filter: IsError=" & o.IsError & " [" & o.ErrorReason & "]"
o.Filter = "(cn=a)"
Set r = o.Query
WScript.Echo "then a success: IsError=" & o.IsError & " [" & o.ErrorReason & "]"
Set o = CreateObject("Quillon.Ldap")
o.ServerName = host
Set r = o.Query
WScript.Echo "no base: IsError=" & o.IsError & " [" & o.ErrorReason & "]"
WScript.Echo "END"
