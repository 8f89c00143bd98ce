' The hosting policy seen from a page: the site may Query but not Delete, and a page that
' names no server uses the administrator's default server and port, and keeps them.
Option Explicit
Dim o, r
Set o = CreateObject("Quillon.Ldap")
o.DN "dc", "com"
o.DN "dc", "example"
o.DN "ou", "People"
o.Attributes = "cn"
Set r = o.Query
WScript.Echo "Query on the default server: IsError=" & o.IsError & " [" & o.ErrorReason & "] rows=" & r(1).ValuesList.Count

' A kept connection does not get past the policy: the refused Delete fails on it like on
' any other, and the failure closes it; the next Query opens a new one.
Dim k
Set k = CreateObject("Quillon.Ldap")
k.KeepConnection = 1
k.DN "dc", "com"
k.DN "dc", "example"
k.DN "ou", "People"
k.Attributes = "cn"
Set r = k.Query
WScript.Echo "kept Query: Succeeded=" & k.Succeeded
k.Delete
WScript.Echo "Delete on the kept connection: Succeeded=" & k.Succeeded & " [" & k.ErrorReason & "]"
Set r = k.Query
WScript.Echo "Query after it: Succeeded=" & k.Succeeded & " rows=" & r(1).ValuesList.Count

' The administrator points the default elsewhere: this object keeps what it was given.
' With the 64-bit reg tool, as an administrator does: a 32-bit page's own RegWrite would go
' to the 32-bit registry view, which the component rightly does not read.
Dim shell, regTool
Set shell = CreateObject("WScript.Shell")
regTool = "%windir%\system32\reg.exe"
If Replace(shell.ExpandEnvironmentStrings("%PROCESSOR_ARCHITECTURE%"), Chr(0), "") = "x86" Then
  regTool = "%windir%\sysnative\reg.exe"   ' the 64-bit one, seen from a 32-bit process
End If
shell.Run regTool & " add HKLM\SOFTWARE\Tesmarin\Varnex /v LDAPServerInfo /t REG_SZ /d 127.0.0.1:1 /f", 0, True
Set r = o.Query
WScript.Echo "after the default moved: IsError=" & o.IsError & " rows=" & r(1).ValuesList.Count

' Refused before any connection: the default now names a port where nothing listens, so a
' connection attempt would report the server down instead.
Dim d
Set d = CreateObject("Quillon.Ldap")
d.UserName = "cn=admin,dc=example,dc=com"
d.Password = "secret"
d.DN "dc", "com"
d.DN "dc", "example"
d.DN "ou", "People"
d.DN "cn", "Ann Lee"
d.Delete
WScript.Echo "Delete: IsError=" & d.IsError & " [" & d.ErrorReason & "]"
d.Query
WScript.Echo "Query on port 1: IsError=" & d.IsError & " [" & d.ErrorReason & "]"
WScript.Echo "END"
