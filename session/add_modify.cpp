// Add and Modify send the staged attributes after the shared prologue; AttributeAdd and
// AttributeModify stage them. Whatever happens, an Add or a Modify leaves nothing staged,
// so values never outlive the call that was meant to send them.
#include "module/com_boundary.h"
#include "session/ldap_object.h"
#include "session/mod_array.h"
#include "session/operation.h"
#include "session/staging.h"

namespace quillon {

namespace {

constexpr char kNothingStagedMessage[] = "Please specify atleast necessary Attributes";
constexpr char kRemovalInAddMessage[] =
    "Please specify values to remove (AttributeDelete) for Modify only, not for Add";

const char* SomethingStaged(const LdapFields& f) {
  return f.staged_attributes.empty() ? kNothingStagedMessage : nullptr;
}

// A new entry has no values to remove: a removal staged for Add is a page's mistake, not
// something to drop silently.
const char* OnlyValuesToAdd(const LdapFields& f) {
  if (const char* refusal = SomethingStaged(f)) return refusal;
  for (const StagedAttribute& a : f.staged_attributes) {
    if (a.remove) return kRemovalInAddMessage;
  }
  return nullptr;
}

void SendStaged(LdapFields& f, OperationCode code) {
  struct ClearOnExit {
    LdapFields& f;
    ~ClearOnExit() { ClearStagedAttributes(f); }
  } clear{f};
  RunOperation(f, {code, kNoDnMessage, code == kOpAdd ? OnlyValuesToAdd : SomethingStaged},
               [&f, code](LDAP* ld, const std::string& dn) {
                 ModArray mods = BuildModArray(f.staged_attributes, code, TextCodePage());
                 const PCHAR name = const_cast<PCHAR>(dn.c_str());
                 return code == kOpAdd ? Ldap().add_s(ld, name, mods.Get())
                                       : Ldap().modify_s(ld, name, mods.Get());
               });
}

}  // namespace

STDMETHODIMP CLdap::Add() {
  return GuardedOperation(f_, [this] { SendStaged(f_, kOpAdd); });
}

STDMETHODIMP CLdap::Modify() {
  return GuardedOperation(f_, [this] { SendStaged(f_, kOpModify); });
}

// A value that cannot be staged (a number, Empty, an object without a default value, a
// byte array that cannot be read) is dropped and the call still succeeds: staging never
// reports anything, and a page learns of a missing value from the Add or Modify.
// Memory that runs out while a value is staged leaves the staged list as it was and
// answers E_OUTOFMEMORY.
STDMETHODIMP CLdap::AttributeAdd(BSTR name, VARIANT value, LONG size) {
  return GuardedMember([&] {
    StageValue(f_, StagingMethod::kAttributeAdd, name, value, size, 0);
    return S_OK;
  });
}

STDMETHODIMP CLdap::AttributeModify(BSTR name, VARIANT value, LONG size, LONG add) {
  return GuardedMember([&] {
    StageValue(f_, StagingMethod::kAttributeModify, name, value, size, add);
    return S_OK;
  });
}

// Without a value every value of the attribute goes; a value (text, or binary with a size,
// as AttributeModify takes it) removes that one value.
STDMETHODIMP CLdap::AttributeDelete(BSTR name, VARIANT value, LONG size) {
  return GuardedMember([&] {
    if (IsMissingArgument(value)) {
      StageRemoval(f_, name);
    } else {
      StageValue(f_, StagingMethod::kAttributeDelete, name, value, size, 0);
    }
    return S_OK;
  });
}

}  // namespace quillon
