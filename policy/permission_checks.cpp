// The policy fails open where it is not set up (no policy files, the component not
// installed or not applied, the switch off) and fails closed once it is in force (an
// unreadable switch, an unidentifiable page, a site not listed). Nothing is cached: every
// operation locates the files, reads the switch and asks for the page path again.
#include "policy/permission_checks.h"

#include "module/ansi_text.h"
#include "policy/hosting_policy.h"
#include "policy/kt_functions.h"
#include "policy/kt_get.h"
#include "policy/policy_store.h"
#include "policy/policy_text.h"
#include "policy/site_identification.h"
#include "session/ldap_fields.h"

namespace quillon {

namespace {

constexpr char kRefusalPrefix[] =
    "Please contact your hosting administrator, as you are not allowed to use ";

// The switch is on when the low 16 bits of its number are not all zero, so 65536 is off.
// The number is its decimal text read as a signed 32-bit value: 4294967295 holds at
// 2147483647 and is on.
bool SwitchIsOn(const std::string& decimal) {
  return (static_cast<unsigned long>(ParseLeadingInt(decimal)) & 0xFFFFu) != 0;
}

int Refuse(LdapFields& fields, std::string text) {
  fields.error_reason = std::move(text);
  return 0;
}

}  // namespace

std::string MethodName(long operation) {
  static const char* const kNames[] = {"Add", "Delete", "Modify", "ModifyDN", "Query"};
  if (operation < kOpAdd || operation > kOpQuery) return {};
  return kNames[operation];
}

std::string ComponentRefusal(const std::string& component) {
  return kRefusalPrefix + component + " component";
}

std::string MethodRefusal(const std::string& method, const std::string& component) {
  return kRefusalPrefix + method + " method of " + component + " component";
}

int CheckMethodPermission(LdapFields& fields) {
  if (fields.policy_files_missing == 1) return 1;

  CKtGet get;
  CKtFunctions functions;
  const std::string& component = fields.component_name;
  std::string value;
  get.GetINIValue(&value, "Settings", "Installed", fields.admin_policy_path);
  if (!functions.IsInList(value, component)) return 1;

  std::string switch_text;
  if (!get.GetRegistryValue(&switch_text, kPolicyKeyPath, kReadNumber, kPolicySwitchValue)) {
    return Refuse(fields, switch_text);
  }
  if (!SwitchIsOn(switch_text)) return 1;

  get.GetINIValue(&value, "Settings", "Applied", fields.admin_policy_path);
  if (!functions.IsInList(value, component)) return 1;

  if (!GetPagePath(&fields.policy_refusal_text)) return Refuse(fields, fields.policy_refusal_text);
  std::string site_line;
  get.FindPrefixEntry(&site_line, "Path", fields.policy_refusal_text, fields.site_policy_path);
  if (site_line.empty()) return Refuse(fields, ComponentRefusal(component));

  // The site name is the line's text before its first "=", exactly as written.
  const CodePage cp;
  const std::string site = site_line.substr(0, FindChar(site_line, '=', cp));
  fields.policy_refusal_text = functions.AfterChar(site_line, '=');

  get.GetINIValue(&value, "Security", site.c_str(), fields.site_policy_path);
  if (!functions.IsInList(value, component)) return Refuse(fields, ComponentRefusal(component));

  // "All" counts only as the whole value, never as one element of a list.
  get.GetINIValue(&value, site.c_str(), component.c_str(), fields.site_policy_path);
  if (EqualsNoCase(functions.TrimCopy(value), "All", cp)) return 1;
  const std::string method = MethodName(fields.current_operation);
  if (functions.IsInList(value, method)) return 1;
  return Refuse(fields, MethodRefusal(method, component));
}

std::string CheckHostingPolicy(LdapFields& fields) {
  CKtFunctions functions;
  fields.policy_files_missing = 1;
  if (functions.LocateProductFile(&fields.admin_policy_path, kAdminFile) &&
      functions.LocateProductFile(&fields.site_policy_path, kSiteFile)) {
    fields.policy_files_missing = 0;
  }
  if (CheckMethodPermission(fields)) return {};
  return fields.error_reason;
}

}  // namespace quillon
