<%@ Language="VBScript" %>
<!-- #include file="settings.inc" -->
<html><body>
<%
' Methods never raise errors. Test IsError right after each call: it stays 1 until a
' Query succeeds, and ErrorReason keeps the last message even then.
Dim ldap
Set ldap = NewLdap(True)
ldap.DN "ou", "Visitors"
ldap.DN "cn", "Nobody"
ldap.Delete
If ldap.IsError Then
  Response.Write "<p>Delete failed: " & Server.HTMLEncode(ldap.ErrorReason) & "</p>"
End If
%>
</body></html>
