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

' A binary value: the photo file's bytes, every one of them, with the file's size. On a
' web server, Request.BinaryRead gives them as a byte array. A script here reads the file
' as Unicode text, which holds its bytes two by two (the string's LenB is twice its Len),
' and passes the size: a string with a size of 0 or more is sent as that many of its own
' bytes. An odd-sized file's last byte is not in that text; ReadFileBytes adds it.
Function ReadFileBytes(path, size)
  Dim fso, file, text, last
  Set fso = CreateObject("Scripting.FileSystemObject")
  Set file = fso.OpenTextFile(path, 1, False, -1)    ' Unicode: two bytes a character
  text = file.ReadAll
  file.Close
  If size Mod 2 = 1 Then
    ' The last byte alone, through the single-byte code page, added as the character
    ' whose first byte it is.
    Set file = fso.OpenTextFile(path, 1, False, 0)
    last = Asc(Right(file.ReadAll, 1))
    file.Close
    If last >= &H80 And last < &HA0 Then text = text & ChrW(last) Else text = text & Chr(last)
  End If
  ReadFileBytes = text
End Function

Dim fso, photoPath, photo, photoSize
Set fso = CreateObject("Scripting.FileSystemObject")
photoPath = fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "photo.jpg")
photoSize = fso.GetFile(photoPath).Size
photo = ReadFileBytes(photoPath, photoSize)
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
