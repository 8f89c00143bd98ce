// The same results walked from JScript with Enumerator objects, which use the
// collections' _NewEnum, and by index through the default member.
var host = WScript.Arguments(0), port = WScript.Arguments(1);
var o = new ActiveXObject("Quillon.Ldap");
o.ServerName = host;
o.Port = port;
o.DN("dc", "com");
o.DN("dc", "example");
o.DN("ou", "Query");
o.Attributes = "cn;mail";
o.Sort = "cn";
o.SortCaseSensitive = 0;
var result = o.Query();
WScript.Echo("IsError=" + o.IsError + " columns=" + result.Count);
for (var columns = new Enumerator(result); !columns.atEnd(); columns.moveNext()) {
  var column = columns.item();
  var line = column.Attributes + ":";
  for (var rows = new Enumerator(column.ValuesList()); !rows.atEnd(); rows.moveNext()) {
    var values = new VBArray(rows.item().Value).toArray();
    var sizes = new VBArray(rows.item().ValueSize()).toArray();
    line += " [" + values.join("|") + "/" + sizes.join("|") + "]";
  }
  WScript.Echo(line);
}
WScript.Echo("first column by index: " + result(1).Attributes + ", rows " + result.Item(1).ValuesList().Count);
try {
  result(0);
  WScript.Echo("Item(0): no error");
} catch (e) {
  WScript.Echo("Item(0): error 0x" + (e.number >>> 0).toString(16));
}
// Names stored as UTF-8 read back character for character, sorted by character.
var text = new ActiveXObject("Quillon.Ldap");
text.ServerName = host;
text.Port = port;
text.DN("dc", "com");
text.DN("dc", "example");
text.DN("ou", "Text");
text.Filter = "(|(cn=Text-3)(cn=Text-4))";
text.Attributes = "sn";
text.Sort = "sn";
var names = text.Query()(1).ValuesList();
for (var i = 1; i <= names.Count; i++) {
  var name = new VBArray(names(i).Value).toArray()[0], codes = [];
  for (var k = 0; k < name.length; k++) codes.push(name.charCodeAt(k).toString(16));
  WScript.Echo("sn " + i + ": " + codes.join(" ") + " (" + new VBArray(names(i).ValueSize()).toArray()[0] + " bytes)");
}
WScript.Echo("END");
