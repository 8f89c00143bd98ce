<%@ Language="VBScript" %>
<%
Select Case Request.QueryString("do")
  Case "redirect"
    Response.Redirect "/target.asp?x=1"
    Response.Write "after redirect"
  Case "status"
    Response.Status = "403 Forbidden"
    Response.ContentType = "text/plain"
    Response.AddHeader "X-Page", "intrinsics"
    Response.Cookies("flavour") = "dark chocolate"
    Response.Write "refused"
  Case "end"
    Response.Write "kept"
    Response.End
    Response.Write "dropped"
  Case "clear"
    Response.Write "dropped"
    Response.Clear
    Response.Write "kept"
  Case "flush"
    Response.Write "first"
    Response.Flush
    Response.Write "second"
  Case "unbuffered"
    Response.Buffer = False
    Response.Write "one"
    Response.Write "two"
  Case "binary"
    Dim bytes : bytes = Request.BinaryRead(Request.TotalBytes)
    Response.ContentType = "application/octet-stream"
    Response.BinaryWrite bytes
  Case "form"
    Dim k
    For Each k In Request.Form
      Response.Write k & "=" & Request.Form(k) & "(" & Request.Form(k).Count & ");"
    Next
    Response.Write "cookie=" & Request.Cookies("c") & ";generic=" & Request("f")
  Case "session"
    Session("n") = Session("n") + 1
    Application.Lock
    Application("total") = Application("total") + 1
    Application.Unlock
    Response.Write "n=" & Session("n") & ";id=" & Len(Session.SessionID)
  Case "object"
    Set Session("o") = Server.CreateObject("Scripting.Dictionary")
  Case "mappath"
    Response.Write Server.MapPath("/deep/helper.inc") & "|" & Server.MapPath("x.txt")
    Response.Write "|" & Server.MapPath("../../../windows")
  Case "timeout"
    Server.ScriptTimeout = 2
    Response.Write "looping"
    Do
    Loop
End Select
%>
