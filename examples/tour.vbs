' A guided tour of the component: search, add an entry with a photo, change it, rename it,
' delete it, and print what happened at each step.
' Run with: cscript //nologo tour.vbs <host> <port>
Option Explicit
Dim host, port
host = WScript.Arguments(0)
port = WScript.Arguments(1)

' Every operation uses a fresh object here: DN only ever grows on one object.
Function Connect(ou)
  Dim ldap
  Set ldap = CreateObject("Quillon.Ldap")
  ldap.ServerName = host
  ldap.Port = port
  ldap.UserName = "cn=admin,dc=example,dc=com"
  ldap.Password = "secret"
  ldap.DN "dc", "com"
  ldap.DN "dc", "example"
  ldap.DN "ou", ou
  Set Connect = ldap
End Function

Sub Report(ldap, done)
  If ldap.IsError Then
    WScript.Echo "   failed: " & ldap.ErrorReason
  Else
    WScript.Echo "   " & done
  End If
End Sub

' Prints a result as a table: a header of attribute names, then one line per entry.
Sub PrintTable(result)
  Dim i, k, columns, line, values

  ReDim columns(result.Count - 1)
  line = ""
  For i = 1 To result.Count
    Set columns(i - 1) = result(i).ValuesList
    line = line & Cell(result(i).Attributes)
  Next
  WScript.Echo "   " & RTrim(line)
  WScript.Echo "   " & String(Len(Cell("")) * result.Count - 2, "-")
  For k = 1 To columns(0).Count
    line = ""
    For i = 0 To UBound(columns)
      values = columns(i)(k).Value
      If UBound(values) < 0 Then
        line = line & Cell("-")
      Else
        If UBound(values) > 0 Then values(0) = values(0) & " (+" & UBound(values) & ")"
        line = line & Cell(values(0))
      End If
    Next
    WScript.Echo "   " & RTrim(line)
  Next
End Sub

' A table cell: the text cut or padded to 26 characters, and two blanks.
Function Cell(text)
  Cell = Left(text & Space(26), 26) & "  "
End Function

Dim ldap, result
WScript.Echo "1. Search: engineers and analysts in ou=Staff, sorted by surname"
Set ldap = Connect("Staff")
ldap.Filter = "(|(title=Engineer)(title=Analyst))"
ldap.Attributes = "sn;givenName;mail;telephoneNumber"
ldap.Sort = "sn"
Set result = ldap.Query
If ldap.IsError Then WScript.Echo "   failed: " & ldap.ErrorReason Else PrintTable result

WScript.Echo "2. Add cn=Guest Visitor to ou=Visitors, with a photo"
Dim fso, photoPath, file, photo, photoSize
Set fso = CreateObject("Scripting.FileSystemObject")
photoPath = fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "photo.jpg")
photoSize = fso.GetFile(photoPath).Size
Set file = fso.OpenTextFile(photoPath, 1, False, -1)   ' Unicode mode keeps the bytes
photo = file.ReadAll
file.Close
Set ldap = Connect("Visitors")
ldap.DN "cn", "Guest Visitor"
ldap.AttributeAdd "objectClass", "inetOrgPerson", -1
ldap.AttributeAdd "cn", "Guest Visitor", -1
ldap.AttributeAdd "sn", "Visitor", -1
ldap.AttributeAdd "mail", "guest@example.com", -1
ldap.AttributeAdd "telephoneNumber", "+1 555 0199", -1
ldap.AttributeAdd "jpegPhoto", photo, photoSize          ' binary: sent as its bytes
ldap.Add
Report ldap, "added, with a " & photoSize & "-byte jpegPhoto"

WScript.Echo "3. Modify: add a second mail address, replace the phone number"
ldap.AttributeModify "mail", "visitor@example.com", -1, 1        ' 1: add
ldap.AttributeModify "telephoneNumber", "+1 555 0200", -1, 0     ' 0: replace
ldap.Modify
Report ldap, "modified"
Set ldap = Connect("Visitors")
ldap.Attributes = "cn;mail;telephoneNumber"
Set result = ldap.Query
If Not ldap.IsError Then PrintTable result
ldap.Attributes = "jpegPhoto"
Set result = ldap.Query
Dim photoRows, sizes
Set photoRows = result(1).ValuesList
sizes = photoRows(1).ValueSize              ' the lengths of entry 1's jpegPhoto values
WScript.Echo "   jpegPhoto holds " & sizes(0) & " bytes"

WScript.Echo "4. Rename cn=Guest Visitor to cn=Guest Speaker"
Set ldap = Connect("Visitors")
ldap.DN "cn", "Guest Visitor"
ldap.NewRDN "cn", "Guest Speaker"
ldap.ModifyDN
Report ldap, "renamed"

WScript.Echo "5. Delete cn=Guest Speaker"
Set ldap = Connect("Visitors")
ldap.DN "cn", "Guest Speaker"
ldap.Delete
Report ldap, "deleted"
Set ldap = Connect("Visitors")
ldap.Attributes = "cn"
Set result = ldap.Query
WScript.Echo "   ou=Visitors now holds " & result(1).ValuesList.Count & " entries"
