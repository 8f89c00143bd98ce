<%@ Language="VBScript" %>
<!-- #include file="settings.inc" -->
<%
' Stores the request body (an image posted as application/octet-stream, for example by
' fetch() with a File) as the jpegPhoto of cn=<name>,ou=Visitors. Request.BinaryRead
' gives a byte array; it is staged with its size in bytes, so it is sent as binary.
Dim ldap, bytes, size
size = Request.TotalBytes
bytes = Request.BinaryRead(size)
Set ldap = NewLdap(True)
ldap.DN "ou", "Visitors"
ldap.DN "cn", Request.QueryString("name")
ldap.AttributeModify "jpegPhoto", bytes, size, 0     ' 0: replace any photo there
ldap.Modify
Outcome ldap, "Stored a " & size & "-byte photo."
%>
