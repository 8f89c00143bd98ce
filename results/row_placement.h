// The order of the rows of a sorted result.
//
// Rows are ordered as if each were placed, in the order the server returned them, by an
// insertion walk over the rows placed before it: ascending, the walk stops at the first
// placed row that compares greater than the new row; descending, at the first that
// compares less; the new row goes where the walk stopped. The two sides of a comparison
// are read differently on purpose:
//  - the row being placed compares by its placing key: the text of the first value of its
//    sort cell whose text (bytes up to the first zero byte) is not empty;
//  - a placed row compares by its placed key: the text of its cell's first value (empty
//    when that value is empty or starts with a zero byte, or the cell has none).
// The two differ only for a row whose first value has empty text and a later one does
// not; such a row is placed by its later value but then looks empty to the rows after it.
// Keys compare as text, character by character in Unicode order (see SortText); without
// regard to case, A-Z count as a-z. Equal keys keep the server's order.
#pragma once

#include <string_view>
#include <vector>

#include "module/ansi_text.h"
#include "results/result_tree.h"

namespace quillon {

// The row indexes of column in the order the walk gives, in O(n log n) comparisons.
std::vector<size_t> PlaceRows(const ResultColumn& column, bool ascending, bool case_sensitive,
                              const CodePage& cp);

}  // namespace quillon
