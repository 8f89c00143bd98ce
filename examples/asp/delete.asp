<%@ Language="VBScript" %>
<!-- #include file="settings.inc" -->
<html><body>
<%
If Request.Form("name") <> "" Then
  Dim ldap
  Set ldap = NewLdap(True)
  ldap.DN "ou", "Visitors"
  ldap.DN "cn", Request.Form("name")
  ldap.Delete
  Outcome ldap, "Deleted " & Request.Form("name") & "."
End If
%>
<form method="post">Name <input name="name"> <input type="submit" value="Delete"></form>
</body></html>
