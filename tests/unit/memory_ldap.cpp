#include "memory_ldap.h"

#include <cstring>

namespace quillon::test {

namespace {

MemoryLdap* g_memory = nullptr;

struct Response {
  std::vector<MemoryEntry> entries;  // a snapshot: entries are handed out as pointers into it
};

struct BerState {
  size_t next = 0;
};

// An entry pointer is the address of its MemoryEntry; first_entry and next_entry walk the
// response's vector, so each entry must know its response.

Response* AsResponse(LDAPMessage* m) {
  return reinterpret_cast<Response*>(m);
}
const MemoryEntry* AsEntry(LDAPMessage* m) {
  return reinterpret_cast<const MemoryEntry*>(m);
}
LDAPMessage* AsMessage(const void* p) {
  return reinterpret_cast<LDAPMessage*>(const_cast<void*>(p));
}

const Response* g_last_response = nullptr;

PCHAR Copy(const std::string& text) {
  ++g_memory->outstanding;
  char* copy = new char[text.size() + 1];
  memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

LDAP* LDAPAPI Open(const PCHAR, ULONG) {
  ++g_memory->outstanding;
  return new LDAP{};
}
ULONG LDAPAPI SetOption(LDAP*, int, const void*) {
  return 0;
}
ULONG LDAPAPI BindS(LDAP*, PCHAR, PCHAR) {
  return 0;
}
// A bind with a time limit goes through the asynchronous calls.
ULONG LDAPAPI Bind(LDAP*, PCHAR, PCHAR) {
  return 1;
}
ULONG LDAPAPI Result(LDAP*, ULONG, ULONG, l_timeval*, LDAPMessage** response) {
  ++g_memory->outstanding;
  *response = AsMessage(new Response{});
  return LDAP_RES_BIND;
}
ULONG LDAPAPI Result2Error(LDAP*, LDAPMessage*, ULONG) {
  return 0;
}

ULONG LDAPAPI Unbind(LDAP* ld) {
  --g_memory->outstanding;
  delete ld;
  return 0;
}

ULONG LDAPAPI SearchExtS(LDAP*, const PCHAR base, ULONG scope, const PCHAR filter, PCHAR attrs[],
                         ULONG, PLDAPControlA*, PLDAPControlA*, l_timeval* timeout,
                         ULONG size_limit, LDAPMessage** response) {
  MemoryLdap& m = *g_memory;
  ++m.searches;
  m.base = base;
  m.filter = filter;
  m.scope = scope;
  m.size_limit = size_limit;
  m.time_limit = timeout ? timeout->tv_sec : -1;
  m.attrs.clear();
  m.attrs_null = attrs == nullptr;
  for (PCHAR* a = attrs; a && *a; ++a) m.attrs.emplace_back(*a);
  *response = nullptr;
  if (m.no_response) return m.search_rc;
  auto* r = new Response{m.entries};
  g_last_response = r;
  ++m.outstanding;
  *response = AsMessage(r);
  return m.search_rc;
}

ULONG LDAPAPI CountEntries(LDAP*, LDAPMessage* response) {
  if (g_memory->count_fails) return static_cast<ULONG>(-1);
  return static_cast<ULONG>(AsResponse(response)->entries.size());
}

LDAPMessage* LDAPAPI FirstEntry(LDAP*, LDAPMessage* response) {
  const Response* r = AsResponse(response);
  g_last_response = r;
  return r->entries.empty() ? nullptr : AsMessage(&r->entries[0]);
}

LDAPMessage* LDAPAPI NextEntry(LDAP*, LDAPMessage* entry) {
  const auto& all = g_last_response->entries;
  const size_t i = static_cast<size_t>(AsEntry(entry) - all.data()) + 1;
  return i < all.size() ? AsMessage(&all[i]) : nullptr;
}

PCHAR LDAPAPI GetDn(LDAP*, LDAPMessage* entry) {
  return Copy(AsEntry(entry)->dn);
}

PCHAR NameAt(LDAPMessage* entry, BerElement* state) {
  auto* s = reinterpret_cast<BerState*>(state);
  const auto& attributes = AsEntry(entry)->attributes;
  return s->next < attributes.size() ? Copy(attributes[s->next++].first) : nullptr;
}

PCHAR LDAPAPI FirstAttribute(LDAP*, LDAPMessage* entry, BerElement** state) {
  ++g_memory->outstanding;
  *state = reinterpret_cast<BerElement*>(new BerState);
  return NameAt(entry, *state);
}

PCHAR LDAPAPI NextAttribute(LDAP*, LDAPMessage* entry, BerElement* state) {
  return NameAt(entry, state);
}

void LDAPAPI BerFree(BerElement* state, INT) {
  if (!state) return;
  --g_memory->outstanding;
  delete reinterpret_cast<BerState*>(state);
}

berval** LDAPAPI GetValuesLen(LDAP*, LDAPMessage* entry, const PCHAR name) {
  for (const auto& [attribute, values] : AsEntry(entry)->attributes) {
    if (_stricmp(attribute.c_str(), name) != 0) continue;
    ++g_memory->outstanding;
    auto** array = new berval*[values.size() + 1];
    for (size_t i = 0; i < values.size(); ++i) {
      array[i] =
          new berval{static_cast<ULONG>(values[i].size()), const_cast<PCHAR>(values[i].data())};
    }
    array[values.size()] = nullptr;
    return array;
  }
  return nullptr;
}

ULONG LDAPAPI ValueFreeLen(berval** values) {
  if (!values) return 0;
  --g_memory->outstanding;
  for (berval** v = values; *v; ++v) delete *v;
  delete[] values;
  return 0;
}

void LDAPAPI MemFree(PCHAR text) {
  if (!text) return;
  --g_memory->outstanding;
  delete[] text;
}

ULONG LDAPAPI MsgFree(LDAPMessage* response) {
  if (!response) return 0;
  --g_memory->outstanding;
  delete AsResponse(response);
  return 0;
}

LdapLibrary MakeTable() {
  LdapLibrary t = SystemLdapLibrary();  // err2string and the rest stay real
  t.open = Open;
  t.set_option = SetOption;
  t.simple_bind_s = BindS;
  t.simple_bind = Bind;
  t.result = Result;
  t.result2error = Result2Error;
  t.unbind = Unbind;
  t.search_ext_s = SearchExtS;
  t.count_entries = CountEntries;
  t.first_entry = FirstEntry;
  t.next_entry = NextEntry;
  t.get_dn = GetDn;
  t.first_attribute = FirstAttribute;
  t.next_attribute = NextAttribute;
  t.ber_free = BerFree;
  t.get_values_len = GetValuesLen;
  t.value_free_len = ValueFreeLen;
  t.memfree = MemFree;
  t.msgfree = MsgFree;
  return t;
}

const LdapLibrary kTable = MakeTable();

}  // namespace

MemoryLdap::MemoryLdap() {
  g_memory = this;
  UseLdapLibrary(&kTable);
}

MemoryLdap::~MemoryLdap() {
  UseLdapLibrary(nullptr);
  g_memory = nullptr;
}

}  // namespace quillon::test
