<%@ Language="VBScript" %>
<p>text</p>
<%
If True Then
  Response.Write "x"
%>
