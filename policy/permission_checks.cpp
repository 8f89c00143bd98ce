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

int CheckMethodPermission(LdapFields& fields, PolicyTrace* trace) {
  // Without a caller's trace the steps write into a local one: one decision, whether or
  // not anyone watches it.
  PolicyTrace untraced;
  PolicyTrace& t = trace ? *trace : untraced;
  const auto allow = [&t](PolicyStep step) {
    t.decided_by = step;
    t.allowed = true;
    return 1;
  };
  const auto refuse = [&t, &fields](PolicyStep step, std::string text) {
    t.decided_by = step;
    t.allowed = false;
    fields.error_reason = std::move(text);
    return 0;
  };
  const std::string& component = fields.component_name;
  t.method = MethodName(fields.current_operation);

  if (fields.policy_files_missing == 1) return allow(PolicyStep::kPolicyFiles);

  CKtGet get;
  CKtFunctions functions;
  get.GetINIValue(&t.installed, "Settings", "Installed", fields.admin_policy_path);
  if (!functions.IsInList(t.installed, component)) return allow(PolicyStep::kInstalled);

  t.switch_read =
      get.GetRegistryValue(&t.switch_text, kPolicyKeyPath, kReadNumber, kPolicySwitchValue);
  if (!t.switch_read) return refuse(PolicyStep::kSwitch, t.switch_text);
  t.switch_on = SwitchIsOn(t.switch_text);
  if (!t.switch_on) return allow(PolicyStep::kSwitch);

  get.GetINIValue(&t.applied, "Settings", "Applied", fields.admin_policy_path);
  if (!functions.IsInList(t.applied, component)) return allow(PolicyStep::kApplied);

  if (t.given_page_path) {
    fields.policy_refusal_text = *t.given_page_path;
    t.page_found = 1;
  } else {
    t.page_found = GetPagePath(&fields.policy_refusal_text);
  }
  t.page_path = fields.policy_refusal_text;
  if (!t.page_found) return refuse(PolicyStep::kPagePath, fields.policy_refusal_text);

  get.FindPrefixEntry(&t.site_line, "Path", fields.policy_refusal_text, fields.site_policy_path);
  if (t.site_line.empty()) return refuse(PolicyStep::kSite, ComponentRefusal(component));
  // The site name is the line's text before its first "=", exactly as written.
  const CodePage cp;
  t.site_name = t.site_line.substr(0, FindChar(t.site_line, '=', cp));
  t.site_folder = functions.AfterChar(t.site_line, '=');
  fields.policy_refusal_text = t.site_folder;

  get.GetINIValue(&t.security, "Security", t.site_name.c_str(), fields.site_policy_path);
  if (!functions.IsInList(t.security, component)) {
    return refuse(PolicyStep::kSecurity, ComponentRefusal(component));
  }

  // "All" counts only as the whole value, never as one element of a list.
  get.GetINIValue(&t.methods, t.site_name.c_str(), component.c_str(), fields.site_policy_path);
  t.all_methods = EqualsNoCase(functions.TrimCopy(t.methods), "All", cp);
  if (t.all_methods) return allow(PolicyStep::kMethods);
  if (functions.IsInList(t.methods, t.method)) return allow(PolicyStep::kMethods);
  return refuse(PolicyStep::kMethods, MethodRefusal(t.method, component));
}

std::string CheckHostingPolicy(LdapFields& fields, PolicyTrace* trace) {
  PolicyTrace untraced;
  PolicyTrace& t = trace ? *trace : untraced;
  CKtFunctions functions;
  // Each path receives the file's full path, or why it was not found.
  fields.policy_files_missing = 1;
  t.admin_file_found = functions.LocateProductFile(&fields.admin_policy_path, kAdminFile);
  t.admin_file = fields.admin_policy_path;
  if (t.admin_file_found) {
    t.site_file_looked_for = 1;
    t.site_file_found = functions.LocateProductFile(&fields.site_policy_path, kSiteFile);
    t.site_file = fields.site_policy_path;
    if (t.site_file_found) fields.policy_files_missing = 0;
  }
  if (CheckMethodPermission(fields, &t)) return {};
  return fields.error_reason;
}

}  // namespace quillon
