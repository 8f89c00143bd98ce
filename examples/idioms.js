// What a page author meets in the first hour, in JScript: members that take no arguments
// are still called as methods, value arrays are VBArrays, collections are walked with
// Enumerator or by index, and errors raised by the collections are exceptions.
// Run with: cscript //nologo idioms.js <host> <port>
var ldap = new ActiveXObject("Quillon.Ldap");
ldap.ServerName = WScript.Arguments(0);
ldap.Port = WScript.Arguments(1);
ldap.Timeout = 10;
ldap.DN("dc", "com");
ldap.DN("dc", "example");
ldap.DN("ou", "Staff");
ldap.Filter = "(|(cn=Alice Walker)(cn=Bruno Moreau))";
ldap.Attributes = "cn;mail";
ldap.Sort = "cn";

var result = ldap.Query();          // Query, ValuesList and ValueSize need the ()
if (ldap.IsError) {
  WScript.Echo("Search failed: " + ldap.ErrorReason);
} else {
  var rows = result(1).ValuesList();
  for (var k = 1; k <= rows.Count; k++) {
    var values = new VBArray(rows(k).Value).toArray();      // a JScript array
    var sizes = new VBArray(rows(k).ValueSize()).toArray();
    WScript.Echo(result(1).Attributes + " " + k + ": " + values[0] + " (" + sizes[0] + " bytes)");
  }
  for (var columns = new Enumerator(result); !columns.atEnd(); columns.moveNext()) {
    WScript.Echo("column " + columns.item().Attributes);
  }
  // Indexes start at 1: result(0) throws. The exception's description is empty; its
  // number tells the cause (0x80070057, an invalid argument).
  try {
    result(0);
  } catch (e) {
    WScript.Echo("result(0) failed: 0x" + (e.number >>> 0).toString(16) +
                 ", description \"" + e.description + "\"");
  }
}
WScript.Echo("done");
