// Implementation details: a literal walk costs n²/2 comparisons. Because a placed key is
// either the placing key or empty, the walk's outcome can be computed with sorted sets:
//  - When every row's two keys agree (the usual case), the placed rows stay sorted and
//    the walk is a stable sort.
//  - Ascending, an empty placed key never stops a walk, so the rows whose keys agree stay
//    sorted among themselves, and a row whose keys differ ("hollow" row) stays right after
//    the last agreeing row that sorted at or before its key when it arrived, behind the
//    hollow rows that went there earlier.
//  - Descending, a hollow row stops every walk with a non-empty key: rows before the first
//    hollow row form a sorted run that later rows join; a hollow row takes every run row
//    that sorts after it (compares less) out of the run, and they stay, in order, right
//    behind it for good. Rows with an empty key never stop, so they go to the very end.
#include "results/row_placement.h"

#include <algorithm>
#include <numeric>
#include <set>
#include <string>

#include "results/value_text.h"

namespace quillon {

namespace {

struct RowKeys {
  std::string_view placing;
  std::string_view placed;
  bool Hollow() const { return placed.empty() && !placing.empty(); }
};

bool HasByteBeyondAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

// The two keys of every row. Keys beyond ASCII are replaced by their text in UTF-8
// (stored in texts), so that bytes compare as characters whatever the value's encoding.
std::vector<RowKeys> KeysOf(const ResultColumn& column, const CodePage& cp,
                            std::vector<std::string>* texts, bool* any_hollow) {
  std::vector<RowKeys> keys;
  keys.reserve(column.cells.size());
  *any_hollow = false;
  bool beyond_ascii = false;
  for (const ResultCell& cell : column.cells) {
    RowKeys k;
    const CellValues values = column.ValuesOf(cell);
    if (values.size) k.placed = values[0].Text();
    k.placing = k.placed;
    for (size_t i = 1; k.placing.empty() && i < values.size; ++i) k.placing = values[i].Text();
    *any_hollow = *any_hollow || k.Hollow();
    beyond_ascii = beyond_ascii || HasByteBeyondAscii(k.placing);
    keys.push_back(k);
  }
  if (!beyond_ascii) return keys;
  texts->reserve(keys.size());
  for (RowKeys& k : keys) {
    texts->push_back(SortText(k.placing, cp));
    const bool hollow = k.Hollow();
    k.placing = texts->back();
    if (!hollow) k.placed = k.placing;
  }
  return keys;
}

// Rows by key in the given direction, equal keys by arrival. A Bound stands for a key
// that sorts after every row whose key does not sort after it.
struct Bound {
  std::string_view key;
};
struct RowLess {
  using is_transparent = void;
  const std::vector<RowKeys>* keys;
  bool ascending;
  bool case_sensitive;

  // Negative when a sorts before b in the direction of the sort.
  int Order(std::string_view a, std::string_view b) const {
    const int c = CompareSortText(a, b, !case_sensitive);
    return ascending ? c : -c;
  }
  std::string_view Key(size_t row) const { return (*keys)[row].placing; }
  bool operator()(size_t a, size_t b) const {
    const int c = Order(Key(a), Key(b));
    return c < 0 || (c == 0 && a < b);
  }
  bool operator()(size_t a, Bound b) const { return Order(Key(a), b.key) <= 0; }
  bool operator()(Bound a, size_t b) const { return Order(a.key, Key(b)) < 0; }
};

std::vector<size_t> PlaceAscending(const std::vector<RowKeys>& keys, const RowLess& less) {
  std::set<size_t, RowLess> sorted(less);
  std::vector<std::vector<size_t>> behind(keys.size());  // hollow rows after a sorted row
  std::vector<size_t> in_front;                          // hollow rows before all of them
  for (size_t row = 0; row < keys.size(); ++row) {
    if (!keys[row].Hollow()) {
      sorted.insert(row);
      continue;
    }
    auto after = sorted.upper_bound(Bound{keys[row].placing});
    if (after == sorted.begin()) {
      in_front.push_back(row);
    } else {
      behind[*std::prev(after)].push_back(row);
    }
  }
  std::vector<size_t> order(in_front);
  order.reserve(keys.size());
  for (size_t row : sorted) {
    order.push_back(row);
    order.insert(order.end(), behind[row].begin(), behind[row].end());
  }
  return order;
}

std::vector<size_t> PlaceDescending(const std::vector<RowKeys>& keys, const RowLess& less) {
  std::set<size_t, RowLess> run(less);
  std::vector<std::vector<size_t>> frozen;  // each a hollow row and the rows it took
  std::vector<size_t> tail;                 // empty keys after the first hollow row
  for (size_t row = 0; row < keys.size(); ++row) {
    const RowKeys& k = keys[row];
    if (!k.Hollow()) {
      if (k.placing.empty() && !frozen.empty()) {
        tail.push_back(row);
      } else {
        run.insert(row);
      }
      continue;
    }
    std::vector<size_t> taken{row};
    const auto first = run.lower_bound(Bound{k.placing});
    taken.insert(taken.end(), first, run.end());
    run.erase(first, run.end());
    frozen.push_back(std::move(taken));
  }
  std::vector<size_t> order(run.begin(), run.end());
  order.reserve(keys.size());
  for (auto it = frozen.rbegin(); it != frozen.rend(); ++it) {
    order.insert(order.end(), it->begin(), it->end());
  }
  order.insert(order.end(), tail.begin(), tail.end());
  return order;
}

}  // namespace

std::vector<size_t> PlaceRows(const ResultColumn& column, bool ascending, bool case_sensitive,
                              const CodePage& cp) {
  bool any_hollow = false;
  std::vector<std::string> texts;
  const std::vector<RowKeys> keys = KeysOf(column, cp, &texts, &any_hollow);
  const RowLess less{&keys, ascending, case_sensitive};
  if (any_hollow) return ascending ? PlaceAscending(keys, less) : PlaceDescending(keys, less);
  std::vector<size_t> rows(keys.size());
  std::iota(rows.begin(), rows.end(), 0);
  std::stable_sort(rows.begin(), rows.end(), [&](size_t a, size_t b) {
    return less.Order(keys[a].placing, keys[b].placing) < 0;
  });
  return rows;
}

}  // namespace quillon
