// An LDAP library that answers every search from entries held in memory. It shows what
// no real server does on demand (a result code with a partial response, a failing count)
// and counts everything it hands out, so a test can prove each piece was given back.
// The benchmark uses it too, to measure the component's own work without the network.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "session/ldap_library.h"

namespace quillon::test {

struct MemoryEntry {
  std::string dn;
  std::vector<std::pair<std::string, std::vector<std::string>>> attributes;
};

class MemoryLdap {
 public:
  MemoryLdap();   // installs itself as the library table
  ~MemoryLdap();  // puts wldap32 back

  std::vector<MemoryEntry> entries;
  ULONG search_rc = 0;        // with a non-zero code the response is still handed out
  bool no_response = false;   // the search hands out no response at all
  bool count_fails = false;   // count_entries answers -1
  DWORD search_delay_ms = 0;  // each search answers this late
  bool paging = true;         // false: the page control is ignored, as without paging support

  // What the last search asked for.
  std::string base, filter;
  ULONG scope = 0, size_limit = 0;
  long time_limit = -1;  // -1: no time-out passed
  std::vector<std::string> attrs;
  bool attrs_null = false;

  std::vector<ULONG> page_sizes;  // every paged request since the last clear
  std::vector<long> time_limits;  // every request's time-out since the last clear
  bool critical = false;          // the last page control's criticality

  int searches = 0;
  int outstanding = 0;  // responses, texts, value arrays and sessions not yet given back
};

}  // namespace quillon::test
