// The toolkit from JScript where it differs from VBScript: strings arrive by value, the
// escapes' and DistinguishedName's text, columns looked up by name through a call of
// the collection, errors as exceptions, and ToBase64 as the only way into a byte array.
var host = WScript.Arguments(0), port = WScript.Arguments(1);

function NewLdap() {
  var o = new ActiveXObject("Quillon.Ldap");
  o.ServerName = host;
  o.Port = port;
  return o;
}

function Show(label, o) {
  WScript.Echo(label + ": Succeeded=" + o.Succeeded + " IsError=" + o.IsError +
               " ErrorReason=[" + o.ErrorReason + "]");
}

function Number(e) {
  return "0x" + (e.number >>> 0).toString(16);
}

var o = NewLdap();
WScript.Echo("Succeeded before: " + o.Succeeded);
o.DistinguishedName = "ou=Query,dc=example,dc=com";
o.DN("uid", "q2");
WScript.Echo("name: [" + o.DistinguishedName + "]");
WScript.Echo("EscapeDNValue: [" + o.EscapeDNValue(" #Smith, John=\\ ") + "]");
WScript.Echo("EscapeFilterValue: [" + o.EscapeFilterValue("a*(b)\\c\u0000") + "]");
o.Scope = "base";
o.Attributes = "cn;jpegPhoto";
var result = o.Query();
Show("base search", o);
var rows = result("JPEGPHOTO").ValuesList();
WScript.Echo("ToBase64: [" + o.ToBase64(rows.Item(1).Bytes(0)) + "]");
WScript.Echo("Item by name: " + result.Item("cn").Attributes + ", call by name: " +
             result("Cn").Attributes);
try {
  result("mail");
} catch (e) {
  WScript.Echo("unknown column: " + Number(e));
}
try {
  result(3);
} catch (e) {
  WScript.Echo("index out of range: " + Number(e));
}
try {
  o.ToBase64(42);
} catch (e) {
  WScript.Echo("ToBase64 of a number: " + Number(e));
}
o.DistinguishedName = "";
o.Query();
Show("no name", o);
WScript.Echo("END");
