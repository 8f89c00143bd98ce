' Moves an entry from one ou to another with ModifyDN: NewParent names the new parent,
' NewRDN the entry's name there (here the same name: a move without a rename).
' Run with: cscript //nologo move.vbs <host> <port>
Option Explicit
Dim ldap

Function NewLdap()
  Set NewLdap = CreateObject("Quillon.Ldap")
  NewLdap.ServerName = WScript.Arguments(0)
  NewLdap.Port = WScript.Arguments(1)
  NewLdap.UserName = "cn=admin,dc=example,dc=com"
  NewLdap.Password = "secret"
End Function

Sub ShowTeam(team)
  Dim ldap, result, rows, values, k, names
  Set ldap = NewLdap()
  ldap.DistinguishedName = "ou=" & team & ",ou=Teams,dc=example,dc=com"
  ldap.Attributes = "cn"
  ldap.Sort = "cn"
  Set result = ldap.Query
  names = ""
  If ldap.Succeeded = 1 Then
    Set rows = result("cn").ValuesList
    For k = 1 To rows.Count
      values = rows(k).Value
      names = names & " " & values(0)
    Next
  End If
  WScript.Echo "  ou=" & team & ":" & names
End Sub

WScript.Echo "before:"
ShowTeam "Red"
ShowTeam "Blue"
Set ldap = NewLdap()
ldap.DistinguishedName = "cn=Jon Vik,ou=Red,ou=Teams,dc=example,dc=com"
ldap.NewRDN "cn", "Jon Vik"
ldap.NewParent = "ou=Blue,ou=Teams,dc=example,dc=com"
ldap.ModifyDN
WScript.Echo "move: Succeeded=" & ldap.Succeeded & " " & ldap.ErrorReason
WScript.Echo "after:"
ShowTeam "Red"
ShowTeam "Blue"
WScript.Echo "done"
