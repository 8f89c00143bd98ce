' Delete and ModifyDN against a real directory: success, the server's refusals, the bind
' rules and the sticky error state.
Option Explicit
Dim host, port
host = WScript.Arguments(0)
port = WScript.Arguments(1)

Function NewLdap(user, password)
  Dim o
  Set o = CreateObject("Quillon.Ldap")
  o.ServerName = host
  o.Port = port
  o.UserName = user
  o.Password = password
  o.DN "dc", "com"
  o.DN "dc", "example"
  o.DN "ou", "Scripts"
  Set NewLdap = o
End Function

Sub Show(label, o)
  WScript.Echo label & ": IsError=" & o.IsError & " ErrorReason=[" & o.ErrorReason & "]"
End Sub

Const Admin = "cn=admin,dc=example,dc=com"
Dim o
Set o = NewLdap(Admin, "secret")
o.DN "cn", "Delete Me"
o.Delete
Show "delete existing", o
o.Delete
Show "delete it again", o

Set o = NewLdap(Admin, "wrong")
o.DN "cn", "Keep Out"
o.Delete
Show "wrong password", o
' The error state is sticky: a later success on the same object leaves it as it was.
o.Password = "secret"
o.NewRDN "cn", "Kept"
o.ModifyDN
Show "successful rename after it", o

' A name without a password binds anonymously, and the server refuses anonymous writes.
Set o = NewLdap(Admin, "")
o.DN "cn", "Taken"
o.Delete
Show "user without password", o

Set o = NewLdap(Admin, "secret")
o.DN "cn", "Rename Me"
o.NewRDN "cn", "Renamed"
o.ModifyDN
Show "rename", o
o.ModifyDN
Show "rename the old name again", o

Set o = NewLdap(Admin, "secret")
o.DN "cn", "Kept"
o.NewRDN "cn", "Taken"
o.ModifyDN
Show "rename onto a taken name", o

' Validation comes before any connection: nothing listens on port 1.
Set o = CreateObject("Quillon.Ldap")
o.ServerName = host
o.Port = 1
o.Delete
Show "no DN", o
o.DN "cn", "x"
o.ModifyDN
Show "no new RDN", o
WScript.Echo "END"
