// The same object from JScript, which passes arguments by value and has its own rules for
// property reads: a put-only property reads as an error too.
var o = new ActiveXObject("Quillon.Ldap");
WScript.Echo("fresh: IsError=" + o.IsError + " ErrorReason=[" + o.ErrorReason + "] type=" + typeof o.IsError);
WScript.Echo("IsError == true: " + (o.IsError == true) + ", IsError === -1: " + (o.IsError === -1));
o.ServerName = "127.0.0.1";
o.Port = "389";
o.UserName = "cn=admin,dc=example,dc=com";
o.Password = "secret";
o.Attributes = "cn;mail";
o.Filter = "(cn=*)";
o.Timeout = 5;
o.Scope = "BASE";
o.MaxRows = 4294967295;
o.Sort = "cn";
o.SortAscending = 1;
o.SortCaseSensitive = 1;
o.FilterFile = "Z:\\no\\such\\file";
WScript.Echo("after puts: IsError=" + o.IsError + " ErrorReason=[" + o.ErrorReason + "]");
try {
  var x = o.ServerName;
  WScript.Echo("read ServerName: no error");
} catch (e) {
  WScript.Echo("read ServerName: error 0x" + (e.number >>> 0).toString(16));
}
WScript.Echo("END");
