// Names beyond the process's code page, end to end: added, found by a filter, read back,
// changed through the DN a search found, sorted, renamed and deleted, while an entry whose
// name only looks alike is never touched. The suite runs this in code page 1252 and again
// in 932. cscript may crash echoing text beyond ASCII, so the script compares and prints
// ASCII only; unicode.js.after shows what the server stored.
var host = WScript.Arguments(0), port = WScript.Arguments(1);
var base = ",ou=Unicode,dc=example,dc=com";

function NewLdap() {
  var o = new ActiveXObject("Quillon.Ldap");
  o.ServerName = host;
  o.Port = port;
  o.UserName = "cn=admin,dc=example,dc=com";
  o.Password = "secret";
  return o;
}
function InUnicode() {
  var o = NewLdap();
  o.DN("dc", "com");
  o.DN("dc", "example");
  o.DN("ou", "Unicode");
  return o;
}
function Status(label, o) {
  WScript.Echo(label + ": IsError=" + o.IsError + " ErrorCode=" + o.ErrorCode);
}
function Column(result, index) {
  var rows = result(index).ValuesList(), out = [];
  for (var k = 1; k <= rows.Count; k++) out.push(new VBArray(rows(k).Value).toArray()[0]);
  return out;
}

var names = ["\u0141ukasz Wr\u00f3bel", "Anton\u00edn Dvo\u0159\u00e1k",
             "\u0391\u03bb\u03ad\u03be\u03b1\u03bd\u03b4\u03c1\u03bf\u03c2",
             "\u5c71\u7530 \u592a\u90ce", "\ud83d\ude00 Smile"];
var labels = ["Polish", "Czech", "Greek", "Japanese", "emoji"];
var lookAlike = "Lukasz Wr\u00f3bel";
var renamed = "\u5c71\u7530 \u82b1\u5b50";
var newName = "\u5c71\u7530 \u4e00\u90ce";

// What an earlier run left.
var all = names.concat([lookAlike, renamed, newName]);
for (var i = 0; i < all.length; i++) {
  var o = InUnicode();
  o.DN("cn", all[i]);
  o.Delete();
}

function AddPerson(cn, description) {
  var o = InUnicode();
  o.DN("cn", cn);
  o.AttributeAdd("objectClass", "person", -1);
  o.AttributeAdd("cn", cn, -1);
  o.AttributeAdd("sn", cn, -1);
  o.AttributeAdd("description", description, -1);
  o.Add();
  return o;
}
Status("add the look-alike", AddPerson(lookAlike, "look-alike"));
for (var i = 0; i < names.length; i++) Status("add " + labels[i], AddPerson(names[i], "added"));
// A second name that a code page would also have made "?? ??" is a different entry.
Status("add another Japanese name", AddPerson(renamed, "another"));

// Found by its own name, read back exactly, and changed through the DN the search found.
for (var i = 0; i < names.length; i++) {
  var o = InUnicode();
  o.Filter = "(sn=" + names[i] + ")";
  o.Attributes = "dn;cn";
  var r = o.Query();
  var dns = Column(r, 1), cns = Column(r, 2);
  WScript.Echo("find " + labels[i] + ": " + dns.length + " entry, dn " +
               (dns[0] == "cn=" + names[i] + base ? "exact" : "differs") + ", cn " +
               (cns[0] == names[i] ? "exact" : "differs"));
  var eq = dns[0].indexOf("=");
  var m = NewLdap();
  m.DN(dns[0].substring(0, eq), dns[0].substring(eq + 1));
  m.AttributeModify("description", "changed through its found DN", -1, 0);
  m.Modify();
  Status("modify " + labels[i], m);
}

// Sorted by character, in Unicode order.
var s = InUnicode();
s.Attributes = "sn";
s.Sort = "sn";
var order = Column(s.Query(), 1), shown = [];
for (var k = 0; k < order.length; k++) {
  var at = -1;
  for (var i = 0; i < names.length; i++) if (names[i] == order[k]) at = i;
  shown.push(at >= 0 ? labels[at] : order[k] == lookAlike ? "look-alike" :
             order[k] == renamed ? "another Japanese" : "?");
}
WScript.Echo("sorted: " + shown.join(", "));

// Renamed to a name beyond the code page, and one deleted by its name.
var n = InUnicode();
n.DN("cn", names[3]);
n.NewRDN("cn", newName);
n.ModifyDN();
Status("rename Japanese", n);
var d = InUnicode();
d.DN("cn", names[0]);
d.Delete();
Status("delete Polish", d);
WScript.Echo("END");
