<%@ Language="VBScript" %>
<!-- #include file="settings.inc" -->
<html><body>
<%
' Everyone by name, descending, at most 50 rows, within 5 seconds.
Dim ldap, result, row, values
Set ldap = NewLdap(False)
ldap.DN "ou", "Staff"
ldap.Attributes = "cn;title"
ldap.Sort = "cn"              ' must equal a listed name exactly, or sorting is switched off
ldap.SortAscending = 0        ' descending
ldap.SortCaseSensitive = 0
ldap.MaxRows = 50             ' more than 50 matches fail with "Size Limit Exceeded"
ldap.Timeout = 5
Set result = ldap.Query
If ldap.IsError Then
  Response.Write Server.HTMLEncode(ldap.ErrorReason)
Else
  For Each row In result(1).ValuesList
    values = row.Value
    Response.Write Server.HTMLEncode(values(0)) & "<br>"
  Next
End If
%>
</body></html>
