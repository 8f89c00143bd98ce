// The column-oriented result of one search: one column per attribute name, one cell per
// entry in every column (cell k of every column comes from entry k), the values of that
// attribute in that entry in the cells. The tree is immutable once built and shared: the
// Ldap object and every result object that refers into it hold a reference, so it lives
// as long as any of them.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct ResultValue {
  std::unique_ptr<char[]> bytes;  // a private copy followed by one added zero byte
  unsigned long length = 0;       // bytes received, without the added zero

  // The value as text: its bytes up to the first zero byte.
  std::string_view Text() const { return std::string_view(bytes.get()); }
};

struct ResultCell {
  std::vector<ResultValue> values;  // empty when the entry lacks the attribute
};

struct ResultColumn {
  std::string name;
  std::vector<ResultCell> cells;
};

struct ResultTree {
  std::vector<ResultColumn> columns;
};

using SharedResultTree = std::shared_ptr<const ResultTree>;

}  // namespace quillon
