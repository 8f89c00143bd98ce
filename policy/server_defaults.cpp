// The administrator's default directory server, "host[:port]" in the registry, fills what
// the page left unset. What it fills stays in the object, so later operations of the same
// object do not consult the registry again.
#include <cstdint>
#include <cstdlib>

#include "policy/hosting_policy.h"
#include "policy/kt_functions.h"
#include "policy/kt_get.h"
#include "policy/policy_store.h"
#include "policy/policy_text.h"
#include "policy/store_text.h"
#include "session/ldap_fields.h"

namespace quillon {

namespace {

constexpr long kDefaultPort = 389;

bool ReadServerInfo(std::string* value) {
  return CKtGet().GetRegistryValue(value, kPolicyKeyPath, kReadString, kServerInfoValue) == 1;
}

}  // namespace

void ApplyServerDefaults(LdapFields& fields) {
  CKtFunctions functions;
  std::string value;
  if (fields.server_name.empty()) {
    // An unreadable value or an empty host leaves both the name and the port alone, and
    // the operation reports its missing server.
    if (!ReadServerInfo(&value)) return;
    std::string host = functions.BeforeChar(value, ':');
    if (host.empty()) return;
    fields.server_name = StoreToText(host);
  }
  if (fields.port != -1) return;
  if (!ReadServerInfo(&value)) {
    fields.port = kDefaultPort;
    return;
  }
  const std::string port = functions.AfterChar(value, ':');
  if (port.empty()) {
    fields.port = kDefaultPort;
    return;
  }
  // Made non-negative; -2147483648 has no positive twin and would read as "unset".
  const long number = ParseLeadingInt(port);
  fields.port = number == INT32_MIN ? INT32_MAX : std::labs(number);
}

}  // namespace quillon
