<%@ Language="VBScript" %>
<!-- #include file="parts/greeting.inc" -->
<%
' Touches every intrinsic object, so that a load of this page shows the host's own costs.
Session("seen") = Session("seen") + 1
Application.Lock
Application("hits") = Application("hits") + 1
Application.Unlock
Response.Cookies("last") = "index"
%>
<html><body><p><%= Greeting("tests") %></p>
<p>method=<%= Request.ServerVariables("REQUEST_METHOD") %> bytes=<%= Request.TotalBytes %></p>
<p>q=<%= Server.HTMLEncode(Request.QueryString("q")) %> form=<%= Server.HTMLEncode(Request.Form("f")) %></p>
<p>path=<%= Server.MapPath("styles/site.css") %> url=<%= Server.URLEncode("a b&c") %></p>
</body></html>
