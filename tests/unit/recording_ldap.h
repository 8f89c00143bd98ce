// A stand-in for the LDAP library that records every call, for what no real server shows:
// the exact calls and arguments in order, the limits in the session record at bind time,
// result codes and texts a server would not produce, and that every session is unbound.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "session/ldap_library.h"

namespace quillon::test {

class RecordingLdap {
 public:
  RecordingLdap();   // installs itself as the library table
  ~RecordingLdap();  // puts wldap32 back

  std::vector<std::string> calls;
  DWORD open_error = 0;  // non-zero: open fails with this last error
  ULONG bind_rc = 0;
  ULONG start_tls_rc = 0;
  ULONG request_rc = 0;                // delete, rename, add, modify
  std::map<ULONG, const char*> texts;  // err2string answers; others get "text <code>"
  int open_sessions = 0;
};

}  // namespace quillon::test
