// Only describes: every value and verdict here comes from the component's own readers and
// its own decision (CheckHostingPolicy with a trace, ApplyServerDefaults), never from a
// second reading of the rules.
#include "tools/policy_report.h"

#include <string>

#include "policy/hosting_policy.h"
#include "policy/kt_get.h"
#include "policy/kt_reg.h"
#include "policy/permission_checks.h"
#include "policy/policy_store.h"
#include "session/ldap_fields.h"
#include "session/operation.h"

namespace quillon {

namespace {

// System texts end with a line break; the report shows each on its own line.
std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string Shown(const std::string& value) {
  return value.empty() ? "(empty)" : value;
}

class Report {
 public:
  explicit Report(const PolicyTrace& trace) : t_(trace) {}

  void Line(const std::string& text) { out_ += text + "\n"; }

  // The step's number and what it read.
  void Step(PolicyStep step, const std::string& read) {
    Line(std::to_string(static_cast<int>(step)) + ". " + read);
  }
  // Its outcome: either it passed the check on, or it decided.
  void Outcome(PolicyStep step, const std::string& passed, const std::string& decided) {
    if (t_.decided_by != step) {
      Line("   -> " + passed + ", go on");
    } else {
      Line("   -> " + decided + ": " + (t_.allowed ? "ALLOWED" : "REFUSED"));
    }
  }
  bool Reached(PolicyStep step) const {
    return static_cast<int>(t_.decided_by) >= static_cast<int>(step);
  }

  std::string Take() { return std::move(out_); }

 private:
  const PolicyTrace& t_;
  std::string out_;
};

std::string FileFound(int found, const std::string& text, bool unreadable, const std::string& why) {
  if (unreadable) return "cannot be read, " + text + ": " + OneLine(why);
  return found ? "found, " + text : "not found: " + OneLine(text);
}

}  // namespace

std::string DescribeStore() {
  std::string folder;
  const int read =
      CKtReg().ReadString(&folder, HKEY_LOCAL_MACHINE, kPolicySubkey, kInstallationPathValue);
  std::string out = std::string("Registry key ") + kPolicyKeyPath + "\n";
  out += std::string("   ") + kInstallationPathValue + ": " +
         (read ? Shown(folder) : "cannot be read: " + OneLine(folder)) + "\n";
  return out;
}

std::string DescribeDecision(const PolicyTrace& t, const LdapFields& fields) {
  Report r(t);
  const std::string& component = fields.component_name;

  r.Step(PolicyStep::kPolicyFiles, "Policy files");
  r.Line(std::string("   ") + kAdminFile + ":   " +
         FileFound(t.admin_file_found, t.admin_file, t.admin_file_unreadable, t.admin_file_why));
  r.Line(std::string("   ") + kSiteFile + ": " +
         (t.site_file_looked_for
              ? FileFound(t.site_file_found, t.site_file, t.site_file_unreadable, t.site_file_why)
              : "not looked for"));
  const bool unreadable = t.admin_file_unreadable || t.site_file_unreadable;
  if (unreadable && r.Reached(PolicyStep::kPolicyFiles)) {
    r.Line(std::string("   Registry ") + kPolicySwitchValue + ": " +
           (t.switch_read ? t.switch_text : "cannot be read: " + OneLine(t.switch_text)));
  }
  r.Outcome(PolicyStep::kPolicyFiles, "both found",
            !unreadable ? "not both found, so the policy is not in force"
            : t.allowed ? "a policy file cannot be read, but the switch is off"
                        : "a policy file cannot be read, so the policy fails closed");

  if (r.Reached(PolicyStep::kInstalled)) {
    r.Step(PolicyStep::kInstalled, "Admin.ini [Settings] Installed: " + Shown(t.installed));
    r.Outcome(PolicyStep::kInstalled, component + " is listed",
              component + " is not listed, so the policy is not installed for it");
  }
  if (r.Reached(PolicyStep::kSwitch)) {
    r.Step(PolicyStep::kSwitch,
           std::string("Registry ") + kPolicySwitchValue + ": " +
               (t.switch_read ? t.switch_text : "cannot be read: " + OneLine(t.switch_text)));
    r.Outcome(PolicyStep::kSwitch, "the switch is on",
              t.switch_read ? "the switch is off (its low 16 bits are 0)"
                            : "an installed policy with an unreadable switch fails closed");
  }
  if (r.Reached(PolicyStep::kApplied)) {
    r.Step(PolicyStep::kApplied, "Admin.ini [Settings] Applied: " + Shown(t.applied));
    r.Outcome(PolicyStep::kApplied, component + " is listed",
              component + " is not listed, so the policy is not applied to it");
  }
  if (r.Reached(PolicyStep::kPagePath)) {
    r.Step(PolicyStep::kPagePath,
           "Page path: " +
               (t.page_found ? Shown(t.page_path) : "cannot be obtained: " + OneLine(t.page_path)));
    if (!t.page_long_form.empty()) r.Line("   long form: " + t.page_long_form);
    r.Outcome(PolicyStep::kPagePath, "found", "the page cannot be identified");
  }
  if (r.Reached(PolicyStep::kSite)) {
    r.Step(PolicyStep::kSite, "WebSite.ini [Path], first line whose folder begins the page path: " +
                                  (t.site_line.empty() ? std::string("none") : t.site_line));
    r.Outcome(PolicyStep::kSite, "site \"" + t.site_name + "\", folder " + Shown(t.site_folder),
              "the page belongs to no site");
  }
  if (r.Reached(PolicyStep::kSecurity)) {
    r.Step(PolicyStep::kSecurity,
           "WebSite.ini [Security] " + t.site_name + ": " + Shown(t.security));
    r.Outcome(PolicyStep::kSecurity, component + " is listed",
              component + " is not listed for the site");
  }
  if (r.Reached(PolicyStep::kMethods)) {
    r.Step(PolicyStep::kMethods,
           "WebSite.ini [" + t.site_name + "] " + component + ": " + Shown(t.methods));
    std::string verdict;
    if (t.allowed) {
      verdict = t.all_methods ? "All: every method" : t.method + " is listed";
    } else {
      verdict = t.method + " is not listed";
    }
    r.Outcome(PolicyStep::kMethods, "", verdict);
  }

  r.Line("");
  r.Line(std::string("Decision: ") + (t.allowed ? "allowed" : "refused") + " at step " +
         std::to_string(static_cast<int>(t.decided_by)));
  if (!t.allowed) r.Line("ErrorReason: " + OneLine(fields.error_reason));
  return r.Take();
}

std::string DescribeServerDefaults() {
  std::string value;
  const int read = CKtGet().GetRegistryValue(&value, kPolicyKeyPath, kReadString, kServerInfoValue);
  std::string out = std::string("Default directory server, ") + kServerInfoValue + ": " +
                    (read ? Shown(value) : "cannot be read: " + OneLine(value)) + "\n";

  LdapFields unnamed;
  ApplyServerDefaults(unnamed);
  if (unnamed.server_name.empty()) {
    out += std::string("   a page without ServerName fails with \"") + kNoServerMessage + "\"\n";
  } else {
    out += "   a page without ServerName uses " + unnamed.server_name + ", port " +
           std::to_string(unnamed.port) + "\n";
  }
  // Any name will do: only whether the page named a server matters.
  LdapFields named;
  named.server_name = "named";
  ApplyServerDefaults(named);
  out += "   a page with its own ServerName but no Port uses port " + std::to_string(named.port) +
         "\n";
  return out;
}

}  // namespace quillon
