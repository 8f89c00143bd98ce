// Owners of what the LDAP library hands out; each gives it back through the library
// table with the matching free call, on every path.
#pragma once

#include <utility>

#include "session/ldap_library.h"

namespace quillon {

template <class T, void (*Free)(T*)>
class LdapOwner {
 public:
  LdapOwner() = default;
  explicit LdapOwner(T* adopted) : p_(adopted) {}
  LdapOwner(const LdapOwner&) = delete;
  LdapOwner& operator=(const LdapOwner&) = delete;
  LdapOwner(LdapOwner&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  LdapOwner& operator=(LdapOwner&& other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~LdapOwner() { Reset(); }

  T* Get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** Put() {
    Reset();
    return &p_;
  }
  void Reset(T* p = nullptr) {
    if (T* old = std::exchange(p_, p)) Free(old);
  }

 private:
  T* p_ = nullptr;
};

namespace ldap_free {
inline void Session(LDAP* ld) {
  Ldap().unbind(ld);
}
inline void Response(LDAPMessage* m) {
  Ldap().msgfree(m);
}
inline void Values(berval** v) {
  Ldap().value_free_len(v);
}
inline void Text(char* t) {
  Ldap().memfree(t);
}
inline void Ber(BerElement* b) {
  Ldap().ber_free(b, 0);
}
inline void Control(LDAPControlA* c) {
  Ldap().control_free(c);
}
inline void Controls(LDAPControlA** c) {
  Ldap().controls_free(c);
}
inline void Cookie(berval* b) {
  Ldap().bvfree(b);
}
}  // namespace ldap_free

using LdapSession = LdapOwner<LDAP, ldap_free::Session>;             // ldap_unbind
using LdapResponse = LdapOwner<LDAPMessage, ldap_free::Response>;    // ldap_msgfree
using LdapValues = LdapOwner<berval*, ldap_free::Values>;            // ldap_value_free_len
using LdapText = LdapOwner<char, ldap_free::Text>;                   // ldap_memfree
using LdapBerState = LdapOwner<BerElement, ldap_free::Ber>;          // ber_free
using LdapControl = LdapOwner<LDAPControlA, ldap_free::Control>;     // ldap_control_free
using LdapControls = LdapOwner<LDAPControlA*, ldap_free::Controls>;  // ldap_controls_free
using LdapCookie = LdapOwner<berval, ldap_free::Cookie>;             // ber_bvfree

}  // namespace quillon
