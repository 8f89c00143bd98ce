<%@ Language="VBScript" %>
<!-- #include file="settings.inc" -->
<html><body>
<%
' Renames cn=<old>,ou=Visitors to cn=<new>: the entry stays under ou=Visitors and its old
' cn value is removed.
If Request.Form("old") <> "" Then
  Dim ldap
  Set ldap = NewLdap(True)
  ldap.DN "ou", "Visitors"
  ldap.DN "cn", Request.Form("old")
  ldap.NewRDN "cn", Request.Form("new")
  ldap.ModifyDN
  Outcome ldap, "Renamed."
End If
%>
<form method="post">From <input name="old"> to <input name="new"> <input type="submit" value="Rename"></form>
</body></html>
