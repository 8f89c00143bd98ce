' AttributeAdd, AttributeModify, Add and Modify against a real directory: the ways scripts
' pass values, the server's refusals, and that nothing stays staged after Add or Modify.
Option Explicit
Dim host, port
host = WScript.Arguments(0)
port = WScript.Arguments(1)

Function NewLdap(rdn)
  Dim o
  Set o = CreateObject("Quillon.Ldap")
  o.ServerName = host
  o.Port = port
  o.UserName = "cn=admin,dc=example,dc=com"
  o.Password = "secret"
  o.DN "dc", "com"
  o.DN "dc", "example"
  o.DN "ou", "Staging"
  o.DN "cn", rdn
  Set NewLdap = o
End Function

Sub Show(label, o)
  WScript.Echo label & ": IsError=" & o.IsError & " ErrorCode=" & o.ErrorCode & _
               " ErrorReason=[" & o.ErrorReason & "]"
End Sub

' Like Request.Form("x"): an object whose default value is the text.
Class FormField
  Public Text
  Public Default Property Get Item()
    Item = Text
  End Property
End Class

Dim o, name, number, field, dictionary, password
Set o = NewLdap("Alice Add")
name = "Alice Add"
number = 5551234
Set field = New FormField
field.Text = "Alice"
Set dictionary = CreateObject("Scripting.Dictionary")
o.AttributeAdd "objectClass", "inetOrgPerson", -1
o.AttributeAdd "cn", name, -1                     ' a variable: passed by reference
o.AttributeAdd "sn", "  Add  ", -1                ' sent trimmed
o.AttributeAdd "mail", "alice@example.com", -1
o.AttributeAdd "MAIL", "a.add@example.com", -1    ' joins mail
o.AttributeAdd "telephoneNumber", CStr(number), -1
o.AttributeAdd "givenName", field, -1             ' its default value
o.AttributeAdd "title", dictionary, -1            ' no default value: nothing staged
o.AttributeAdd "employeeNumber", number, -1       ' numbers, Empty, Null: nothing staged
o.AttributeAdd "employeeType", Empty, -1
o.AttributeAdd "departmentNumber", Null, -1
' A string with a size is sent as the string's own bytes (UTF-16LE), that many of them:
' LenB(password) on Windows; Wine's VBScript has no LenB, and 2 * Len is the same.
password = "pa" & Chr(233) & "ss"
o.AttributeAdd "userPassword", password, 2 * Len(password)
o.Add
Show "add", o
o.AttributeAdd "objectClass", "inetOrgPerson", -1
o.AttributeAdd "cn", name, -1
o.AttributeAdd "sn", "Again", -1
o.Add
Show "add it again", o
o.Password = "wrong"
o.Add
Show "nothing staged after the failure", o

' Modify: replace (Add 0) and add (Add 1); two replacements of sn are sent in call order,
' so the last one stays. A value staged with AttributeAdd is added.
Set o = NewLdap("Changing")
o.AttributeModify "description", "new description", -1, 0
o.AttributeModify "mail", "second@example.com", -1, 1
o.AttributeModify "sn", "First", -1, 0
o.AttributeModify "sn", "Second", -1, 0
o.AttributeAdd "mail", "third@example.com", -1
' A file read as Unicode text keeps its bytes in the string: sent with the file's size.
Dim fso, photoPath, file
Set fso = CreateObject("Scripting.FileSystemObject")
photoPath = fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "..\..\examples\photo.jpg")
Set file = fso.OpenTextFile(photoPath, 1, False, -1)
o.AttributeModify "jpegPhoto", file.ReadAll, fso.GetFile(photoPath).Size, 0
file.Close
o.Modify
Show "modify", o

' A failed Add, then a successful Modify: the error state stays.
Set o = NewLdap("Changing")
o.AttributeAdd "objectClass", "inetOrgPerson", -1
o.AttributeAdd "cn", "Changing", -1
o.AttributeAdd "sn", "Changing", -1
o.Add
Show "add an existing entry", o
o.AttributeModify "title", "Changed", -1, 1
o.Modify
Show "successful modify after it", o

