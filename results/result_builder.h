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

// The distinct attribute names of all entries in order of first appearance, the one
// equal to the sort name (case ignored) moved to the front.
void CollectAttributeNames(LDAP* ld, LDAPMessage* response, std::string_view sort_name,
                           std::vector<std::string>* names, const CodePage& cp);

// One column per name, one cell per entry; a column named "dn" (any case) holds each
// entry's distinguished name. With a sort name, the rows are ordered by the key of
// column 0 (its first non-empty value), equal keys in arrival order.
SharedResultTree BuildQueryResult(LDAP* ld, LDAPMessage* response,
                                  const std::vector<std::string>& names, const SortOrder& order,
                                  const CodePage& cp);

// Where a new row with key goes among rows whose keys are already in order: after every
// row that does not sort after it (ascending: compares greater; descending: compares
// less), so equal keys keep their arrival order.
size_t FindSortPosition(const std::vector<std::string_view>& placed_keys, std::string_view key,
                        bool ascending, bool case_sensitive, const CodePage& cp);

}  // namespace quillon
