' Every property of a fresh Ldap object from VBScript: late-bound names in any case,
' put-only properties, Port given as text, and the error state a page reads.
Option Explicit
Dim o, x
Set o = CreateObject("Quillon.Ldap")
WScript.Echo "fresh: IsError=" & o.IsError & " ErrorReason=[" & o.ErrorReason & "] type=" & TypeName(o.IsError)
WScript.Echo "IsError = True: " & CStr(o.IsError = True) & ", If IsError: " & CStr(CBool(o.IsError))

o.ServerName = "localhost"
o.SERVERNAME = "127.0.0.1"
o.servername = "127.0.0.1"
o.Port = "389"
o.port = 389
o.UserName = "cn=admin,dc=example,dc=com"
o.Password = "secret"
o.Attributes = "cn;mail"
o.Filter = "  (cn=*)  "
o.Timeout = 10
o.Scope = "subtree"
o.MaxRows = 100
o.Sort = "cn"
o.SortAscending = 0
o.SortCaseSensitive = 0
o.FilterFile = "Z:\no\such\filter.txt"
WScript.Echo "after puts: IsError=" & o.IsError & " ErrorReason=[" & o.ErrorReason & "]"

' Reading a put-only property is a script error; assigning it worked above.
On Error Resume Next
Err.Clear : x = o.ServerName : Report "ServerName"
Err.Clear : x = o.Port : Report "Port"
Err.Clear : x = o.UserName : Report "UserName"
Err.Clear : x = o.Password : Report "Password"
Err.Clear : x = o.Attributes : Report "Attributes"
Err.Clear : x = o.Filter : Report "Filter"
Err.Clear : x = o.Timeout : Report "Timeout"
Err.Clear : x = o.Scope : Report "Scope"
Err.Clear : x = o.MaxRows : Report "MaxRows"
Err.Clear : x = o.Sort : Report "Sort"
Err.Clear : x = o.SortAscending : Report "SortAscending"
Err.Clear : x = o.SortCaseSensitive : Report "SortCaseSensitive"
Err.Clear : x = o.FilterFile : Report "FilterFile"
Err.Clear
o.ErrorReason = "x"
WScript.Echo "assign ErrorReason: " & Err.Number
On Error GoTo 0
WScript.Echo "END"

Sub Report(name)
  WScript.Echo "read " & name & ": " & Err.Number & " " & Err.Description
End Sub
