// The column-oriented result of one search: one column per attribute name, one cell per
// entry in every column (cell k of every column comes from entry k), the values of that
// attribute in that entry in the cells. The tree is immutable once built and shared: the
// Ldap object and every result object that refers into it hold a reference, so it lives
// as long as any of them.
//
// Layout: the bytes of every value live in one arena of large blocks, each value followed
// by an added zero byte; a column keeps its values in one array, and a cell is a range of
// it. A search of many entries then costs a few allocations per column, not several per
// value, and sorting moves only the small cell records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct ResultValue {
  const char* bytes;     // in the tree's arena, followed by one added zero byte
  unsigned long length;  // bytes received, without the added zero

  // The value as text: its bytes up to the first zero byte.
  std::string_view Text() const { return std::string_view(bytes); }
};

struct ResultCell {
  uint32_t first = 0;  // index of the cell's first value in its column
  uint32_t count = 0;  // 0 when the entry lacks the attribute
};

// The values of one cell.
struct CellValues {
  const ResultValue* data;
  size_t size;
  const ResultValue* begin() const { return data; }
  const ResultValue* end() const { return data + size; }
  const ResultValue& operator[](size_t i) const { return data[i]; }
};

struct ResultColumn {
  std::string name;
  std::vector<ResultValue> values;
  std::vector<ResultCell> cells;
  bool is_dn = false;  // entries' names, read from the library rather than as a value

  CellValues ValuesOf(const ResultCell& cell) const {
    return {values.data() + cell.first, cell.count};
  }
};

// Owns the bytes of every value of a tree.
class ByteArena {
 public:
  // A copy of length bytes followed by a zero byte.
  const char* Copy(const char* bytes, size_t length);

 private:
  static constexpr size_t kBlockSize = 64 * 1024;
  std::vector<std::unique_ptr<char[]>> blocks_;  // shared by small values
  std::vector<std::unique_ptr<char[]>> large_;   // one per large value
  size_t used_ = kBlockSize;  // of the last shared block; full when there is none
};

struct ResultTree {
  std::vector<ResultColumn> columns;
  ByteArena bytes;
};

using SharedResultTree = std::shared_ptr<const ResultTree>;

}  // namespace quillon
