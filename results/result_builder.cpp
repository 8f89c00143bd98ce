#include "results/result_builder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>

#include "session/ldap_handles.h"

namespace quillon {

namespace {

// True when placed must stay before key: the insertion walk stops at the first placed row
// for which this is false.
struct RowOrder {
  bool ascending;
  bool case_sensitive;
  const CodePage* cp;

  int Compare(std::string_view a, std::string_view b) const {
    return CompareMultibyte(a, b, !case_sensitive, *cp);
  }
  // Whether a row with key a sorts strictly before a row with key b.
  bool Before(std::string_view a, std::string_view b) const {
    const int c = Compare(a, b);
    return ascending ? c < 0 : c > 0;
  }
};

// Appends a cell holding the given values (bytes and lengths) to column.
template <class Each>
void AppendCell(ResultTree* tree, ResultColumn* column, Each each) {
  ResultCell cell;
  cell.first = static_cast<uint32_t>(column->values.size());
  each([&](const char* bytes, unsigned long length) {
    column->values.push_back(ResultValue{tree->bytes.Copy(bytes, length), length});
  });
  cell.count = static_cast<uint32_t>(column->values.size() - cell.first);
  column->cells.push_back(cell);
}

void AppendDnCell(LDAP* ld, LDAPMessage* entry, ResultTree* tree, ResultColumn* column) {
  LdapText dn(Ldap().get_dn(ld, entry));
  const char* text = dn ? dn.Get() : "";
  AppendCell(tree, column, [&](auto add) { add(text, static_cast<unsigned long>(strlen(text))); });
}

void AppendValuesCell(LDAP* ld, LDAPMessage* entry, ResultTree* tree, ResultColumn* column) {
  LdapValues values(Ldap().get_values_len(ld, entry, const_cast<PCHAR>(column->name.c_str())));
  AppendCell(tree, column, [&](auto add) {
    for (berval** v = values.Get(); v && *v; ++v) add((*v)->bv_val, (*v)->bv_len);
  });
}

// The key of a row: the text of its first value whose text is not empty.
std::string_view KeyOf(const ResultColumn& column, const ResultCell& cell) {
  for (const ResultValue& v : column.ValuesOf(cell)) {
    if (!v.Text().empty()) return v.Text();
  }
  return {};
}

// Puts the rows in the order the insertion walk gives: a stable sort with the walk's
// comparison places each row after all earlier rows that do not sort after it.
void OrderRows(ResultTree* tree, const SortOrder& order, const CodePage& cp) {
  if (order.name.empty() || tree->columns.empty()) return;
  const ResultColumn& first = tree->columns[0];
  std::vector<std::string_view> keys;
  keys.reserve(first.cells.size());
  for (const ResultCell& cell : first.cells) keys.push_back(KeyOf(first, cell));
  std::vector<size_t> rows(keys.size());
  std::iota(rows.begin(), rows.end(), 0);
  const RowOrder less{order.ascending, order.case_sensitive, &cp};
  std::stable_sort(rows.begin(), rows.end(),
                   [&](size_t a, size_t b) { return less.Before(keys[a], keys[b]); });
  for (ResultColumn& column : tree->columns) {
    std::vector<ResultCell> sorted;
    sorted.reserve(column.cells.size());
    for (size_t row : rows) sorted.push_back(column.cells[row]);
    column.cells = std::move(sorted);
  }
}

}  // namespace

const char* ByteArena::Copy(const char* bytes, size_t length) {
  char* out;
  if (length + 1 > kBlockSize / 4) {
    // A large value gets a block of its own, so the shared blocks stay mostly full.
    large_.emplace_back(new char[length + 1]);
    out = large_.back().get();
  } else {
    if (used_ + length + 1 > kBlockSize) {
      blocks_.emplace_back(new char[kBlockSize]);
      used_ = 0;
    }
    out = blocks_.back().get() + used_;
    used_ += length + 1;
  }
  if (length) memcpy(out, bytes, length);
  out[length] = '\0';
  return out;
}

void CollectAttributeNames(LDAP* ld, LDAPMessage* response, std::string_view sort_name,
                           std::vector<std::string>* names, const CodePage& cp) {
  for (LDAPMessage* e = Ldap().first_entry(ld, response); e; e = Ldap().next_entry(ld, e)) {
    LdapBerState state;
    for (LdapText name(Ldap().first_attribute(ld, e, state.Put())); name;
         name.Reset(Ldap().next_attribute(ld, e, state.Get()))) {
      const std::string_view text = name.Get();
      if (std::find(names->begin(), names->end(), text) != names->end()) continue;
      if (!sort_name.empty() && EqualsNoCase(text, sort_name, cp)) {
        names->insert(names->begin(), std::string(text));
      } else {
        names->emplace_back(text);
      }
    }
  }
}

SharedResultTree BuildQueryResult(LDAP* ld, LDAPMessage* response,
                                  const std::vector<std::string>& names, const SortOrder& order,
                                  const CodePage& cp) {
  auto tree = std::make_shared<ResultTree>();
  for (const std::string& name : names) tree->columns.push_back(ResultColumn{name, {}, {}});
  if (tree->columns.empty()) return tree;
  std::vector<bool> is_dn;
  for (const ResultColumn& c : tree->columns) is_dn.push_back(EqualsNoCase(c.name, "dn", cp));
  for (LDAPMessage* e = Ldap().first_entry(ld, response); e; e = Ldap().next_entry(ld, e)) {
    for (size_t i = 0; i < tree->columns.size(); ++i) {
      if (is_dn[i]) {
        AppendDnCell(ld, e, tree.get(), &tree->columns[i]);
      } else {
        AppendValuesCell(ld, e, tree.get(), &tree->columns[i]);
      }
    }
  }
  OrderRows(tree.get(), order, cp);
  return tree;
}

size_t FindSortPosition(const std::vector<std::string_view>& placed_keys, std::string_view key,
                        bool ascending, bool case_sensitive, const CodePage& cp) {
  const RowOrder order{ascending, case_sensitive, &cp};
  // The placed keys are in order, so the walk's stopping point is an upper bound.
  const auto it = std::upper_bound(
      placed_keys.begin(), placed_keys.end(), key,
      [&](std::string_view k, std::string_view placed) { return order.Before(k, placed); });
  return static_cast<size_t>(it - placed_keys.begin());
}

}  // namespace quillon
