#include "recording_ldap.h"

#include <cstdio>
#include <cwchar>

namespace quillon::test {

namespace {

RecordingLdap* g_recorder = nullptr;

std::string Text(const char* s) {
  return s ? std::string("\"") + s + "\"" : "null";
}

void Log(std::string line) {
  g_recorder->calls.push_back(std::move(line));
}

LDAP* NewSession(const std::string& call) {
  Log(call);
  if (g_recorder->open_error) {
    SetLastError(g_recorder->open_error);
    return nullptr;
  }
  ++g_recorder->open_sessions;
  return new LDAP{};
}

LDAP* LDAPAPI Open(const PCHAR host, ULONG port) {
  return NewSession("open " + Text(host) + " " + std::to_string(port));
}
LDAP* LDAPAPI Init(const PCHAR host, ULONG port) {
  return NewSession("init " + Text(host) + " " + std::to_string(port));
}
LDAP* LDAPAPI SslInit(PCHAR host, ULONG port, int secure) {
  return NewSession("sslinit " + Text(host) + " " + std::to_string(port) + " " +
                    std::to_string(secure));
}

ULONG LDAPAPI StartTls(LDAP*, PULONG server_rc, LDAPMessage** result, PLDAPControlA*,
                       PLDAPControlA*) {
  Log("start_tls");
  *server_rc = 0;
  *result = nullptr;
  return g_recorder->start_tls_rc;
}

ULONG LDAPAPI SetOption(LDAP*, int option, const void* value) {
  // This option's value is the pointer itself (LDAP_OPT_ON or LDAP_OPT_OFF).
  if (option == LDAP_OPT_REFERRALS) {
    Log(std::string("option referrals ") + (value == LDAP_OPT_OFF ? "off" : "on"));
    return 0;
  }
  const char* name = option == LDAP_OPT_SIZELIMIT          ? "size"
                     : option == LDAP_OPT_TIMELIMIT        ? "time"
                     : option == LDAP_OPT_PROTOCOL_VERSION ? "version"
                                                           : "other";
  Log(std::string("option ") + name + " " + std::to_string(*static_cast<const ULONG*>(value)));
  return 0;
}

std::string Record(LDAP* ld) {
  return " record size " + std::to_string(ld->ld_sizelimit) + " time " +
         std::to_string(ld->ld_timelimit);
}

ULONG LDAPAPI BindS(LDAP* ld, PCHAR dn, PCHAR password) {
  Log("bind_s " + Text(dn) + " " + Text(password) + Record(ld));
  return g_recorder->bind_rc;
}

ULONG LDAPAPI Bind(LDAP* ld, PCHAR dn, PCHAR password) {
  Log("bind " + Text(dn) + " " + Text(password) + Record(ld));
  return 7;
}

ULONG LDAPAPI Result(LDAP*, ULONG msgid, ULONG, l_timeval* timeout, LDAPMessage** response) {
  Log("result " + std::to_string(msgid) + " within " + std::to_string(timeout->tv_sec));
  *response = reinterpret_cast<LDAPMessage*>(new char[1]);
  return LDAP_RES_BIND;
}

ULONG LDAPAPI Result2Error(LDAP*, LDAPMessage*, ULONG) {
  return g_recorder->bind_rc;
}
ULONG LDAPAPI Abandon(LDAP*, ULONG) {
  return 0;
}
ULONG LDAPAPI LastError() {
  return 0;
}

ULONG LDAPAPI Unbind(LDAP* ld) {
  Log("unbind");
  --g_recorder->open_sessions;
  delete ld;
  return 0;
}

// The library's texts are wide; the recorder's are ASCII.
PWCHAR LDAPAPI Err2String(ULONG code) {
  static wchar_t text[64];
  auto it = g_recorder->texts.find(code);
  if (it != g_recorder->texts.end()) {
    size_t i = 0;
    for (const char* c = it->second; *c && i + 1 < 64; ++c) text[i++] = static_cast<wchar_t>(*c);
    text[i] = L'\0';
  } else {
    swprintf(text, 64, L"text %lu", code);
  }
  return text;
}

ULONG LDAPAPI DeleteS(LDAP*, const PCHAR dn) {
  Log("delete " + Text(dn));
  return g_recorder->request_rc;
}

ULONG LDAPAPI ModRdn2S(LDAP*, const PCHAR dn, const PCHAR new_rdn, INT delete_old) {
  Log("modrdn2 " + Text(dn) + " " + Text(new_rdn) + " " + std::to_string(delete_old));
  return g_recorder->request_rc;
}

ULONG LDAPAPI RenameExtS(LDAP*, const PCHAR dn, const PCHAR new_rdn, const PCHAR new_parent,
                         INT delete_old, PLDAPControlA*, PLDAPControlA*) {
  Log("rename_ext " + Text(dn) + " " + Text(new_rdn) + " " + Text(new_parent) + " " +
      std::to_string(delete_old));
  return g_recorder->request_rc;
}

// One line per modification after the request's own line:
//   mod <mod_op> "<type>" "<text>"...           text values
//   mod <mod_op> "<type>" <length>:<hex bytes>...  binary values (LDAP_MOD_BVALUES)
void LogMods(LDAPModA* mods[]) {
  static const char kHex[] = "0123456789abcdef";
  for (LDAPModA** m = mods; *m; ++m) {
    std::string line = "mod " + std::to_string((*m)->mod_op) + " " + Text((*m)->mod_type);
    if ((*m)->mod_op & LDAP_MOD_BVALUES) {
      for (berval** v = (*m)->mod_vals.modv_bvals; v && *v; ++v) {
        line += " " + std::to_string((*v)->bv_len) + ":";
        for (ULONG i = 0; i < (*v)->bv_len; ++i) {
          const unsigned char c = static_cast<unsigned char>((*v)->bv_val[i]);
          line += kHex[c >> 4];
          line += kHex[c & 15];
        }
      }
    } else {
      // A removal of every value has no value array at all.
      for (PCHAR* v = (*m)->mod_vals.modv_strvals; v && *v; ++v) line += " " + Text(*v);
    }
    Log(line);
  }
}

ULONG LDAPAPI AddS(LDAP*, PCHAR dn, LDAPModA* mods[]) {
  Log("add " + Text(dn));
  LogMods(mods);
  return g_recorder->request_rc;
}

ULONG LDAPAPI ModifyS(LDAP*, PCHAR dn, LDAPModA* mods[]) {
  Log("modify " + Text(dn));
  LogMods(mods);
  return g_recorder->request_rc;
}

ULONG LDAPAPI MsgFree(LDAPMessage* m) {
  delete[] reinterpret_cast<char*>(m);
  return 0;
}

LdapLibrary MakeTable() {
  LdapLibrary t = SystemLdapLibrary();  // calls not faked here are never reached
  t.open = Open;
  t.init = Init;
  t.sslinit = SslInit;
  t.start_tls_s = StartTls;
  t.set_option = SetOption;
  t.simple_bind_s = BindS;
  t.simple_bind = Bind;
  t.result = Result;
  t.result2error = Result2Error;
  t.abandon = Abandon;
  t.get_last_error = LastError;
  t.unbind = Unbind;
  t.err2string = Err2String;
  t.delete_s = DeleteS;
  t.modrdn2_s = ModRdn2S;
  t.rename_ext_s = RenameExtS;
  t.add_s = AddS;
  t.modify_s = ModifyS;
  t.msgfree = MsgFree;
  return t;
}

const LdapLibrary kTable = MakeTable();

}  // namespace

RecordingLdap::RecordingLdap() {
  g_recorder = this;
  UseLdapLibrary(&kTable);
}

RecordingLdap::~RecordingLdap() {
  UseLdapLibrary(nullptr);
  g_recorder = nullptr;
}

}  // namespace quillon::test
