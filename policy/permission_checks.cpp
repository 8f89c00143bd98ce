// The policy fails open where it is not set up (no policy files, the component not
// installed or not applied, the switch off) and fails closed once it is in force (an
// unreadable switch, an unidentifiable page, a site not listed). A policy file that is there
// but cannot be read counts as a policy in force that cannot be consulted: unless the switch
// is off, it refuses. Nothing is cached: every operation locates the files, reads the switch
// and asks for the page path again. The page path is matched in UTF-16 and in its long form,
// so that no spelling of it (other case, a look-alike, a short name) reaches another site.
#include "policy/permission_checks.h"

#include "module/ansi_text.h"
#include "policy/hosting_policy.h"
#include "policy/kt_functions.h"
#include "policy/kt_get.h"
#include "policy/path_form.h"
#include "policy/policy_store.h"
#include "policy/policy_text.h"
#include "policy/site_identification.h"
#include "policy/store_text.h"
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

// Locates one policy file for a check: path receives its full path when it is not absent,
// otherwise why it was not found.
PolicyFile LocateForCheck(const char* name, std::string* path, int* found, bool* unreadable,
                          std::string* why) {
  PolicyFile file = CKtFunctions().FindPolicyFile(name);
  *found = file.state != PolicyFile::kAbsent;
  *path = *found ? file.path : file.why;
  *unreadable = file.state == PolicyFile::kUnreadable;
  if (*unreadable) *why = file.why;
  return file;
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
  if (t.admin_file_unreadable || t.site_file_unreadable) {
    // Whether the component is installed, applied and granted is in a file that cannot be
    // read; only the switch can still say that the policy is not in force.
    t.switch_read =
        get.GetRegistryValue(&t.switch_text, kPolicyKeyPath, kReadNumber, kPolicySwitchValue);
    t.switch_on = t.switch_read && SwitchIsOn(t.switch_text);
    if (t.switch_read && !t.switch_on) return allow(PolicyStep::kPolicyFiles);
    return refuse(PolicyStep::kPolicyFiles, ComponentRefusal(component));
  }
  get.GetINIValue(&t.installed, "Settings", "Installed", fields.admin_policy_path);
  if (!functions.IsInList(t.installed, component)) return allow(PolicyStep::kInstalled);

  t.switch_read =
      get.GetRegistryValue(&t.switch_text, kPolicyKeyPath, kReadNumber, kPolicySwitchValue);
  if (!t.switch_read) return refuse(PolicyStep::kSwitch, t.switch_text);
  t.switch_on = SwitchIsOn(t.switch_text);
  if (!t.switch_on) return allow(PolicyStep::kSwitch);

  get.GetINIValue(&t.applied, "Settings", "Applied", fields.admin_policy_path);
  if (!functions.IsInList(t.applied, component)) return allow(PolicyStep::kApplied);

  std::wstring page;
  if (t.given_page_path) {
    page = *t.given_page_path;
    t.page_found = 1;
  } else {
    t.page_found = GetPagePath(&page, &fields.policy_refusal_text);
  }
  if (!t.page_found) {
    t.page_path = fields.policy_refusal_text;
    return refuse(PolicyStep::kPagePath, fields.policy_refusal_text);
  }
  fields.policy_refusal_text = t.page_path = WideToStore(page);
  const std::wstring long_page = LongForm(page);
  if (long_page != page) t.page_long_form = WideToStore(long_page);

  get.FindPrefixEntry(&t.site_line, "Path", long_page, fields.site_policy_path);
  if (t.site_line.empty()) return refuse(PolicyStep::kSite, ComponentRefusal(component));
  // The site name is the line's text before its first "=", exactly as written.
  const CodePage& cp = StoreCodePage();
  t.site_name = t.site_line.substr(0, FindChar(t.site_line, '=', cp));
  t.site_folder = functions.AfterChar(t.site_line, '=');
  fields.policy_refusal_text = t.site_folder;

  get.GetINIValue(&t.security, "Security", t.site_name.c_str(), fields.site_policy_path);
  if (!functions.IsInList(t.security, component)) {
    return refuse(PolicyStep::kSecurity, ComponentRefusal(component));
  }

  // "All" counts only as the whole value, never as one element of a list.
  get.GetINIValue(&t.methods, t.site_name.c_str(), component.c_str(), fields.site_policy_path);
  t.all_methods = SameName(functions.TrimCopy(t.methods), "All", cp);
  if (t.all_methods) return allow(PolicyStep::kMethods);
  if (functions.IsInList(t.methods, t.method)) return allow(PolicyStep::kMethods);
  return refuse(PolicyStep::kMethods, MethodRefusal(t.method, component));
}

std::string CheckHostingPolicy(LdapFields& fields, PolicyTrace* trace) {
  PolicyTrace untraced;
  PolicyTrace& t = trace ? *trace : untraced;
  // Each path receives the file's full path, or why it was not found. Only a file that is
  // really absent means the policy is not set up.
  fields.policy_files_missing = 1;
  const PolicyFile admin =
      LocateForCheck(kAdminFile, &fields.admin_policy_path, &t.admin_file_found,
                     &t.admin_file_unreadable, &t.admin_file_why);
  t.admin_file = fields.admin_policy_path;
  if (admin.state != PolicyFile::kAbsent) {
    t.site_file_looked_for = 1;
    const PolicyFile site = LocateForCheck(kSiteFile, &fields.site_policy_path, &t.site_file_found,
                                           &t.site_file_unreadable, &t.site_file_why);
    t.site_file = fields.site_policy_path;
    if (site.state != PolicyFile::kAbsent) fields.policy_files_missing = 0;
  }
  if (CheckMethodPermission(fields, &t)) return {};
  return fields.error_reason;
}

}  // namespace quillon
