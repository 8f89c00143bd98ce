// Delete and ModifyDN: one request each after the shared prologue.
#include "session/ldap_object.h"
#include "session/operation.h"

namespace quillon {

STDMETHODIMP CLdap::Delete() {
  return GuardedOperation(f_, [this] {
    RunOperation(f_, {kOpDelete, kNoDnMessage}, [](LDAP* ld, const std::string& dn) {
      return Ldap().delete_s(ld, const_cast<PCHAR>(dn.c_str()));
    });
  });
}

STDMETHODIMP CLdap::ModifyDN() {
  const OperationTraits traits{kOpModifyDN, kNoDnMessage, [](const LdapFields& f) {
                                 return f.new_rdn.empty() ? "Please specify valid value for new RDN"
                                                          : static_cast<const char*>(nullptr);
                               }};
  return GuardedOperation(f_, [this, &traits] {
    const std::string new_rdn = f_.new_rdn;
    const std::string new_parent = f_.new_parent;
    // Unless KeepOldRDN says otherwise, the entry loses the value of its old name; without
    // NewParent it stays under its parent, through the same call as before NewParent.
    const INT delete_old = f_.keep_old_rdn != 0 ? 0 : 1;
    RunOperation(f_, traits, [&](LDAP* ld, const std::string& dn) {
      const PCHAR name = const_cast<PCHAR>(dn.c_str());
      const PCHAR rdn = const_cast<PCHAR>(new_rdn.c_str());
      if (new_parent.empty()) return Ldap().modrdn2_s(ld, name, rdn, delete_old);
      return Ldap().rename_ext_s(ld, name, rdn, const_cast<PCHAR>(new_parent.c_str()), delete_old,
                                 nullptr, nullptr);
    });
  });
}

}  // namespace quillon
