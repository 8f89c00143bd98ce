// KeepConnection: a bound session kept open after an operation and used again by the
// object's next operation, while it would open the same session anyway. The hosting
// policy is asked before every operation all the same (ConnectAndBind asks first).
#pragma once

#include <string>

#include "session/ldap_fields.h"

namespace quillon {

// Whom an operation on fields would open a session for.
ConnectionIdentity IdentityFor(const LdapFields& fields, const std::string& server_name);

// True when fields.connection is a kept session for exactly this identity; otherwise any
// session still open is closed and false returned.
bool ReuseKeptConnection(LdapFields& fields, const ConnectionIdentity& identity);

// The closing step of every operation: the session stays open only when KeepConnection
// is set and the operation succeeded.
void CloseUnlessKept(LdapFields& fields);

}  // namespace quillon
