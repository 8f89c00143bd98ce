// Implementation details: the table's 8-bit strings are the component's UTF-8 text. The
// library's ANSI functions would convert them through the process's code page, turning
// every character it lacks into '?' and, for names read back, into look-alikes (best fit).
// So the system table is bound to the wide functions, with UTF-8 converted to UTF-16 on
// the way in and back on the way out. Strings the adapter hands out (DNs, attribute
// names) are its own copies, freed by its memfree; the library's own are freed at once.
#include "session/ldap_library.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "module/ansi_text.h"

namespace quillon {

namespace {

// A UTF-8 argument as the wide call wants it; null stays null.
class WideArg {
 public:
  explicit WideArg(const char* text) : null_(text == nullptr) {
    if (text) wide_ = TextToWide(text);
  }
  PWCHAR Get() { return null_ ? nullptr : wide_.data(); }

 private:
  bool null_;
  std::wstring wide_;
};

// A null-terminated array of UTF-8 strings (attribute names, text values) as wide strings.
class WideList {
 public:
  explicit WideList(PCHAR* list) : null_(list == nullptr) {
    for (PCHAR* p = list; p && *p; ++p) texts_.push_back(TextToWide(*p));
    for (std::wstring& t : texts_) pointers_.push_back(t.data());
    pointers_.push_back(nullptr);
  }
  PWCHAR* Get() { return null_ ? nullptr : pointers_.data(); }

 private:
  bool null_;
  std::vector<std::wstring> texts_;
  std::vector<PWCHAR> pointers_;
};

// Controls (their identifiers are ASCII, their values bytes) for the wide calls.
class WideControls {
 public:
  explicit WideControls(PLDAPControlA* controls) : null_(controls == nullptr) {
    for (PLDAPControlA* c = controls; c && *c; ++c) {
      oids_.push_back(TextToWide((*c)->ldctl_oid ? (*c)->ldctl_oid : ""));
      controls_.push_back(LDAPControlW{nullptr, (*c)->ldctl_value, (*c)->ldctl_iscritical});
    }
    for (size_t i = 0; i < controls_.size(); ++i) {
      controls_[i].ldctl_oid = oids_[i].data();
      pointers_.push_back(&controls_[i]);
    }
    pointers_.push_back(nullptr);
  }
  PLDAPControlW* Get() { return null_ ? nullptr : pointers_.data(); }

 private:
  bool null_;
  std::vector<std::wstring> oids_;
  std::vector<LDAPControlW> controls_;
  std::vector<PLDAPControlW> pointers_;
};

// A modification list for the wide add and modify: names and text values converted,
// binary values passed as they are.
class WideMods {
 public:
  explicit WideMods(LDAPModA* mods[]) {
    size_t n = 0;
    while (mods && mods[n]) ++n;
    types_.reserve(n);
    values_.reserve(n);
    mods_.reserve(n);
    for (size_t i = 0; i < n; ++i) {
      const LDAPModA& m = *mods[i];
      types_.emplace_back(m.mod_type ? m.mod_type : "");
      LDAPModW w{m.mod_op, types_.back().Get(), {}};
      if (m.mod_op & LDAP_MOD_BVALUES) {
        w.mod_vals.modv_bvals = m.mod_vals.modv_bvals;
      } else {
        values_.emplace_back(m.mod_vals.modv_strvals);
        w.mod_vals.modv_strvals = values_.back().Get();
      }
      mods_.push_back(w);
    }
    for (LDAPModW& m : mods_) pointers_.push_back(&m);
    pointers_.push_back(nullptr);
  }
  LDAPModW** Get() { return pointers_.data(); }

