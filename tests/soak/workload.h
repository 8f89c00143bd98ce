// The operations both long-running harnesses perform, as a page script would perform
// them: a new Ldap object for every operation, its properties put, its DN built, values
// staged, one directory operation, the error state read, and every result checked.
//
// Directory layout (loaded by populate.sh):
//   ou=Small,ou=Soak  five people whose surnames sort differently with and without case
//   ou=Large,ou=Soak  kLargeEntries people, read whole and sorted
//   ou=Work,ou=Soak and ou=T<n>,ou=Threads  empty; a worker adds, changes, renames and
//                     deletes its own entries there, one entry at a time
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "module/com_ptr.h"
#include "script_host.h"

namespace soak {

inline constexpr int kLargeEntries = 300;

// A new Ldap object as IDispatch (null when it could not be made).
using MakeLdap = std::function<quillon::ComPtr<IDispatch>()>;

using DnPath = std::vector<std::pair<std::wstring, std::wstring>>;  // top of the tree first

class Worker {
 public:
  // base: where this worker's own entries live; prefix: the start of their names.
  Worker(Host& host, MakeLdap make, LONG port, DnPath base, std::wstring prefix);

  // The next step of the entry cycle: Add, Query, Modify, Query, ModifyDN, Query, Delete,
  // Query of the deleted entry (which must fail). Each is one directory operation.
  void Step();
  // True between cycles: no entry of this worker exists in the directory.
  bool BetweenCycles() const { return step_ == 0; }
  // A search of the five sorted entries, walked with Item and for-each.
  void SmallQuery(bool ascending, bool case_sensitive);
  // The whole large subtree, sorted and read value by value after the Ldap object is
  // gone; with a row limit, the search must fail with the server's size limit instead.
  void LargeQuery(bool limited);

  long Operations() const { return operations_; }

 private:
  quillon::ComPtr<IDispatch> NewPage(const DnPath& dn);
  void Expect(bool condition, const std::string& what);
  void ExpectNoError(IDispatch* ldap, const char* operation);
  std::wstring EntryName(bool renamed) const;
  DnPath EntryDn(bool renamed) const;
  Table QueryTable(IDispatch* ldap);

  Host& host_;
  MakeLdap make_;
  LONG port_;
  DnPath base_;
  std::wstring prefix_;
  long entry_ = 0;  // the entry of the cycle running
  int step_ = 0;
  long operations_ = 0;
  std::string context_;
};

}  // namespace soak
