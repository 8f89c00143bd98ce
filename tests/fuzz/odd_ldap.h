// A stand-in LDAP library for the harness: it answers from a response the harness drew at
// random, misbehaves on request at every step where a real library or server can (a
// failed open, a bind that never answers, a result code with a partial response, a count
// that disagrees with the entries, entries without a DN, attributes without values, values
// with NULs or without an end), and counts everything it hands out so that the harness can
// prove each piece was given back.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "random_values.h"
#include "session/ldap_library.h"

namespace quillon::fuzz {

struct OddEntry {
  bool has_dn = true;  // false: get_dn answers null
  std::string dn;
  // An attribute with has_values false has a name and no value array.
  struct Attribute {
    std::string name;
    bool has_values = true;
    std::vector<std::string> values;
  };
  std::vector<Attribute> attributes;
};

struct OddBehaviour {
  bool open_fails = false;
  DWORD open_error = 0;
  ULONG bind_rc = 0;             // synchronous and asynchronous bind
  bool bind_send_fails = false;  // the asynchronous bind is never sent
  ULONG bind_wait = 1;           // what result answers: 0 time-out, -1 failure, else a kind
  bool bind_no_response = false;
  ULONG last_error = 0;
  int err_text = 0;  // 0 the library's own, 1 null, 2 empty, 3 one character, 4 64 KiB
  ULONG request_rc = 0;
  ULONG start_tls_rc = 0;
  ULONG search_rc = 0;
  int pages_left = 0;            // cookies still to hand out to a paged search
  bool no_page_control = false;  // the server ignores paging
  bool search_no_response = false;
  int count_answer = 0;  // 0 true count, 1 fails (-1), 2 zero, 3 one more than true
  bool first_attribute_null_state = false;
  std::vector<OddEntry> entries;
};

class OddLdap {
 public:
  OddLdap();   // installs itself as the library table
  ~OddLdap();  // puts wldap32 back

  // A behaviour and a response drawn from rng, for the next operation; a lean one has
  // at most a few dozen entries and no huge values.
  void Randomize(Rng& rng, bool lean = false);

  OddBehaviour behaviour;
  long outstanding = 0;  // sessions, responses, texts, value arrays, states not given back
  long opens = 0;        // sessions ever opened
  long requests = 0;     // requests that reached the library (search, add, ...)
};

}  // namespace quillon::fuzz
