<%@ Language="VBScript" %>
<!-- #include file="settings.inc" -->
<html><body>
<%
' Adds a mail address and replaces the phone number of cn=<name>,ou=Visitors.
If Request.Form("name") <> "" Then
  Dim ldap
  Set ldap = NewLdap(True)
  ldap.DN "ou", "Visitors"
  ldap.DN "cn", Request.Form("name")
  If Request.Form("mail") <> "" Then ldap.AttributeModify "mail", Request.Form("mail"), -1, 1
  If Request.Form("phone") <> "" Then ldap.AttributeModify "telephoneNumber", Request.Form("phone"), -1, 0
  ldap.Modify
  Outcome ldap, "Changed " & Request.Form("name") & "."
End If
%>
<form method="post">
Name <input name="name"> Add mail <input name="mail"> New phone <input name="phone">
<input type="submit" value="Change">
</form>
</body></html>
