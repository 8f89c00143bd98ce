' A profile page: the visitor signs in with a mail address and a password, the page finds
' the visitor's entry, then reads and edits it through DistinguishedName, bound as the
' visitor. The address is escaped before it goes into the filter, so "*" finds nobody.
' Run with: cscript //nologo profile.vbs <host> <port>
Option Explicit

Function NewLdap()
  Set NewLdap = CreateObject("Quillon.Ldap")
  NewLdap.ServerName = WScript.Arguments(0)
  NewLdap.Port = WScript.Arguments(1)
  NewLdap.Timeout = 10
End Function

' The DN of the one entry with this mail address, or "" when there is none.
Function FindVisitor(mail)
  Dim ldap, result, rows, values
  FindVisitor = ""
  Set ldap = NewLdap()
  ldap.DistinguishedName = "ou=Teams,dc=example,dc=com"
  ldap.Scope = "subtree"
  ldap.Filter = "(mail=" & ldap.EscapeFilterValue(mail) & ")"
  ldap.Attributes = "dn"
  Set result = ldap.Query
  If ldap.Succeeded <> 1 Then Exit Function
  Set rows = result("dn").ValuesList
  If rows.Count <> 1 Then Exit Function
  values = rows(1).Value
  FindVisitor = values(0)
End Function

' An object working on the visitor's own entry, bound as the visitor.
Function VisitorLdap(dn, password)
  Set VisitorLdap = NewLdap()
  VisitorLdap.DistinguishedName = dn
  VisitorLdap.UserName = dn
  VisitorLdap.Password = password
End Function

Sub ShowProfile(dn, password)
  Dim ldap, result, rows, values
  Set ldap = VisitorLdap(dn, password)
  ldap.Scope = "base"
  ldap.Attributes = "cn;telephoneNumber"
  Set result = ldap.Query
  If ldap.Succeeded <> 1 Then
    WScript.Echo "cannot read the profile: " & ldap.ErrorReason
    Exit Sub
  End If
  Set rows = result("cn").ValuesList
  values = rows(1).Value
  WScript.Echo "  name:  " & values(0)
  Set rows = result("telephoneNumber").ValuesList
  values = rows(1).Value
  WScript.Echo "  phone: " & values(0)
End Sub

Dim dn, ldap
WScript.Echo "sign-in as *: [" & FindVisitor("*") & "]"
dn = FindVisitor("ida@example.com")
WScript.Echo "sign-in as ida@example.com: " & dn
ShowProfile dn, "ida-pass"

' The edit: the same entry, named by DistinguishedName; the password is checked by the
' bind, and a wrong one changes nothing.
Set ldap = VisitorLdap(dn, "wrong")
ldap.AttributeModify "telephoneNumber", "+1 555 0199", -1, 0
ldap.Modify
WScript.Echo "edit with a wrong password: Succeeded=" & ldap.Succeeded & " (" & ldap.ErrorReason & ")"
Set ldap = VisitorLdap(dn, "ida-pass")
ldap.AttributeModify "telephoneNumber", "+1 555 0199", -1, 0
ldap.Modify
WScript.Echo "edit: Succeeded=" & ldap.Succeeded
ShowProfile dn, "ida-pass"
WScript.Echo "done"
