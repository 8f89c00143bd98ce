// QuillonPolicy.exe: shows a hosting administrator how the component decides for one page
// and one method, with the component's own policy code reading the same registry values
// and INI files. The page path comes from the command line instead of the web server, in
// UTF-16 as the web server gives it (wmain), so that the tool judges every spelling of a
// path as the component does, whatever the administrator's locale.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "policy/hosting_policy.h"
#include "policy/permission_checks.h"
#include "policy/store_text.h"
#include "session/ldap_fields.h"
#include "tools/policy_report.h"

namespace {

constexpr int kAllowed = 0;
constexpr int kRefused = 1;
constexpr int kBadUsage = 2;

constexpr char kUsageLine[] = "Usage: QuillonPolicy.exe <page path> <method>\n";
constexpr char kUsage[] =
    "\n"
    "Shows how the Quillon component's hosting policy decides for one page and one\n"
    "method, reading the same registry values and INI files the component reads, and\n"
    "which directory server a page that names none would use.\n"
    "\n"
    "  <page path>  the physical path of the page, as the web server gives it\n"
    "               (PATH_TRANSLATED), for example D:\\Web\\Site1\\default.asp\n"
    "  <method>     Add, Delete, Modify, ModifyDN or Query (any case)\n"
    "\n"
    "Exit status: 0 allowed, 1 refused, 2 bad usage.\n";

int BadUsage(const std::string& why) {
  std::fprintf(stderr, "QuillonPolicy: %s\n%sQuillonPolicy.exe --help tells more.\n", why.c_str(),
               kUsageLine);
  return kBadUsage;
}

bool IsHelp(const wchar_t* arg) {
  return std::wcscmp(arg, L"--help") == 0 || std::wcscmp(arg, L"-h") == 0 ||
         std::wcscmp(arg, L"/?") == 0;
}

// The operation code of a method name in any case, or kNoOperation.
long OperationOf(const wchar_t* name) {
  for (long op = quillon::kOpAdd; op <= quillon::kOpQuery; ++op) {
    const std::string method = quillon::MethodName(op);
    if (quillon::SameName(name, std::wstring(method.begin(), method.end()))) return op;
  }
  return quillon::kNoOperation;
}

std::string Shown(const wchar_t* arg) {
  return quillon::WideToStore(arg);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    if (IsHelp(argv[i])) {
      std::fputs(kUsageLine, stdout);
      std::fputs(kUsage, stdout);
      return kAllowed;
    }
    if (std::wcsncmp(argv[i], L"--", 2) == 0) {
      return BadUsage("unknown option " + Shown(argv[i]));
    }
  }
  if (argc != 3) return BadUsage("expected a page path and a method");
  const long operation = OperationOf(argv[2]);
  if (operation == quillon::kNoOperation) {
    return BadUsage("unknown method \"" + Shown(argv[2]) + "\"");
  }

  const std::wstring page = argv[1];
  quillon::LdapFields fields;
  fields.current_operation = operation;
  quillon::PolicyTrace trace;
  trace.given_page_path = &page;
  quillon::CheckHostingPolicy(fields, &trace);

  std::string out =
      "Page:   " + Shown(argv[1]) + "\nMethod: " + quillon::MethodName(operation) + "\n\n";
  out += quillon::DescribeStore() + "\n";
  out += quillon::DescribeDecision(trace, fields) + "\n";
  out += quillon::DescribeServerDefaults();
  std::fputs(out.c_str(), stdout);
  return trace.allowed ? kAllowed : kRefused;
}
