// Turning a search response into a result tree, with rows in sort order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "module/ansi_text.h"
#include "results/result_tree.h"
#include "session/ldap_library.h"

namespace quillon {

struct SortOrder {
  std::string name;  // empty: rows stay in server order
  bool ascending = true;
  bool case_sensitive = true;
};

// The responses of one search: one, or one per page of a paged search, in the order the
// server sent them. Their entries, in that order, are the rows of the result.
using Responses = std::vector<LDAPMessage*>;

// The distinct attribute names of all entries in order of first appearance, the one
// equal to the sort name (case ignored) moved to the front.
void CollectAttributeNames(LDAP* ld, const Responses& responses, std::string_view sort_name,
                           std::vector<std::string>* names, const CodePage& cp);

// One column per name, one cell per entry; a column named "dn" (any case) holds each
// entry's distinguished name. With a sort name, the rows are in the order PlaceRows gives
// for column 0 over all the entries.
SharedResultTree BuildQueryResult(LDAP* ld, const Responses& responses,
                                  const std::vector<std::string>& names, const SortOrder& order,
                                  const CodePage& cp);

}  // namespace quillon
