#include "session/connection.h"

#include <cstdio>
#include <cstring>

#include "module/system_message.h"
#include "policy/hosting_policy.h"
#include "session/ldap_handles.h"

namespace quillon {

namespace {

// Writes both the session record and the session options: some libraries ignore the
// record, others hide it.
void SetLimits(LDAP* ld, const LdapFields& f) {
  if (f.max_rows > 0) {
    ld->ld_sizelimit = static_cast<ULONG>(f.max_rows);
    ULONG value = static_cast<ULONG>(f.max_rows);
    Ldap().set_option(ld, LDAP_OPT_SIZELIMIT, &value);
  }
  if (f.timeout > 0) {
    ld->ld_timelimit = static_cast<ULONG>(f.timeout);
    ULONG value = static_cast<ULONG>(f.timeout);
    Ldap().set_option(ld, LDAP_OPT_TIMELIMIT, &value);
  }
}

// The library's last error after an asynchronous call failed to send. Some libraries
// leave a socket error there instead of an LDAP code (Wine gives 10057 for a refused
// connection); a request that could not be sent means the server is not reachable.
ULONG LastLdapError() {
  const ULONG error = Ldap().get_last_error();
  const bool is_ldap_code = error != 0 && error <= LDAP_REFERRAL_LIMIT_EXCEEDED;
  return is_ldap_code ? error : static_cast<ULONG>(LDAP_SERVER_DOWN);
}

// A bind that waits at most Timeout seconds, so that a server which accepts the
// connection and never answers cannot hold the page forever.
ULONG BindWithin(LDAP* ld, PCHAR name, PCHAR password, long seconds) {
  const ULONG msgid = Ldap().simple_bind(ld, name, password);
  if (msgid == static_cast<ULONG>(-1)) {
    return LastLdapError();
  }
  l_timeval limit{seconds, 0};
  LDAPMessage* raw = nullptr;
  const ULONG kind = Ldap().result(ld, msgid, LDAP_MSG_ALL, &limit, &raw);
  LdapResponse response(raw);
  if (kind == 0) {
    Ldap().abandon(ld, msgid);
    return LDAP_TIMEOUT;
  }
  if (kind == static_cast<ULONG>(-1) || !response) {
    return LastLdapError();
  }
  return Ldap().result2error(ld, response.Get(), FALSE);
}

ULONG Bind(LDAP* ld, const LdapFields& f) {
  const bool named = !f.user_name.empty() && !f.password.empty();
  PCHAR name = named ? const_cast<PCHAR>(f.user_name.c_str()) : nullptr;
  PCHAR password = named ? const_cast<PCHAR>(f.password.c_str()) : nullptr;
  if (f.timeout > 0) return BindWithin(ld, name, password, f.timeout);
  return Ldap().simple_bind_s(ld, name, password);
}

}  // namespace

bool ConnectAndBind(LdapFields& f, const std::string& server_name) {
  const std::string refusal = CheckHostingPolicy(f);
  if (!refusal.empty()) {
    f.SetError(refusal);
    return false;
  }
  LdapSession session(
      Ldap().open(const_cast<PCHAR>(server_name.c_str()), static_cast<ULONG>(f.port)));
  if (!session) {
    f.SetError(SystemErrorText(static_cast<long>(GetLastError())));
    return false;
  }
  SetLimits(session.Get(), f);
  const ULONG rc = Bind(session.Get(), f);
  if (rc != 0) {
    f.SetError(LdapErrorText(static_cast<long>(rc)));
    return false;  // the owner unbinds
  }
  f.connection = std::move(session);
  return true;
}

std::string LdapErrorText(long code) {
  const char* text = Ldap().err2string(static_cast<ULONG>(code));
  if (text && strlen(text) >= 2) return text;
  char message[96];
  snprintf(message, sizeof(message), "The system cannot find error message for error number %ld",
           code);
  return message;
}

std::string SystemErrorText(long code) {
  std::string text;
  return SystemMessage(static_cast<DWORD>(code), &text) ? text : "Unknown error";
}

}  // namespace quillon
