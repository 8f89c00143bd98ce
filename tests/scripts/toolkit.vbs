' The page author's toolkit (ILdap3) against a real directory: the whole name as one text,
' the two escapes through a real Add and search, ModifyDN's move, partial searches,
' Succeeded, ToBase64, columns by name and a kept connection (binds counted afterwards).
Option Explicit
Dim host, port
host = WScript.Arguments(0)
port = WScript.Arguments(1)
Const Admin = "cn=admin,dc=example,dc=com"
Const Base = "ou=Toolkit,dc=example,dc=com"

Function NewLdap()
  Dim o
  Set o = CreateObject("Quillon.Ldap")
  o.ServerName = host
  o.Port = port
  o.UserName = Admin
  o.Password = "secret"
  Set NewLdap = o
End Function

Sub Show(label, o)
  WScript.Echo label & ": Succeeded=" & o.Succeeded & " IsError=" & o.IsError & _
               " ErrorReason=[" & o.ErrorReason & "]"
End Sub

' The values of one column, one line per entry.
Function Column(result, name)
  Dim rows, k, values, text
  Set rows = result(name).ValuesList
  text = ""
  For k = 1 To rows.Count
    values = rows(k).Value
    text = text & "[" & values(0) & "]"
  Next
  Column = text
End Function

Dim o, r, name, found, i, rows, values
' The whole name as one text: it replaces what DN built, DN goes in front of it, empty
' text clears it.
Set o = NewLdap()
WScript.Echo "before any operation: Succeeded=" & o.Succeeded & " name=[" & o.DistinguishedName & "]"
o.DN "dc", "com"
o.DN "dc", "example"
WScript.Echo "built by DN: [" & o.DistinguishedName & "]"
o.DistinguishedName = Base
o.DN "cn", "Keeper"
WScript.Echo "put, then DN: [" & o.DistinguishedName & "]"
o.Scope = "base"
o.Attributes = "cn;sn"
Set r = o.Query
Show "base search", o
WScript.Echo "columns by name: cn=" & Column(r, "cn") & " SN=" & Column(r, "SN") & _
             " Item=" & r.Item("Cn").Attributes & " index=" & r(2).Attributes
o.DistinguishedName = ""
WScript.Echo "cleared: [" & o.DistinguishedName & "]"
o.Query
Show "query without a name", o
' Succeeded is not sticky, IsError is.
o.DistinguishedName = "cn=Keeper," & Base
o.Query
Show "query after it", o

' A name no column has is the error of an index out of range.
On Error Resume Next
Set rows = r("mail")
WScript.Echo "unknown column: " & Err.Number
Err.Clear
Set rows = r(3)
WScript.Echo "index out of range: " & Err.Number
Err.Clear
On Error GoTo 0

' The escapes, then a real Add under the escaped name and a search with the escaped filter.
name = "#Smith, John+""x""\<y>;z=*(w) "
WScript.Echo "EscapeDNValue: [" & o.EscapeDNValue(name) & "]"
WScript.Echo "EscapeFilterValue: [" & o.EscapeFilterValue(name) & "]"
WScript.Echo "leading space and NUL: [" & o.EscapeDNValue(" a" & Chr(0)) & "] [" & _
             o.EscapeFilterValue("a" & Chr(0) & "b") & "]"
Set o = NewLdap()
o.DistinguishedName = Base
o.DN "cn", o.EscapeDNValue(name)
o.AttributeAdd "objectClass", "person", -1
o.AttributeAdd "cn", name, -1
o.AttributeAdd "sn", "Escaped", -1
o.Add
Show "add under the escaped name", o
Set o = NewLdap()
o.DistinguishedName = Base
o.Filter = "(cn=" & o.EscapeFilterValue(name) & ")"
o.Attributes = "dn;cn"
Set r = o.Query
Show "search with the escaped filter", o
Set rows = r("dn").ValuesList
values = rows(1).Value
found = values(0)
WScript.Echo "found " & rows.Count & ": [" & found & "]"
' The found DN names the entry again, used exactly as given.
Set o = NewLdap()
o.DistinguishedName = found
o.AttributeModify "sn", "Found again", -1, 0
o.Modify
Show "modify through the found DN", o

' ModifyDN: moved under a new parent keeping the old name's value, renamed in place
' keeping it.
Set o = NewLdap()
o.DistinguishedName = "cn=Mover,ou=From," & Base
o.NewRDN "cn", "Moved"
o.NewParent = "ou=To," & Base
o.KeepOldRDN = 1
o.ModifyDN
Show "move and rename", o
Set o = NewLdap()
o.DistinguishedName = "cn=Stayer,ou=From," & Base
o.NewRDN "cn", "Stayed"
o.KeepOldRDN = 1
o.ModifyDN
Show "rename in place", o

' Partial: the first entries of a search cut short by MaxRows, sorted as usual.
Set o = NewLdap()
o.DistinguishedName = "ou=Query,dc=example,dc=com"
o.Attributes = "cn"
o.Sort = "cn"
o.SortCaseSensitive = 0
o.MaxRows = 2
Set r = o.Query
Show "MaxRows 2 of 4", o
WScript.Echo "Truncated=" & o.Truncated
o.Partial = 1
Set r = o.Query
Show "the same with Partial", o
WScript.Echo "Truncated=" & o.Truncated & " rows=" & r(1).ValuesList.Count
o.MaxRows = 4
Set r = o.Query
WScript.Echo "MaxRows 4 of 4: Truncated=" & o.Truncated & " rows=" & r(1).ValuesList.Count

' ToBase64: a binary value's bytes (with a zero byte inside) as text.
Set o = NewLdap()
o.DistinguishedName = "uid=q2,ou=Query,dc=example,dc=com"
o.Scope = "base"
o.Attributes = "jpegPhoto"
Set r = o.Query
Set rows = r("jpegphoto").ValuesList
WScript.Echo "ToBase64: [" & o.ToBase64(rows(1).Bytes(0)) & "] of Empty: [" & o.ToBase64(Empty) & "]"
On Error Resume Next
WScript.Echo o.ToBase64("text")
WScript.Echo "ToBase64 of text: " & Err.Number
On Error GoTo 0

' A kept connection: three searches on one bind; a changed password opens a new
' connection (and fails); the failure closes it, so the right password binds again.
Set o = CreateObject("Quillon.Ldap")
o.ServerName = host
o.Port = port
o.UserName = "cn=Keeper," & Base
o.Password = "keep"
o.KeepConnection = 1
o.DistinguishedName = "cn=Keeper," & Base
o.Scope = "base"
For i = 1 To 3
  o.Query
Next
Show "three kept searches", o
o.Password = "wrong"
o.Query
Show "changed password", o
o.Password = "keep"
o.Query
o.Query
Show "two more", o
WScript.Echo "END"
