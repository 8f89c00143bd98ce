#include "results/result_builder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "results/row_placement.h"
#include "session/ldap_handles.h"

namespace quillon {

namespace {

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

template <class Each>
void ForEachEntry(LDAP* ld, const Responses& responses, Each each) {
  for (LDAPMessage* response : responses) {
    for (LDAPMessage* e = Ldap().first_entry(ld, response); e; e = Ldap().next_entry(ld, e)) {
      each(e);
    }
  }
}

// Puts every column's cells in the order of rows.
void Reorder(ResultTree* tree, const std::vector<size_t>& rows) {
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
  // Each new block is owned before the list that keeps it grows: when that growth runs
  // out of memory, the block is freed with the exception instead of lost.
  if (length + 1 > kBlockSize / 4) {
    // A large value gets a block of its own, so the shared blocks stay mostly full.
    std::unique_ptr<char[]> block(new char[length + 1]);
    large_.push_back(std::move(block));
    out = large_.back().get();
  } else {
    if (used_ + length + 1 > kBlockSize) {
      std::unique_ptr<char[]> block(new char[kBlockSize]);
      blocks_.push_back(std::move(block));
      used_ = 0;
    }
    out = blocks_.back().get() + used_;
    used_ += length + 1;
  }
  if (length) memcpy(out, bytes, length);
  out[length] = '\0';
  return out;
}

void CollectAttributeNames(LDAP* ld, const Responses& responses, std::string_view sort_name,
                           std::vector<std::string>* names, const CodePage& cp) {
  ForEachEntry(ld, responses, [&](LDAPMessage* e) {
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
  });
}

SharedResultTree BuildQueryResult(LDAP* ld, const Responses& responses,
                                  const std::vector<std::string>& names, const SortOrder& order,
                                  const CodePage& cp) {
  auto tree = std::make_shared<ResultTree>();
  for (const std::string& name : names) {
    tree->columns.push_back(ResultColumn{name, {}, {}, EqualsNoCase(name, "dn", cp)});
  }
  if (tree->columns.empty()) return tree;
  ForEachEntry(ld, responses, [&](LDAPMessage* e) {
    for (size_t i = 0; i < tree->columns.size(); ++i) {
      if (tree->columns[i].is_dn) {
        AppendDnCell(ld, e, tree.get(), &tree->columns[i]);
      } else {
        AppendValuesCell(ld, e, tree.get(), &tree->columns[i]);
      }
    }
  });
  if (!order.name.empty()) {
    // Values that are not UTF-8 sort as the thread's code page reads them.
    Reorder(tree.get(),
            PlaceRows(tree->columns[0], order.ascending, order.case_sensitive, CodePage()));
  }
  return tree;
}

}  // namespace quillon
