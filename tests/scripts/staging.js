// Staging from JScript, which passes every argument by value: strings are staged, numbers,
// null and undefined are not, and a Modify replaces what an Add made.
var host = WScript.Arguments(0), port = WScript.Arguments(1);

function newLdap() {
  var o = new ActiveXObject("Quillon.Ldap");
  o.ServerName = host;
  o.Port = port;
  o.UserName = "cn=admin,dc=example,dc=com";
  o.Password = "secret";
  o.DN("dc", "com");
  o.DN("dc", "example");
  o.DN("ou", "Staging");
  o.DN("cn", "Jay Script");
  return o;
}

function show(label, o) {
  WScript.Echo(label + ": IsError=" + o.IsError + " ErrorReason=[" + o.ErrorReason + "]");
}

var o = newLdap();
var name = "Jay Script";
o.AttributeAdd("objectClass", "inetOrgPerson", -1);
o.AttributeAdd("cn", name, -1);
o.AttributeAdd("sn", "Script", -1);
o.AttributeAdd("mail", "jay@example.com", -1);
o.AttributeAdd("employeeNumber", 7, -1);
o.AttributeAdd("title", null, -1);
o.AttributeAdd("description", undefined, -1);
o.AttributeAdd("telephoneNumber", String(5550100), -1);
o.Add();
show("add", o);

o = newLdap();
o.AttributeModify("mail", "jay.script@example.com", -1, 0);
o.AttributeModify("title", "Tester", -1, 1);
o.Modify();
show("modify", o);
WScript.Echo("END");
