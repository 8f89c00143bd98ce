<%@ Language="VBScript" %>
<!-- #include file="settings.inc" -->
<%
' Sends the jpegPhoto of cn=<name>,ou=Staff as the response: <img src="photo.asp?name=...">.
' Bytes(0) is the first value's bytes exactly as stored.
Dim ldap, result, rows
Set ldap = NewLdap(False)
ldap.Timeout = 10
ldap.DN "ou", "Staff"
ldap.DN "cn", Request.QueryString("name")
ldap.Scope = "base"
ldap.Attributes = "jpegPhoto"
Set result = ldap.Query
If ldap.IsError Then
  Response.Status = "404 Not Found"
  Response.Write Server.HTMLEncode(ldap.ErrorReason)
Else
  Set rows = result(1).ValuesList
  If rows.Count = 0 Then
    Response.Status = "404 Not Found"
  Else
    ' The line breaks around the include and the script blocks are output too: clear
    ' them, send only the image's bytes, and end the response before the last line break.
    Response.Clear
    Response.ContentType = "image/jpeg"
    Response.BinaryWrite rows(1).Bytes(0)
    Response.End
  End If
End If
%>
