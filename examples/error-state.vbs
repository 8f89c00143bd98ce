' Reading the error state. Methods never raise errors: after each operation, test
' IsError (1 after a failure) and read ErrorReason. The state is sticky: only a successful
' Query sets IsError back to 0, and ErrorReason keeps the last message until another
' replaces it. So test IsError right after the call you care about.
' Run with: cscript //nologo error-state.vbs <host> <port>
Option Explicit
Dim ldap, result
Set ldap = CreateObject("Quillon.Ldap")
ldap.Delete
WScript.Echo "Delete with nothing set: " & ldap.IsError & ", " & ldap.ErrorReason

ldap.ServerName = WScript.Arguments(0)
ldap.Port = WScript.Arguments(1)
ldap.DN "dc", "com"
ldap.DN "dc", "example"
ldap.DN "ou", "Nowhere"
Set result = ldap.Query
WScript.Echo "Query of a missing base: " & ldap.IsError & ", " & ldap.ErrorReason
If result Is Nothing Then WScript.Echo "  (a failed Query returns Nothing)"

Set ldap = CreateObject("Quillon.Ldap")
ldap.ServerName = WScript.Arguments(0)
ldap.Port = WScript.Arguments(1)
ldap.DN "dc", "com"
ldap.DN "dc", "example"
ldap.Filter = "(cn=nobody)"
Set result = ldap.Query
WScript.Echo "Query that matches nothing: " & ldap.IsError & ", " & ldap.ErrorReason
ldap.Filter = "(ou=Staff)"
Set result = ldap.Query
WScript.Echo "Then a successful Query: " & ldap.IsError & ", still """ & ldap.ErrorReason & """"
' IsError is 1, not True (-1): compare with 1 or use it as a truth value.
If ldap.IsError Then WScript.Echo "  not printed: IsError is 0"
