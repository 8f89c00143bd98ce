#include "session/ldap_library.h"

namespace quillon {

namespace {

const LdapLibrary kSystemLibrary = {
    ldap_openA,
    ldap_initA,
    ldap_sslinitA,
    ldap_start_tls_sA,
    ldap_set_option,
    ldap_simple_bind_sA,
    ldap_simple_bindA,
    ldap_result,
    ldap_result2error,
    ldap_abandon,
    LdapGetLastError,
    ldap_unbind,
    ldap_err2stringA,
    ldap_delete_sA,
    ldap_add_sA,
    ldap_modify_sA,
    ldap_modrdn2_sA,
    ldap_search_sA,
    ldap_search_stA,
    ldap_search_ext_sA,
    ldap_count_entries,
    ldap_first_entry,
    ldap_next_entry,
    ldap_get_dnA,
    ldap_first_attributeA,
    ldap_next_attributeA,
    ber_free,
    ldap_get_values_lenA,
    ldap_value_free_len,
    ldap_memfreeA,
    ldap_msgfree,
    ldap_create_page_controlA,
    ldap_parse_resultA,
    ldap_parse_page_controlA,
    ldap_control_freeA,
    ldap_controls_freeA,
    ber_bvfree,
    ldap_rename_ext_sA,
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
