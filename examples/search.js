// The same search from JScript: for-each walks go through Enumerator objects, and the
// value arrays through VBArray.
// Run with: cscript //nologo search.js <host> <port>
var ldap = new ActiveXObject("Quillon.Ldap");
ldap.ServerName = WScript.Arguments(0);
ldap.Port = WScript.Arguments(1);
ldap.DN("dc", "com");
ldap.DN("dc", "example");
ldap.DN("ou", "Staff");
ldap.Filter = "(departmentNumber=Engineering)";
ldap.Attributes = "cn;mail";
ldap.Sort = "cn";

var result = ldap.Query();
if (ldap.IsError) {
  WScript.Echo("Search failed: " + ldap.ErrorReason);
} else {
  for (var columns = new Enumerator(result); !columns.atEnd(); columns.moveNext()) {
    var column = columns.item();
    var values = [];
    for (var rows = new Enumerator(column.ValuesList()); !rows.atEnd(); rows.moveNext()) {
      values.push(new VBArray(rows.item().Value).toArray().join(", "));
    }
    WScript.Echo(column.Attributes + ": " + values.join("; "));
  }
}
