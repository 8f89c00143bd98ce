<%@ Language="VBScript" %>
<!-- #include file="deep/helper.inc" -->
<% Response.Write "start" %>
<% Response.Write Broken() %>
