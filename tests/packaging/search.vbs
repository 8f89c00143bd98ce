' What a page does after the package is installed: create the object, search the sample
' directory. A missing class is reported, not left to stop the script silently.
Option Explicit
Dim ldap, result
On Error Resume Next
Set ldap = CreateObject("Quillon.Ldap")
If Err.Number <> 0 Then
  WScript.Echo "CreateObject failed: " & Hex(Err.Number)
  WScript.Echo "END"
  WScript.Quit
End If
On Error GoTo 0
ldap.ServerName = WScript.Arguments(0)
ldap.Port = WScript.Arguments(1)
ldap.DN "dc", "com"
ldap.DN "dc", "example"
ldap.DN "ou", "People"
ldap.Filter = "(objectClass=*)"
ldap.Attributes = "cn"
ldap.Scope = "one"
Set result = ldap.Query
WScript.Echo "IsError=" & ldap.IsError & " people=" & result(1).ValuesList.Count
WScript.Echo "END"
