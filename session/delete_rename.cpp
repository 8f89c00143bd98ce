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
    // The entry stays under its parent and loses the value of its old name.
    RunOperation(f_, traits, [&new_rdn](LDAP* ld, const std::string& dn) {
      return Ldap().modrdn2_s(ld, const_cast<PCHAR>(dn.c_str()), const_cast<PCHAR>(new_rdn.c_str()),
                              1);
    });
  });
}

}  // namespace quillon
