' Creates an entry. Each AttributeAdd stages one value; calling it again with the same
' attribute name adds another value to that attribute. Add then sends them all at once,
' and the staged values are gone afterwards, whether the Add worked or not.
' Run with: cscript //nologo add.vbs <host> <port>
Option Explicit
Dim ldap
Set ldap = CreateObject("Quillon.Ldap")
ldap.ServerName = WScript.Arguments(0)
ldap.Port = WScript.Arguments(1)
ldap.UserName = "cn=admin,dc=example,dc=com"
ldap.Password = "secret"

ldap.DN "dc", "com"
ldap.DN "dc", "example"
ldap.DN "ou", "Alumni"
ldap.DN "cn", "Fay Grant"                      ' the entry to create

' Text values: pass -1 as the size. Numbers must be passed as text (CStr).
ldap.AttributeAdd "objectClass", "inetOrgPerson", -1
ldap.AttributeAdd "cn", "Fay Grant", -1
ldap.AttributeAdd "sn", "Grant", -1
ldap.AttributeAdd "mail", "fay@example.com", -1
ldap.AttributeAdd "mail", "fay.grant@example.com", -1   ' a second value of mail
ldap.AttributeAdd "employeeNumber", CStr(1042), -1

' A binary value: the photo file's bytes. On a web server, Request.BinaryRead gives a
' byte array, which is passed with its size the same way. Here the file is read as
' Unicode text, which keeps its bytes as they are; a string passed with a size of 0 or
' more is sent as those bytes. (The reader drops a last odd byte: use an even-sized file.)
Dim fso, photoPath, file, photo, photoSize
Set fso = CreateObject("Scripting.FileSystemObject")
photoPath = fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "photo.jpg")
photoSize = fso.GetFile(photoPath).Size
Set file = fso.OpenTextFile(photoPath, 1, False, -1)
photo = file.ReadAll
file.Close
ldap.AttributeAdd "jpegPhoto", photo, photoSize

ldap.Add
If ldap.IsError Then
  WScript.Echo "Add failed: " & ldap.ErrorReason
Else
  WScript.Echo "Added cn=Fay Grant with a " & photoSize & "-byte photo."
End If

' The same entry again: the server refuses it.
ldap.AttributeAdd "objectClass", "inetOrgPerson", -1
ldap.AttributeAdd "cn", "Fay Grant", -1
ldap.AttributeAdd "sn", "Grant", -1
ldap.Add
If ldap.IsError Then WScript.Echo "Second add failed: " & ldap.ErrorReason
