<%@ Language="VBScript" %>
<!-- #include file="settings.inc" -->
<html><body>
<%
' Signs a user in by binding with the user's own DN and password. An empty password would
' bind anonymously and succeed, so it is refused before the directory is asked.
Dim ldap, result, name, password
If Request.QueryString("signout") <> "" Then Session.Abandon
If Session("user") <> "" And Request.QueryString("signout") = "" Then
  Response.Write "<p>Signed in as " & Server.HTMLEncode(Session("user")) & ". <a href=""?signout=1"">Sign out</a></p>"
End If
name = Request.Form("name")
password = Request.Form("password")
If name <> "" Then
  If password = "" Then
    Response.Write "<p>Please enter your password.</p>"
  Else
    Set ldap = NewLdap(False)
    ldap.DN "ou", "People"
    ldap.DN "cn", name
    ldap.UserName = "cn=" & name & ",ou=People,dc=example,dc=com"
    ldap.Password = password
    ldap.Scope = "base"
    ldap.Attributes = "cn"
    Set result = ldap.Query
    If ldap.IsError Then
      Response.Write "<p>Sign-in failed: " & Server.HTMLEncode(ldap.ErrorReason) & "</p>"
    Else
      Session("user") = name
      Response.Write "<p>Welcome, " & Server.HTMLEncode(name) & ".</p>"
    End If
  End If
End If
%>
<form method="post">Name <input name="name"> Password <input type="password" name="password">
<input type="submit" value="Sign in"></form>
</body></html>
