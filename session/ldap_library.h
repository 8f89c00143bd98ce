// The LDAP client library calls the component makes, as one table of function pointers.
// Its 8-bit strings are the component's UTF-8 text; by default the table is bound to
// wldap32's wide functions, which carry every character to the server and back.
// Tests install a recording table to see what no real server shows: the exact calls and
// their arguments, and that everything the library hands out is given back.
#pragma once

#include <windows.h>
// winldap.h first: winber.h uses its types.
#include <winldap.h>
#include <winber.h>

namespace quillon {

struct LdapLibrary {
  LDAP*(LDAPAPI* open)(const PCHAR host, ULONG port);
  // Sessions that do not connect yet: plain (for StartTLS) and TLS from the first byte.
  LDAP*(LDAPAPI* init)(const PCHAR host, ULONG port);
  LDAP*(LDAPAPI* sslinit)(PCHAR host, ULONG port, int secure);
  ULONG(LDAPAPI* start_tls_s)
  (LDAP* ld, PULONG server_rc, LDAPMessage** result, PLDAPControlA* server_controls,
   PLDAPControlA* client_controls);
  ULONG(LDAPAPI* set_option)(LDAP* ld, int option, const void* value);
  ULONG(LDAPAPI* simple_bind_s)(LDAP* ld, PCHAR dn, PCHAR password);
  ULONG(LDAPAPI* simple_bind)(LDAP* ld, PCHAR dn, PCHAR password);
  ULONG(LDAPAPI* result)
  (LDAP* ld, ULONG msgid, ULONG all, l_timeval* timeout, LDAPMessage** response);
  ULONG(LDAPAPI* result2error)(LDAP* ld, LDAPMessage* response, ULONG free_it);
  ULONG(LDAPAPI* abandon)(LDAP* ld, ULONG msgid);
  ULONG(LDAPAPI* get_last_error)();
  ULONG(LDAPAPI* unbind)(LDAP* ld);
  PWCHAR(LDAPAPI* err2string)(ULONG code);
  ULONG(LDAPAPI* delete_s)(LDAP* ld, const PCHAR dn);
  ULONG(LDAPAPI* add_s)(LDAP* ld, PCHAR dn, LDAPModA* mods[]);
  ULONG(LDAPAPI* modify_s)(LDAP* ld, PCHAR dn, LDAPModA* mods[]);
  ULONG(LDAPAPI* modrdn2_s)(LDAP* ld, const PCHAR dn, const PCHAR new_rdn, INT delete_old_rdn);
  ULONG(LDAPAPI* search_s)
  (LDAP* ld, const PCHAR base, ULONG scope, const PCHAR filter, PCHAR attrs[], ULONG attrs_only,
   LDAPMessage** response);
  ULONG(LDAPAPI* search_st)
  (LDAP* ld, const PCHAR base, ULONG scope, const PCHAR filter, PCHAR attrs[], ULONG attrs_only,
   l_timeval* timeout, LDAPMessage** response);
  ULONG(LDAPAPI* search_ext_s)
  (LDAP* ld, const PCHAR base, ULONG scope, const PCHAR filter, PCHAR attrs[], ULONG attrs_only,
   PLDAPControlA* server_controls, PLDAPControlA* client_controls, l_timeval* timeout,
   ULONG size_limit, LDAPMessage** response);
  ULONG(LDAPAPI* count_entries)(LDAP* ld, LDAPMessage* response);
  LDAPMessage*(LDAPAPI* first_entry)(LDAP* ld, LDAPMessage* response);
  LDAPMessage*(LDAPAPI* next_entry)(LDAP* ld, LDAPMessage* entry);
  PCHAR(LDAPAPI* get_dn)(LDAP* ld, LDAPMessage* entry);
  PCHAR(LDAPAPI* first_attribute)(LDAP* ld, LDAPMessage* entry, BerElement** state);
  PCHAR(LDAPAPI* next_attribute)(LDAP* ld, LDAPMessage* entry, BerElement* state);
  void(LDAPAPI* ber_free)(BerElement* state, INT free_buffer);
  berval**(LDAPAPI* get_values_len)(LDAP* ld, LDAPMessage* entry, const PCHAR name);
  ULONG(LDAPAPI* value_free_len)(berval** values);
  void(LDAPAPI* memfree)(PCHAR block);
  ULONG(LDAPAPI* msgfree)(LDAPMessage* response);
  // Paged results (RFC 2696).
  ULONG(LDAPAPI* create_page_control)
  (LDAP* ld, ULONG page_size, berval* cookie, UCHAR critical, PLDAPControlA* control);
  ULONG(LDAPAPI* parse_result)
  (LDAP* ld, LDAPMessage* response, ULONG* result_rc, PCHAR* matched, PCHAR* message,
   PCHAR** referrals, PLDAPControlA** server_controls, BOOLEAN free_it);
  ULONG(LDAPAPI* parse_page_control)
  (LDAP* ld, PLDAPControlA* server_controls, ULONG* estimate, berval** cookie);
  ULONG(LDAPAPI* control_free)(LDAPControlA* control);
  ULONG(LDAPAPI* controls_free)(LDAPControlA** controls);
  void(LDAPAPI* bvfree)(berval* value);
  // A rename that can also move the entry under a new parent (LDAP version 3).
  ULONG(LDAPAPI* rename_ext_s)
  (LDAP* ld, const PCHAR dn, const PCHAR new_rdn, const PCHAR new_parent, INT delete_old_rdn,
   PLDAPControlA* server_controls, PLDAPControlA* client_controls);
};

// The table in use.
const LdapLibrary& Ldap();
// Replaces the table (null: back to wldap32). For tests only.
void UseLdapLibrary(const LdapLibrary* library);
// The table bound to wldap32, for fakes that pass some calls through.
const LdapLibrary& SystemLdapLibrary();

}  // namespace quillon
