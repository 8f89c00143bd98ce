' Names beyond the code page from VBScript, which passes variables by reference: each name
' (read from a UTF-16 file: Wine's VBScript has no ChrW) is added, found by a filter, read
' back exactly, and deleted. Output is ASCII only: cscript may crash echoing other text.
Option Explicit
Dim host, port, fso, file, names, i, o, r, q, rows, values
host = WScript.Arguments(0)
port = WScript.Arguments(1)
Set fso = CreateObject("Scripting.FileSystemObject")
Set file = fso.OpenTextFile(fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), _
                                          "..\data\unicode-names.txt"), 1, False, -1)
names = Split(file.ReadAll, vbCrLf)
file.Close

Function InUnicode(cn)
  Dim l
  Set l = CreateObject("Quillon.Ldap")
  l.ServerName = host
  l.Port = port
  l.UserName = "cn=admin,dc=example,dc=com"
  l.Password = "secret"
  l.DN "dc", "com"
  l.DN "dc", "example"
  l.DN "ou", "Unicode"
  If cn <> "" Then l.DN "cn", cn
  Set InUnicode = l
End Function

For i = 0 To UBound(names) - 1
  Set o = InUnicode(names(i))
  o.Delete   ' what an earlier run left
  Set o = InUnicode(names(i))
  o.AttributeAdd "objectClass", "person", -1
  o.AttributeAdd "cn", names(i), -1
  o.AttributeAdd "sn", names(i), -1
  o.Add
  Set r = InUnicode("")
  r.Filter = "(sn=" & names(i) & ")"
  r.Attributes = "cn"
  Set q = r.Query
  Set rows = q(1).ValuesList
  values = rows(1).Value
  WScript.Echo "name " & (i + 1) & ": add error " & o.IsError & ", " & rows.Count & _
               " found, read back " & (values(0) = names(i))
  Set o = InUnicode(names(i))
  o.Delete
  WScript.Echo "name " & (i + 1) & ": delete error " & o.IsError
Next
WScript.Echo "END"
