' What a page author meets in the first hour, in VBScript: testing IsError, setting a
' Timeout, using a DN found by a search as the next base, reading results (which are not
' ADO recordsets), and what Value gives for a binary value.
' Run with: cscript //nologo idioms.vbs <host> <port>
Option Explicit
Dim ldap, result, rows, names, values, sizes, i, k, dn

' A new Ldap object for the sample directory, with a time limit.
Function NewLdap()
  Set NewLdap = CreateObject("Quillon.Ldap")
  NewLdap.ServerName = WScript.Arguments(0)
  NewLdap.Port = WScript.Arguments(1)
  NewLdap.Timeout = 10   ' seconds; the default 0 waits as long as the server does
End Function

' 1. IsError is 1 after a failure. "Not 1" is -2, which is true: never write
'    "If Not ldap.IsError Then".
Set ldap = NewLdap()
ldap.DN "dc", "com"
ldap.DN "dc", "example"
ldap.DN "ou", "Nowhere"
Set result = ldap.Query
If ldap.IsError Then WScript.Echo "failed: " & ldap.ErrorReason
If Not ldap.IsError Then WScript.Echo "wrong: Not 1 is " & (Not 1) & ", which is true"
If ldap.IsError = 0 Then WScript.Echo "not printed"

' 2. Find an entry, then use its DN as the base of the next search.
Set ldap = NewLdap()
ldap.DN "dc", "com"
ldap.DN "dc", "example"
ldap.DN "ou", "Staff"
ldap.Filter = "(cn=Alice Walker)"
ldap.Attributes = "dn;mail;jpegPhoto"
Set result = ldap.Query
If ldap.IsError = 0 Then
  ' 3. Columns are found by index (1 to Count), not by name, and each ValuesList is a
  '    new list: keep it in a variable; result(i).ValuesList(k) in one go does not work.
  For i = 1 To result.Count
    Set rows = result(i).ValuesList
    For k = 1 To rows.Count
      values = rows(k).Value
      sizes = rows(k).ValueSize
      ' 4. A binary value: Value holds its text up to the first zero byte, ValueSize
      '    its true length.
      WScript.Echo result(i).Attributes & ": " & UBound(values) + 1 & " value(s), " & _
                   Len(values(0)) & " characters shown of " & sizes(0) & " bytes"
    Next
  Next
  Set rows = result(1).ValuesList
  values = rows(1).Value
  dn = values(0)
  WScript.Echo "found " & dn
  Set ldap = NewLdap()
  ldap.DistinguishedName = dn   ' a found DN names its entry exactly, as it is
  ldap.Scope = "base"
  ldap.Attributes = "title"
  Set result = ldap.Query
  Set rows = result(1).ValuesList
  values = rows(1).Value
  WScript.Echo "title: " & values(0)
End If
WScript.Echo "done"
