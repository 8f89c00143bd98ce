// The two checks in front of every directory operation: the administrator's default
// server, and the hosting policy's decision whether the calling web site may use this
// component and this method.
#pragma once

#include <string>

namespace quillon {

struct LdapFields;
struct PolicyTrace;  // permission_checks.h

// Fills an empty ServerName and an unset Port (-1) from the registry value
// "LDAPServerInfo" (host[:port]); the filled values stay in the object.
void ApplyServerDefaults(LdapFields& fields);

// Empty when the operation in fields.current_operation may go ahead, otherwise the
// refusal text. Reads the policy store afresh on every call. A trace, when given, receives
// what each step read and which step decided.
std::string CheckHostingPolicy(LdapFields& fields, PolicyTrace* trace = nullptr);

}  // namespace quillon
