<%@ Language="VBScript" %>
<!-- #include file="parts/greeting.inc" -->
<html><body><p><%= Greeting("tests") %></p>
<p>method=<%= Request.ServerVariables("REQUEST_METHOD") %> bytes=<%= Request.TotalBytes %></p>
<p>q=<%= Server.HTMLEncode(Request.QueryString("q")) %></p>
</body></html>
