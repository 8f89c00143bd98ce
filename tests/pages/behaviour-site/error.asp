<%@ Language="VBScript" %>
<!-- #include file="deep/helper.inc" -->
<p>before the error</p>
<%
Dim n
n = Twice(2)
Response.Write "n=" & n
n = n / 0
Response.Write "never"
%>
