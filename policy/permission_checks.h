// The permission decision behind CheckHostingPolicy (hosting_policy.h), exposed for tests
// and for the administrator's checking tool, which asks the same decision to show its work.
#pragma once

#include <string>

namespace quillon {

struct LdapFields;

// "Add", "Delete", "Modify", "ModifyDN", "Query" for the codes 0 to 4; empty otherwise.
std::string MethodName(long operation);

// The two refusals a page can meet.
std::string ComponentRefusal(const std::string& component);
std::string MethodRefusal(const std::string& method, const std::string& component);

// The steps of the decision in the order they are taken, numbered as the administrator's
// guide numbers them. Each either decides or passes on to the next.
enum class PolicyStep {
  kNone = 0,
  kPolicyFiles = 1,  // both files found and readable; absent: allowed (not set up); there
                     // but unreadable: refused unless the switch is off
  kInstalled = 2,    // component in Admin.ini [Settings] Installed, or allowed
  kSwitch = 3,       // EnableGardavo unreadable: refused; off: allowed
  kApplied = 4,      // component in Admin.ini [Settings] Applied, or allowed
  kPagePath = 5,     // the page's physical path, or refused with the system's text
  kSite = 6,         // first site of WebSite.ini [Path] holding the page, or refused
  kSecurity = 7,     // component in WebSite.ini [Security] <site>, or refused
  kMethods = 8,      // "All" or the method in WebSite.ini [<site>] <component>: else refused
};

// What one check read, step by step, and which step decided. A check given a trace fills
// it as it goes; fields of the steps after the deciding one keep their initial values, so
// give each check a fresh trace.
struct PolicyTrace {
  // Set by the caller: a page path given here stands in for the web server's, for a
  // caller that runs outside any page request.
  const std::wstring* given_page_path = nullptr;

  PolicyStep decided_by = PolicyStep::kNone;
  bool allowed = false;

  int admin_file_found = 0;  // admin_file: the full path, or why it was not found
  std::string admin_file;
  int site_file_looked_for = 0;  // only when Admin.ini was found
  int site_file_found = 0;       // site_file: the full path, or why it was not found
  std::string site_file;
  // A file that is there, or not known to be absent, but cannot be read: the full path is
  // in admin_file / site_file, the system's reason here.
  bool admin_file_unreadable = false;
  std::string admin_file_why;
  bool site_file_unreadable = false;
  std::string site_file_why;
  std::string installed;    // Admin.ini [Settings] Installed
  int switch_read = 0;      // switch_text: the decimal value, or the read's error text
  std::string switch_text;  //
  bool switch_on = false;
  std::string applied;         // Admin.ini [Settings] Applied
  int page_found = 0;          // page_path: the path, or the system's text
  std::string page_path;       //
  std::string page_long_form;  // the page path with its short names made long, when it had any
  std::string site_line;       // the matching line of [Path], unchanged; empty when none
  std::string site_name;       // its text before the first "=", exactly as written
  std::string site_folder;
  std::string security;      // WebSite.ini [Security] <site name>
  std::string methods;       // WebSite.ini [<site name>] <component>
  bool all_methods = false;  // methods is "All"
  std::string method;        // the method asked for
};

// 1 allowed; 0 refused, with the refusal already in fields.error_reason. Reads the policy
// files whose paths CheckHostingPolicy just located.
int CheckMethodPermission(LdapFields& fields, PolicyTrace* trace = nullptr);

}  // namespace quillon
