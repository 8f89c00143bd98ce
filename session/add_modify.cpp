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

const char* SomethingStaged(const LdapFields& f) {
  return f.staged_attributes.empty() ? kNothingStagedMessage : nullptr;
}

void SendStaged(LdapFields& f, OperationCode code) {
  struct ClearOnExit {
    LdapFields& f;
    ~ClearOnExit() { ClearStagedAttributes(f); }
  } clear{f};
  RunOperation(f, {code, kNoDnMessage, SomethingStaged},
               [&f, code](LDAP* ld, const std::string& dn) {
                 ModArray mods = BuildModArray(f.staged_attributes, code, CodePage());
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

}  // namespace quillon
