<%@ Language="JScript" %>
<!-- #include file="settings-js.inc" -->
<html><body>
<h1>Staff search (JScript)</h1>
<form method="get"><input name="q" value="<%= Server.HTMLEncode(String(Request("q") || "")) %>">
<input type="submit" value="Search"></form>
<%
// The same search as search.asp in JScript. Collections are indexed with calls:
// result(i) in VBScript is result(i) here too, and a Value array is read through VBArray.
var q = String(Request.QueryString("q") || "").replace(/[^A-Za-z]/g, "");
if (q != "") {
  var ldap = NewLdap(false);
  ldap.DN("ou", "Staff");
  ldap.Filter = "(sn=" + q + "*)";
  ldap.Attributes = "sn;cn;mail";
  ldap.Sort = "sn";
  var result = ldap.Query();
  if (ldap.IsError) {
    Response.Write("<p>" + Server.HTMLEncode(ldap.ErrorReason) + "</p>");
  } else {
    var columns = [];
    Response.Write("<table><tr>");
    for (var i = 1; i <= result.Count; i++) {
      columns.push(result(i).ValuesList());
      Response.Write("<th>" + Server.HTMLEncode(result(i).Attributes) + "</th>");
    }
    Response.Write("</tr>");
    for (var k = 1; k <= columns[0].Count; k++) {
      Response.Write("<tr>");
      for (var c = 0; c < columns.length; c++) {
        var values = new VBArray(columns[c](k).Value).toArray();
        Response.Write("<td>" + (values.length ? Server.HTMLEncode(values[0]) : "") + "</td>");
      }
      Response.Write("</tr>");
    }
    Response.Write("</table>");
  }
}
%>
</body></html>
