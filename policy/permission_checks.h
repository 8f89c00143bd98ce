// The permission decision behind CheckHostingPolicy (hosting_policy.h), exposed for tests.
#pragma once

#include <string>

namespace quillon {

struct LdapFields;

// "Add", "Delete", "Modify", "ModifyDN", "Query" for the codes 0 to 4; empty otherwise.
std::string MethodName(long operation);

// The two refusals a page can meet.
std::string ComponentRefusal(const std::string& component);
std::string MethodRefusal(const std::string& method, const std::string& component);

// 1 allowed; 0 refused, with the refusal already in fields.error_reason. Reads the policy
// files whose paths CheckHostingPolicy just located.
int CheckMethodPermission(LdapFields& fields);

}  // namespace quillon