' The values of the group cn=Team, staged for Add.
Sub StageGroup(o)
  o.AttributeAdd "objectClass", "groupOfNames", -1
  o.AttributeAdd "cn", "Team", -1
  o.AttributeAdd "member", "cn=Ann,ou=Staging,dc=example,dc=com", -1
  o.AttributeAdd "member", "cn=Bob,ou=Staging,dc=example,dc=com", -1
  o.AttributeAdd "description", "one", -1
  o.AttributeAdd "description", "two", -1
  o.AttributeAdd "businessCategory", "sales", -1
End Sub

' Removals, sent by Modify in call order with the other changes: one member of a group,
' one text value, every value of an attribute; then a value that is not there, and every
' value of an attribute the entry's class requires.
Set o = NewLdap("Team")
StageGroup o
o.AttributeDelete "description", "one"
o.Add
Show "add with a removal staged", o
Set o = NewLdap("Team")
StageGroup o
o.Add
Show "add a group", o
Set o = NewLdap("Team")
o.AttributeModify "member", "cn=Cy,ou=Staging,dc=example,dc=com", -1, 1
o.AttributeDelete "member", "cn=Ann,ou=Staging,dc=example,dc=com"
o.AttributeDelete "description", " one "
o.AttributeDelete "businessCategory"
o.Modify
Show "remove a member among other changes", o
o.AttributeDelete "description", "not there"
o.Modify
Show "remove a value that is not there", o
o.AttributeDelete "member"
o.Modify
Show "remove a required attribute", o
' Call order across a removal: the value added after removing every value stays.
Set o = NewLdap("Team")
o.AttributeAdd "description", "a", -1
o.AttributeDelete "description"
o.AttributeAdd "DESCRIPTION", "b", -1
o.Modify
Show "add, remove every value, add again", o

' Bytes gives a binary value back as received: the photo copied to a new entry, and a
' binary password removed by its own bytes.
Dim q, r, rows, photo, sizes
Set q = NewLdap("Changing")
q.Scope = "base"
q.Attributes = "jpegPhoto"
Set r = q.Query
Set rows = r(1).ValuesList
photo = rows(1).Bytes
sizes = rows(1).ValueSize
WScript.Echo "photo: " & (UBound(photo) + 1) & " value, " & sizes(0) & " bytes, query error " & q.ErrorCode
Set o = NewLdap("Photo Copy")
o.AttributeAdd "objectClass", "inetOrgPerson", -1
o.AttributeAdd "cn", "Photo Copy", -1
o.AttributeAdd "sn", "Copy", -1
o.AttributeAdd "jpegPhoto", rows(1).Bytes(0), sizes(0)
o.Add
Show "add the copied photo", o
Set o = NewLdap("Changing")
o.AttributeModify "userPassword", "pw", 4, 1
o.Modify
q.Attributes = "userPassword"
Set r = q.Query
Set rows = r(1).ValuesList
photo = rows(1).Bytes
sizes = rows(1).ValueSize
o.AttributeDelete "userPassword", photo(0), sizes(0)
o.Modify
Show "remove a binary value by its bytes (" & sizes(0) & ")", o

' ErrorCode: the LDAP result code of the last failure, 0 again after a successful search.
Set o = NewLdap("Nobody Here")
o.Delete
Show "delete a missing entry", o
o.Password = "wrong"
o.Delete
Show "wrong password", o
q.Password = "wrong"
Set r = q.Query
Show "search with a wrong password", q
q.Password = "secret"
Set r = q.Query
Show "then a successful search", q

' Validation comes before any connection: nothing listens on port 1.
Set o = CreateObject("Quillon.Ldap")
o.ServerName = host
o.Port = 1
o.AttributeAdd "cn", "x", -1
o.Modify
Show "no DN", o
o.DN "cn", "x"
o.Modify
Show "staged values went with the refused call", o
o.ServerName = ""
o.Add
Show "no server", o

' Fail-over: the first server named does not answer (nothing listens on 127.0.0.2), the
' second does.
Set o = NewLdap("Team")
o.ServerName = "127.0.0.2 " & host
o.Scope = "base"
Set r = o.Query
Show "first of two servers down: " & r(1).ValuesList.Count & " entry", o
WScript.Echo "END"
