<%@ Language="VBScript" %>
<!-- #include file="settings.inc" -->
<html><body>
<%
' Creates cn=<name>,ou=Visitors from a form. Form values are objects with a default value;
' the component stages them as their text.
If Request.Form("name") <> "" Then
  Dim ldap
  Set ldap = NewLdap(True)
  ldap.DN "ou", "Visitors"
  ldap.DN "cn", Request.Form("name")
  ldap.AttributeAdd "objectClass", "inetOrgPerson", -1
  ldap.AttributeAdd "cn", Request.Form("name"), -1
  ldap.AttributeAdd "sn", Request.Form("surname"), -1
  ldap.AttributeAdd "mail", Request.Form("mail"), -1
  ldap.Add
  Outcome ldap, "Added " & Request.Form("name") & "."
End If
%>
<form method="post">
Name <input name="name"> Surname <input name="surname"> Mail <input name="mail">
<input type="submit" value="Add">
</form>
</body></html>
