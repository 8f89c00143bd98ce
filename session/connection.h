// Getting a bound session for one operation, and turning error codes into the text a
// page reads in ErrorReason.
#pragma once

#include <string>

#include "session/ldap_fields.h"

namespace quillon {

// Asks the hosting policy, opens a session to server_name on fields.port, sets the size
// and time limits and binds (anonymously unless both UserName and Password are set). On
// success fields.connection holds the bound session; on failure the error state is set
// and no session is left open.
bool ConnectAndBind(LdapFields& fields, const std::string& server_name);

// Connect threads that are still running, though their operation stopped waiting for them
// (each closes its session and frees its request when the library returns). For tests
// that measure memory: what such a thread holds is not lost, only not yet given back.
LONG RunningConnectThreads();

// The library's text for an LDAP result code, or a fixed text naming the code.
std::string LdapErrorText(long code);
// The system's message for a Windows error code (with its line break), or "Unknown error".
std::string SystemErrorText(long code);

}  // namespace quillon
