<%@ Language="VBScript" %>
<!-- #include file="settings.inc" -->
<html><body>
<h1>Staff search</h1>
<form method="get"><input name="q" value="<%= Server.HTMLEncode(Request("q")) %>">
<input type="submit" value="Search"></form>
<%
' A search by surname prefix, sorted by surname, shown as a table: result(i) is a
' column, and row k of every column belongs to the same entry.
Dim ldap, result, i, k, columns, values
If Request("q") <> "" Then
  Set ldap = NewLdap(False)
  ldap.DN "ou", "Staff"
  ' Never put page input into a filter unescaped: keep letters only here.
  Dim re : Set re = New RegExp : re.Pattern = "[^A-Za-z]" : re.Global = True
  ldap.Filter = "(sn=" & re.Replace(Request("q"), "") & "*)"
  ldap.Attributes = "sn;cn;mail;telephoneNumber"
  ldap.Sort = "sn"
  Set result = ldap.Query
  If ldap.IsError Then
    Response.Write "<p>" & Server.HTMLEncode(ldap.ErrorReason) & "</p>"
  Else
    ReDim columns(result.Count - 1)
    Response.Write "<table><tr>"
    For i = 1 To result.Count
      Set columns(i - 1) = result(i).ValuesList
      Response.Write "<th>" & Server.HTMLEncode(result(i).Attributes) & "</th>"
    Next
    Response.Write "</tr>"
    For k = 1 To columns(0).Count
      Response.Write "<tr>"
      For i = 0 To UBound(columns)
        values = columns(i)(k).Value
        Response.Write "<td>"
        If UBound(values) >= 0 Then Response.Write Server.HTMLEncode(values(0))
        Response.Write "</td>"
      Next
      Response.Write "</tr>"
    Next
    Response.Write "</table>"
  End If
End If
%>
</body></html>
