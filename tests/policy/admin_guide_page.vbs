' A page of the Shop site of the administrator's guide, whose policy lets it search and
' nothing else. It names no server: the administrator's default server is used.
Option Explicit
Dim o, r
Set o = CreateObject("Quillon.Ldap")
o.DN "dc", "com"
o.DN "dc", "example"
o.DN "ou", "People"
o.Scope = "base"
o.Attributes = "ou"
Set r = o.Query
WScript.Echo "Query: IsError=" & o.IsError & " rows=" & r(1).ValuesList.Count
o.Delete
WScript.Echo "Delete: IsError=" & o.IsError & " [" & o.ErrorReason & "]"
WScript.Echo "END"