 private:
  std::vector<WideArg> types_;
  std::vector<WideList> values_;
  std::vector<LDAPModW> mods_;
  std::vector<LDAPModW*> pointers_;
};

// The library's wide string as a UTF-8 copy of the adapter's (freed by MemFree), the
// library's own freed at once.
PCHAR TakeText(PWCHAR wide) {
  if (!wide) return nullptr;
  const std::string text = ToText(static_cast<const wchar_t*>(wide));
  ldap_memfreeW(wide);
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

LDAP* LDAPAPI Open(const PCHAR host, ULONG port) {
  return ldap_openW(WideArg(host).Get(), port);
}
LDAP* LDAPAPI Init(const PCHAR host, ULONG port) {
  return ldap_initW(WideArg(host).Get(), port);
}
LDAP* LDAPAPI SslInit(PCHAR host, ULONG port, int secure) {
  return ldap_sslinitW(WideArg(host).Get(), port, secure);
}
ULONG LDAPAPI StartTls(LDAP* ld, PULONG server_rc, LDAPMessage** result,
                       PLDAPControlA* server_controls, PLDAPControlA* client_controls) {
  return ldap_start_tls_sW(ld, server_rc, result, WideControls(server_controls).Get(),
                           WideControls(client_controls).Get());
}
ULONG LDAPAPI SimpleBindS(LDAP* ld, PCHAR dn, PCHAR password) {
  return ldap_simple_bind_sW(ld, WideArg(dn).Get(), WideArg(password).Get());
}
ULONG LDAPAPI SimpleBind(LDAP* ld, PCHAR dn, PCHAR password) {
  return ldap_simple_bindW(ld, WideArg(dn).Get(), WideArg(password).Get());
}
ULONG LDAPAPI DeleteS(LDAP* ld, const PCHAR dn) {
  return ldap_delete_sW(ld, WideArg(dn).Get());
}
ULONG LDAPAPI AddS(LDAP* ld, PCHAR dn, LDAPModA* mods[]) {
  return ldap_add_sW(ld, WideArg(dn).Get(), WideMods(mods).Get());
}
ULONG LDAPAPI ModifyS(LDAP* ld, PCHAR dn, LDAPModA* mods[]) {
  return ldap_modify_sW(ld, WideArg(dn).Get(), WideMods(mods).Get());
}
ULONG LDAPAPI ModRdn2S(LDAP* ld, const PCHAR dn, const PCHAR new_rdn, INT delete_old_rdn) {
  return ldap_modrdn2_sW(ld, WideArg(dn).Get(), WideArg(new_rdn).Get(), delete_old_rdn);
}
ULONG LDAPAPI SearchS(LDAP* ld, const PCHAR base, ULONG scope, const PCHAR filter, PCHAR attrs[],
                      ULONG attrs_only, LDAPMessage** response) {
  return ldap_search_sW(ld, WideArg(base).Get(), scope, WideArg(filter).Get(),
                        WideList(attrs).Get(), attrs_only, response);
}
ULONG LDAPAPI SearchSt(LDAP* ld, const PCHAR base, ULONG scope, const PCHAR filter,
                       PCHAR attrs[], ULONG attrs_only, l_timeval* timeout,
                       LDAPMessage** response) {
  return ldap_search_stW(ld, WideArg(base).Get(), scope, WideArg(filter).Get(),
                         WideList(attrs).Get(), attrs_only, timeout, response);
}
ULONG LDAPAPI SearchExtS(LDAP* ld, const PCHAR base, ULONG scope, const PCHAR filter,
                         PCHAR attrs[], ULONG attrs_only, PLDAPControlA* server_controls,
                         PLDAPControlA* client_controls, l_timeval* timeout, ULONG size_limit,
                         LDAPMessage** response) {
  return ldap_search_ext_sW(ld, WideArg(base).Get(), scope, WideArg(filter).Get(),
                            WideList(attrs).Get(), attrs_only, WideControls(server_controls).Get(),
                            WideControls(client_controls).Get(), timeout, size_limit, response);
}
PCHAR LDAPAPI GetDn(LDAP* ld, LDAPMessage* entry) {
  return TakeText(ldap_get_dnW(ld, entry));
}
PCHAR LDAPAPI FirstAttribute(LDAP* ld, LDAPMessage* entry, BerElement** state) {
  return TakeText(ldap_first_attributeW(ld, entry, state));
}
PCHAR LDAPAPI NextAttribute(LDAP* ld, LDAPMessage* entry, BerElement* state) {
  return TakeText(ldap_next_attributeW(ld, entry, state));
}
berval** LDAPAPI GetValuesLen(LDAP* ld, LDAPMessage* entry, const PCHAR name) {
  return ldap_get_values_lenW(ld, entry, WideArg(name).Get());
}
ULONG LDAPAPI RenameExtS(LDAP* ld, const PCHAR dn, const PCHAR new_rdn, const PCHAR new_parent,
                         INT delete_old_rdn, PLDAPControlA* server_controls,
                         PLDAPControlA* client_controls) {
  return ldap_rename_ext_sW(ld, WideArg(dn).Get(), WideArg(new_rdn).Get(),
                            WideArg(new_parent).Get(), delete_old_rdn,
                            WideControls(server_controls).Get(), WideControls(client_controls).Get());
}
void LDAPAPI MemFree(PCHAR block) {
  std::free(block);
}

const LdapLibrary kSystemLibrary = {
    Open,
    Init,
    SslInit,
    StartTls,
    ldap_set_option,
    SimpleBindS,
    SimpleBind,
    ldap_result,
    ldap_result2error,
    ldap_abandon,
    LdapGetLastError,
    ldap_unbind,
    ldap_err2stringW,
    DeleteS,
    AddS,
    ModifyS,
    ModRdn2S,
    SearchS,
    SearchSt,
    SearchExtS,
    ldap_count_entries,
    ldap_first_entry,
    ldap_next_entry,
    GetDn,
    FirstAttribute,
    NextAttribute,
    ber_free,
    GetValuesLen,
    ldap_value_free_len,
    MemFree,
    ldap_msgfree,
    ldap_create_page_controlA,
    ldap_parse_resultA,
    ldap_parse_page_controlA,
    ldap_control_freeA,
    ldap_controls_freeA,
    ber_bvfree,
    RenameExtS,
};

const LdapLibrary* g_library = &kSystemLibrary;

}  // namespace

const LdapLibrary& Ldap() {
  return *g_library;
}

void UseLdapLibrary(const LdapLibrary* library) {
  g_library = library ? library : &kSystemLibrary;
}

const LdapLibrary& SystemLdapLibrary() {
  return kSystemLibrary;
}

}  // namespace quillon
