// Placeholder until the policy store is read: no policy in force, no default server.
#include "policy/hosting_policy.h"

#include "session/ldap_fields.h"

namespace quillon {

void ApplyServerDefaults(LdapFields& fields) {
  if (fields.port == -1) fields.port = 389;
}

std::string CheckHostingPolicy(LdapFields&) { return {}; }

}  // namespace quillon
