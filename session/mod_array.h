// The modification array of one Add or Modify request, built from the staged list: one
// LDAPMod per staged record, in staged order, then a null pointer. A removal without
// values has no value array (every value of the attribute goes). The array, the names
// and the value-pointer arrays belong to the ModArray and go with it; the values
// themselves stay in the staged buffers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "module/ansi_text.h"
#include "session/ldap_fields.h"
#include "session/ldap_library.h"

namespace quillon {

class ModArray {
 public:
  ModArray() = default;
  ModArray(const ModArray&) = delete;
  ModArray& operator=(const ModArray&) = delete;
  ModArray(ModArray&&) = default;
  ModArray& operator=(ModArray&&) = default;

  // The null-terminated array the library takes.
  LDAPModA** Get() { return pointers_.data(); }
  size_t Size() const { return records_.size(); }

 private:
  friend ModArray BuildModArray(std::vector<StagedAttribute>& staged, OperationCode code,
                                const CodePage& cp);
  struct Record {
    std::string type;
    std::vector<PCHAR> texts;
    std::vector<berval> bervals;
    std::vector<berval*> berval_pointers;
    LDAPModA mod{};
  };
  std::vector<std::unique_ptr<Record>> records_;
  std::vector<LDAPModA*> pointers_{nullptr};
};

// The record's mode is set by its first declared size: below 0 text, otherwise binary.
bool IsSentAsText(const StagedAttribute& record);

// mod_op for a record: Add always adds; Modify removes a removal's values, adds when the
// record's add flag is set and replaces otherwise; binary records carry LDAP_MOD_BVALUES.
ULONG ModOperation(OperationCode code, bool binary, long add_flag, bool remove = false);

// Text values are trimmed in place in their staged buffers (hence the non-const list).
// Binary values are sent with their own declared size, 0 when negative, and never more
// bytes than their buffer holds.
ModArray BuildModArray(std::vector<StagedAttribute>& staged, OperationCode code,
                       const CodePage& cp);

}  // namespace quillon
