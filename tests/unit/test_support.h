// Helpers shared by the in-process tests.
#pragma once

#include <windows.h>

#include <string>

#include "module/bstr.h"
#include "module/com_ptr.h"
#include "quillon.h"
#include "session/ldap_object.h"

namespace quillon::test {

// A new Ldap object through the module's class table, as a client would get it.
inline ComPtr<ILdap> NewLdap() {
  ComPtr<ILdap> ldap;
  CLdap::CreateInstance(nullptr, IID_ILdap, ldap.PutVoid());
  return ldap;
}

// The component's state behind an ILdap pointer made by this process.
inline const LdapFields& FieldsOf(const ComPtr<ILdap>& ldap) {
  return static_cast<CLdap*>(ldap.Get())->Fields();
}

// Switches the calling thread to a locale for the life of the object.
class ScopedThreadLocale {
 public:
  explicit ScopedThreadLocale(LANGID language) : saved_(GetThreadLocale()) {
    SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
  }
  ~ScopedThreadLocale() { SetThreadLocale(saved_); }

 private:
  LCID saved_;
};

inline constexpr LANGID kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN);

}  // namespace quillon::test
