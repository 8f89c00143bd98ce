#include "session/kept_connection.h"

namespace quillon {

ConnectionIdentity IdentityFor(const LdapFields& f, const std::string& server_name) {
  return {server_name, f.port, f.port_defaulted, f.user_name, f.password, f.encryption};
}

bool ReuseKeptConnection(LdapFields& f, const ConnectionIdentity& identity) {
  if (f.connection && f.keep_connection != 0 && f.connection_identity == identity) return true;
  f.connection.Reset();
  return false;
}

void CloseUnlessKept(LdapFields& f) {
  // A failed operation may have left the session in any state (a time-out, a server that
  // went away): the next one starts afresh.
  if (f.keep_connection == 0 || f.succeeded != 1) f.connection.Reset();
}

}  // namespace quillon
