<%@ Language="JScript" %>
<% Response.Write("js start"); %>
<%
var o = null;
o.missing();
%>
