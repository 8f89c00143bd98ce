// Runs the hosting-policy check once for an operation code, as an operation will, and
// prints the page path and the answer. The operations that call the check from a script
// are not built yet; until then this shows, outside any test framework, what a script host
// process under Wine sees: the stand-in context module found through the DLL search path
// (WINEPATH) and the request's page path taken from the Unix environment.
//   policy_probe.exe <operation code>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "policy/hosting_policy.h"
#include "policy/site_identification.h"
#include "session/ldap_fields.h"

namespace {

// System texts end with a line break; print each answer on one line.
std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  quillon::LdapFields fields;
  fields.current_operation = argc > 1 ? std::atol(argv[1]) : quillon::kNoOperation;
  std::string page;
  const int found = quillon::GetPagePath(&page);
  std::printf("page %d: %s\n", found, OneLine(page).c_str());
  std::printf("answer: %s\n", OneLine(quillon::CheckHostingPolicy(fields)).c_str());
  return 0;
}
