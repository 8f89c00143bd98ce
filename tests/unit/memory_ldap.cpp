#include "memory_ldap.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace quillon::test {

namespace {

MemoryLdap* g_memory = nullptr;

struct Response {
  std::vector<MemoryEntry> entries;  // a snapshot: entries are handed out as pointers into it
  bool paged = false;                // answers a page control
  std::string cookie;                // where the next page starts; empty after the last
};

// A page control's value here is "<page size>:<cookie>", the cookie being the index of
// the page's first entry as text.
constexpr char kPageOid[] = "1.2.840.113556.1.4.319";

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
                         ULONG, PLDAPControlA* server_controls, PLDAPControlA*, l_timeval* timeout,
                         ULONG size_limit, LDAPMessage** response) {
  MemoryLdap& m = *g_memory;
  ++m.searches;
  if (m.search_delay_ms) Sleep(m.search_delay_ms);
  m.base = base;
  m.filter = filter;
  m.scope = scope;
  m.size_limit = size_limit;
  m.time_limit = timeout ? timeout->tv_sec : -1;
  m.attrs.clear();
  m.attrs_null = attrs == nullptr;
  for (PCHAR* a = attrs; a && *a; ++a) m.attrs.emplace_back(*a);
  m.time_limits.push_back(m.time_limit);
  *response = nullptr;
  if (m.no_response) return m.search_rc;
  auto* r = new Response{m.entries, false, {}};
  for (PLDAPControlA* c = server_controls; c && *c; ++c) {
    if (strcmp((*c)->ldctl_oid, kPageOid) != 0) continue;
    const std::string value((*c)->ldctl_value.bv_val, (*c)->ldctl_value.bv_len);
    const size_t size = std::stoul(value), colon = value.find(':');
    m.page_sizes.push_back(static_cast<ULONG>(size));
    if (!m.paging) break;
    const size_t from = colon + 1 < value.size() ? std::stoul(value.substr(colon + 1)) : 0;
    const size_t to = std::min(from + size, m.entries.size());
    r->entries.assign(m.entries.begin() + from, m.entries.begin() + to);
    r->paged = true;
    if (to < m.entries.size()) r->cookie = std::to_string(to);
  }
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

LDAPControlA* NewControl(const std::string& value, bool critical) {
  ++g_memory->outstanding;
  return new LDAPControlA{const_cast<PCHAR>(kPageOid),
                          {static_cast<ULONG>(value.size()), Copy(value)},
                          static_cast<BOOLEAN>(critical)};
}

ULONG LDAPAPI ControlFree(LDAPControlA* control) {
  if (!control) return 0;
  --g_memory->outstanding;
  MemFree(control->ldctl_value.bv_val);
  delete control;
  return 0;
}

ULONG LDAPAPI ControlsFree(LDAPControlA** controls) {
  if (!controls) return 0;
  --g_memory->outstanding;
  for (LDAPControlA** c = controls; *c; ++c) ControlFree(*c);
  delete[] controls;
  return 0;
}

ULONG LDAPAPI CreatePageControl(LDAP*, ULONG size, berval* cookie, UCHAR critical,
                                PLDAPControlA* control) {
  g_memory->critical = critical != 0;
  const std::string from = cookie ? std::string(cookie->bv_val, cookie->bv_len) : "";
  *control = NewControl(std::to_string(size) + ":" + from, critical);
  return 0;
}

ULONG LDAPAPI ParseResult(LDAP*, LDAPMessage* response, ULONG* rc, PCHAR*, PCHAR*, PCHAR**,
                          PLDAPControlA** controls, BOOLEAN) {
  *rc = 0;
  *controls = nullptr;
  const Response* r = AsResponse(response);
  if (!r->paged) return 0;
  ++g_memory->outstanding;
  *controls = new PLDAPControlA[2]{NewControl("0:" + r->cookie, false), nullptr};
  return 0;
}

ULONG LDAPAPI ParsePageControl(LDAP*, PLDAPControlA* controls, ULONG* estimate, berval** cookie) {
  *estimate = 0;
  *cookie = nullptr;
  for (PLDAPControlA* c = controls; c && *c; ++c) {
    const std::string value((*c)->ldctl_value.bv_val, (*c)->ldctl_value.bv_len);
    ++g_memory->outstanding;
    const std::string text = value.substr(value.find(':') + 1);
    *cookie = new berval{static_cast<ULONG>(text.size()), Copy(text)};
    return 0;
  }
  return LDAP_CONTROL_NOT_FOUND;
}

void LDAPAPI BvFree(berval* value) {
  if (!value) return;
  --g_memory->outstanding;
  MemFree(value->bv_val);
  delete value;
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
  t.create_page_control = CreatePageControl;
  t.parse_result = ParseResult;
  t.parse_page_control = ParsePageControl;
  t.control_free = ControlFree;
  t.controls_free = ControlsFree;
  t.bvfree = BvFree;
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
