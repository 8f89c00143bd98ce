// Calls the component the way a script engine runs a page: every member is found by
// name with GetIDsOfNames and called through Invoke with VARIANT arguments, and every
// failure is counted and described rather than ending the run, so that one long run
// reports all it saw.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace soak {

// One VARIANT owned by value (movable, unlike the component's own owner).
class Var {
 public:
  Var() { VariantInit(&v_); }
  Var(Var&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  Var& operator=(Var&& other) noexcept;
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  ~Var() { VariantClear(&v_); }

  static Var Text(const std::wstring& text);
  static Var Long(LONG value);
  static Var Bytes(const std::string& bytes);  // VT_ARRAY | VT_UI1
  // A by-reference argument pointing at target, as VBScript passes a variable.
  static Var RefTo(Var& target);

  VARIANT* Get() { return &v_; }
  const VARIANT* Get() const { return &v_; }
  VARTYPE Type() const { return V_VT(&v_); }
  IDispatch* Object() const { return V_VT(&v_) == VT_DISPATCH ? V_DISPATCH(&v_) : nullptr; }

 private:
  VARIANT v_;
};

// Failures seen by one thread; the first few are kept word for word.
class Failures {
 public:
  void Add(const std::string& what);
  int Count() const { return count_; }
  const std::vector<std::string>& First() const { return first_; }

 private:
  int count_ = 0;
  std::vector<std::string> first_;
};

std::string Narrow(const std::wstring& text);

class Host {
 public:
  explicit Host(Failures* failures) : failures_(failures) {}

  // A property read, optionally indexed (Item(index)).
  Var Get(IDispatch* object, const wchar_t* name);
  Var Get(IDispatch* object, const wchar_t* name, LONG index);
  // A method call with its arguments in the order a script writes them.
  Var Call(IDispatch* object, const wchar_t* name, std::vector<Var> args = {});
  void Put(IDispatch* object, const wchar_t* name, Var value);

  LONG GetLong(IDispatch* object, const wchar_t* name);
  std::wstring GetText(IDispatch* object, const wchar_t* name);

  Failures& Fail() { return *failures_; }

 private:
  Var Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<Var>& args);

  Failures* failures_;
};

// A search result as a page sees it, read entirely through IDispatch: the columns in
// collection order, the rows of each column, and the values and sizes of each row.
struct Row {
  std::vector<std::wstring> values;
  std::vector<LONG> sizes;
};
struct Column {
  std::wstring name;
  std::vector<Row> rows;
};
using Table = std::vector<Column>;

// Walks a Query collection: Count and Item on every level, Value and ValueSize of every
// row, and a for-each (_NewEnum, IEnumVARIANT) over the columns and over each column's
// rows that must yield the same objects as Item.
Table ReadQuery(Host& host, IDispatch* query);

}  // namespace soak
