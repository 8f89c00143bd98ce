#include "odd_ldap.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "alloc_faults.h"

namespace quillon::fuzz {

namespace {

OddLdap* g_odd = nullptr;

// Every entry point allocates as the real library does: never through a failure the
// harness arms for the component.
#define LIBRARY_CALL NoAllocationFaults library_call_guard

struct Response {
  std::vector<OddEntry> entries;
};
struct Entry {
  const Response* response;
  size_t index;
};
struct BerState {
  size_t next = 0;
};

// An entry handle is a heap Entry owned by its response's list of handles.
struct ResponseBox {
  Response response;
  std::vector<std::unique_ptr<Entry>> handles;
};

ResponseBox* Box(LDAPMessage* m) {
  return reinterpret_cast<ResponseBox*>(m);
}
Entry* EntryOf(LDAPMessage* m) {
  return reinterpret_cast<Entry*>(m);
}

LDAPMessage* Handle(ResponseBox* box, size_t index) {
  if (index >= box->response.entries.size()) return nullptr;
  box->handles.push_back(std::make_unique<Entry>(Entry{&box->response, index}));
  return reinterpret_cast<LDAPMessage*>(box->handles.back().get());
}

// Entry handles must find their box: each Response is the first member of its box.
ResponseBox* BoxOf(const Entry* e) {
  return reinterpret_cast<ResponseBox*>(const_cast<Response*>(e->response));
}

PCHAR Copy(const std::string& text) {
  ++g_odd->outstanding;
  char* copy = new char[text.size() + 1];
  memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

LDAP* LDAPAPI Open(const PCHAR, ULONG) {
  LIBRARY_CALL;
  if (g_odd->behaviour.open_fails) {
    SetLastError(g_odd->behaviour.open_error);
    return nullptr;
  }
  ++g_odd->outstanding;
  ++g_odd->opens;
  return new LDAP{};
}
LDAP* LDAPAPI Init(const PCHAR host, ULONG port) {
  return Open(host, port);
}
LDAP* LDAPAPI SslInit(PCHAR host, ULONG port, int) {
  return Open(host, port);
}
ULONG LDAPAPI StartTls(LDAP*, PULONG server_rc, LDAPMessage** result, PLDAPControlA*,
                       PLDAPControlA*) {
  *server_rc = 0;
  *result = nullptr;
  return g_odd->behaviour.start_tls_rc;
}

// Page controls and cookies are counted like everything else the library hands out.
LDAPControlA* NewControl() {
  ++g_odd->outstanding;
  return new LDAPControlA{};
}
ULONG LDAPAPI ControlFree(LDAPControlA* control) {
  if (!control) return 0;
  --g_odd->outstanding;
  delete control;
  return 0;
}
ULONG LDAPAPI ControlsFree(LDAPControlA** controls) {
  if (!controls) return 0;
  --g_odd->outstanding;
  for (LDAPControlA** c = controls; *c; ++c) ControlFree(*c);
  delete[] controls;
  return 0;
}
ULONG LDAPAPI CreatePageControl(LDAP*, ULONG, berval*, UCHAR, PLDAPControlA* control) {
  LIBRARY_CALL;
  *control = NewControl();
  return 0;
}
ULONG LDAPAPI ParseResult(LDAP*, LDAPMessage*, ULONG* rc, PCHAR*, PCHAR*, PCHAR**,
                          PLDAPControlA** controls, BOOLEAN) {
  LIBRARY_CALL;
  *rc = 0;
  *controls = nullptr;
  if (g_odd->behaviour.no_page_control) return 0;
  ++g_odd->outstanding;
  *controls = new PLDAPControlA[2]{NewControl(), nullptr};
  return 0;
}
ULONG LDAPAPI ParsePageControl(LDAP*, PLDAPControlA*, ULONG* estimate, berval** cookie) {
  LIBRARY_CALL;
  *estimate = 0;
  ++g_odd->outstanding;
  const bool more = g_odd->behaviour.pages_left-- > 0;
  *cookie = new berval{more ? 1u : 0u, const_cast<PCHAR>("x")};
  return 0;
}
void LDAPAPI BvFree(berval* value) {
  if (!value) return;
  --g_odd->outstanding;
  delete value;
}

ULONG LDAPAPI SetOption(LDAP*, int, const void*) {
  return 0;
}
ULONG LDAPAPI BindS(LDAP*, PCHAR, PCHAR) {
  return g_odd->behaviour.bind_rc;
}
ULONG LDAPAPI Bind(LDAP*, PCHAR, PCHAR) {
  return g_odd->behaviour.bind_send_fails ? static_cast<ULONG>(-1) : 1;
}
ULONG LDAPAPI Result(LDAP*, ULONG, ULONG, l_timeval*, LDAPMessage** response) {
  LIBRARY_CALL;
  *response = nullptr;
  const OddBehaviour& b = g_odd->behaviour;
  if (b.bind_wait == 0 || b.bind_wait == static_cast<ULONG>(-1)) return b.bind_wait;
  if (!b.bind_no_response) {
    ++g_odd->outstanding;
    *response = reinterpret_cast<LDAPMessage*>(new ResponseBox{});
  }
  return b.bind_wait;
}
ULONG LDAPAPI Result2Error(LDAP*, LDAPMessage*, ULONG) {
  return g_odd->behaviour.bind_rc;
}
ULONG LDAPAPI Abandon(LDAP*, ULONG) {
  return 0;
}
ULONG LDAPAPI LastError() {
  return g_odd->behaviour.last_error;
}
ULONG LDAPAPI Unbind(LDAP* ld) {
  LIBRARY_CALL;
  --g_odd->outstanding;
  delete ld;
  return 0;
}

PWCHAR LDAPAPI Err2String(ULONG code) {
  static wchar_t empty[] = L"";
  static wchar_t one[] = L"x";
  static std::wstring long_text(64 * 1024, L'e');
  switch (g_odd->behaviour.err_text) {
    case 1:
      return nullptr;
    case 2:
      return empty;
    case 3:
      return one;
    case 4:
      return long_text.data();
    default:
      return SystemLdapLibrary().err2string(code);
  }
}

ULONG LDAPAPI Request(LDAP*, const PCHAR) {
  ++g_odd->requests;
  return g_odd->behaviour.request_rc;
}
ULONG LDAPAPI Change(LDAP*, PCHAR dn, LDAPModA* mods[]) {
  // Reads every byte the request hands over, as a library encoding it would. A removal of
  // every value of an attribute has no value array at all.
  volatile unsigned sum = 0;
  for (const char* c = dn; *c; ++c) sum += static_cast<unsigned char>(*c);
  for (LDAPModA** m = mods; *m; ++m) {
    for (const char* c = (*m)->mod_type; *c; ++c) sum += static_cast<unsigned char>(*c);
    if ((*m)->mod_op & LDAP_MOD_BVALUES) {
      for (berval** v = (*m)->mod_vals.modv_bvals; v && *v; ++v) {
        for (ULONG i = 0; i < (*v)->bv_len; ++i) sum += static_cast<unsigned char>((*v)->bv_val[i]);
      }
    } else {
      for (PCHAR* v = (*m)->mod_vals.modv_strvals; v && *v; ++v) {
        for (const char* c = *v; *c; ++c) sum += static_cast<unsigned char>(*c);
      }
    }
  }
  ++g_odd->requests;
  return g_odd->behaviour.request_rc;
}
ULONG LDAPAPI Rename(LDAP*, const PCHAR, const PCHAR, INT) {
  ++g_odd->requests;
  return g_odd->behaviour.request_rc;
}

ULONG LDAPAPI RenameExt(LDAP* ld, const PCHAR dn, const PCHAR new_rdn, const PCHAR, INT delete_old,
                        PLDAPControlA*, PLDAPControlA*) {
  return Rename(ld, dn, new_rdn, delete_old);
}

ULONG LDAPAPI SearchExtS(LDAP*, const PCHAR base, ULONG, const PCHAR filter, PCHAR attrs[], ULONG,
                         PLDAPControlA*, PLDAPControlA*, l_timeval*, ULONG,
                         LDAPMessage** response) {
  LIBRARY_CALL;
  volatile size_t sum = strlen(base) + strlen(filter);
  for (PCHAR* a = attrs; a && *a; ++a) sum += strlen(*a);
  ++g_odd->requests;
  *response = nullptr;
  const OddBehaviour& b = g_odd->behaviour;
  if (b.search_no_response) return b.search_rc;
  auto* box = new ResponseBox{};
  box->response.entries = b.entries;
  ++g_odd->outstanding;
  *response = reinterpret_cast<LDAPMessage*>(box);
  return b.search_rc;
}

ULONG LDAPAPI CountEntries(LDAP*, LDAPMessage* response) {
  const size_t n = Box(response)->response.entries.size();
  switch (g_odd->behaviour.count_answer) {
    case 1:
      return static_cast<ULONG>(-1);
    case 2:
      return 0;
    case 3:
      return static_cast<ULONG>(n + 1);
    default:
      return static_cast<ULONG>(n);
  }
}

LDAPMessage* LDAPAPI FirstEntry(LDAP*, LDAPMessage* response) {
  LIBRARY_CALL;
  return Handle(Box(response), 0);
}

LDAPMessage* LDAPAPI NextEntry(LDAP*, LDAPMessage* entry) {
  LIBRARY_CALL;
  const Entry* e = EntryOf(entry);
  return Handle(BoxOf(e), e->index + 1);
}

const OddEntry& EntryData(LDAPMessage* entry) {
  const Entry* e = EntryOf(entry);
  return e->response->entries[e->index];
}

PCHAR LDAPAPI GetDn(LDAP*, LDAPMessage* entry) {
  LIBRARY_CALL;
  const OddEntry& e = EntryData(entry);
  return e.has_dn ? Copy(e.dn) : nullptr;
}

PCHAR NameAt(LDAPMessage* entry, BerElement* state) {
  auto* s = reinterpret_cast<BerState*>(state);
  const auto& attributes = EntryData(entry).attributes;
  return s->next < attributes.size() ? Copy(attributes[s->next++].name) : nullptr;
}

PCHAR LDAPAPI FirstAttribute(LDAP*, LDAPMessage* entry, BerElement** state) {
  LIBRARY_CALL;
  if (g_odd->behaviour.first_attribute_null_state) {
    *state = nullptr;
    return nullptr;
  }
  ++g_odd->outstanding;
  *state = reinterpret_cast<BerElement*>(new BerState);
  return NameAt(entry, *state);
}

PCHAR LDAPAPI NextAttribute(LDAP*, LDAPMessage* entry, BerElement* state) {
  LIBRARY_CALL;
  if (!state) return nullptr;
  return NameAt(entry, state);
}

void LDAPAPI BerFree(BerElement* state, INT) {
  LIBRARY_CALL;
  if (!state) return;
  --g_odd->outstanding;
  delete reinterpret_cast<BerState*>(state);
}

berval** LDAPAPI GetValuesLen(LDAP*, LDAPMessage* entry, const PCHAR name) {
  LIBRARY_CALL;
  for (const auto& attribute : EntryData(entry).attributes) {
    if (_stricmp(attribute.name.c_str(), name) != 0) continue;
    if (!attribute.has_values) return nullptr;
    ++g_odd->outstanding;
    auto** array = new berval*[attribute.values.size() + 1];
    for (size_t i = 0; i < attribute.values.size(); ++i) {
      const std::string& v = attribute.values[i];
      array[i] = new berval{static_cast<ULONG>(v.size()), const_cast<PCHAR>(v.data())};
    }
    array[attribute.values.size()] = nullptr;
    return array;
  }
  return nullptr;
}

ULONG LDAPAPI ValueFreeLen(berval** values) {
  LIBRARY_CALL;
  if (!values) return 0;
  --g_odd->outstanding;
  for (berval** v = values; *v; ++v) delete *v;
  delete[] values;
  return 0;
}

void LDAPAPI MemFree(PCHAR text) {
  LIBRARY_CALL;
  if (!text) return;
  --g_odd->outstanding;
  delete[] text;
}

ULONG LDAPAPI MsgFree(LDAPMessage* response) {
  LIBRARY_CALL;
  if (!response) return 0;
  --g_odd->outstanding;
  delete Box(response);
  return 0;
}

LdapLibrary MakeTable() {
  LdapLibrary t = SystemLdapLibrary();
  t.open = Open;
  t.set_option = SetOption;
  t.simple_bind_s = BindS;
  t.simple_bind = Bind;
  t.result = Result;
  t.result2error = Result2Error;
  t.abandon = Abandon;
  t.get_last_error = LastError;
  t.unbind = Unbind;
  t.err2string = Err2String;
  t.delete_s = Request;
  t.add_s = Change;
  t.modify_s = Change;
  t.modrdn2_s = Rename;
  t.rename_ext_s = RenameExt;
  t.search_s = nullptr;  // the component must not use the calls without limits
  t.search_st = nullptr;
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
  t.init = Init;
  t.sslinit = SslInit;
  t.start_tls_s = StartTls;
  t.create_page_control = CreatePageControl;
  t.parse_result = ParseResult;
  t.parse_page_control = ParsePageControl;
  t.control_free = ControlFree;
  t.controls_free = ControlsFree;
  t.bvfree = BvFree;
  return t;
}

const LdapLibrary kTable = MakeTable();

// Result codes a library or a server can answer, and some no one should.
ULONG RandomCode(Rng& rng) {
  static const ULONG kCodes[] = {
      0,         0,  0,  0,  1,  3,  4,  32,   49,   50,   53,
      68,        80, 81, 85, 87, 89, 90, 0x5a, 0x61, 1000, static_cast<ULONG>(-1),
      0x7FFFFFFF};
  return kCodes[rng.Below(sizeof(kCodes) / sizeof(kCodes[0]))];
}

std::string AttributeName(Rng& rng) {
  static const char* const kNames[] = {"cn", "CN", "sn", "mail",  "objectClass",
                                       "dn", "a1", "a7", "photo", "userCertificate;binary",
                                       ""};
  if (rng.OneIn(12)) return RandomBytes(rng, 40);
  if (rng.OneIn(200)) return std::string(64 * 1024, 'n');
  return kNames[rng.Below(sizeof(kNames) / sizeof(kNames[0]))];
}

// A value; a huge one only while the response's byte budget lasts.
std::string Value(Rng& rng, size_t* budget) {
  static const std::string kHuge = [] {
    std::string v(1u << 20, 'v');
    v[1000] = '\0';
    v.back() = '\x81';
    return v;
  }();
  std::string value;
  switch (rng.Below(10)) {
    case 0:
      break;
    case 1:
      if (rng.OneIn(20) && *budget >= kHuge.size()) {
        value = kHuge;
      } else {
        value.assign(rng.Below(5000), ' ');
      }
      break;
    case 2:
      value.assign("  a\0b ", 6);
      break;
    default:
      value = RandomBytes(rng, 24);
      break;
  }
  *budget -= std::min(*budget, value.size());
  return value;
}

}  // namespace

OddLdap::OddLdap() {
  g_odd = this;
  UseLdapLibrary(&kTable);
}

OddLdap::~OddLdap() {
  UseLdapLibrary(nullptr);
  g_odd = nullptr;
}

void OddLdap::Randomize(Rng& rng, bool lean) {
  OddBehaviour b;
  b.open_fails = rng.OneIn(20);
  static const DWORD kErrors[] = {0, ERROR_NOT_ENOUGH_MEMORY, ERROR_FILE_NOT_FOUND, 0x12345678,
                                  WSAECONNREFUSED};
  b.open_error = kErrors[rng.Below(5)];
  b.bind_rc = rng.OneIn(10) ? RandomCode(rng) : 0;
  b.start_tls_rc = rng.OneIn(10) ? RandomCode(rng) : 0;
  b.pages_left = static_cast<int>(rng.Below(4));
  b.no_page_control = rng.OneIn(5);
  b.bind_send_fails = rng.OneIn(20);
  static const ULONG kWaits[] = {LDAP_RES_BIND, LDAP_RES_BIND, LDAP_RES_BIND, 0,
                                 static_cast<ULONG>(-1)};
  b.bind_wait = kWaits[rng.Below(5)];
  b.bind_no_response = rng.OneIn(10);
  b.last_error = RandomCode(rng);
  b.err_text = rng.OneIn(4) ? static_cast<int>(rng.Below(5)) : 0;
  b.request_rc = rng.OneIn(4) ? RandomCode(rng) : 0;
  b.search_rc = rng.OneIn(5) ? RandomCode(rng) : 0;
  b.search_no_response = rng.OneIn(15);
  b.count_answer = rng.OneIn(5) ? static_cast<int>(rng.Below(4)) : 0;
  b.first_attribute_null_state = rng.OneIn(30);
  uint32_t entries = rng.Below(6);
  if (rng.OneIn(10)) entries = rng.Below(300);
  if (rng.OneIn(400)) entries = 3000;
  if (lean) entries %= 40;
  // Many columns come in few entries: every column looks its name up in every entry.
  const bool many_columns = rng.OneIn(30);
  if (many_columns) entries = 1 + rng.Below(3);
  size_t budget = lean ? 0 : 3u << 20;
  for (uint32_t i = 0; i < entries; ++i) {
    OddEntry e;
    e.has_dn = !rng.OneIn(10);
    e.dn = rng.OneIn(5) ? RandomBytes(rng, 60) : "cn=e" + std::to_string(i) + ",dc=example";
    uint32_t attributes = rng.Below(5);
    if (many_columns) attributes = 500;
    for (uint32_t a = 0; a < attributes; ++a) {
      OddEntry::Attribute attribute;
      attribute.name = many_columns ? "c" + std::to_string(a) : AttributeName(rng);
      attribute.has_values = !rng.OneIn(10);
      const uint32_t values = rng.OneIn(20) && !many_columns ? rng.Below(200) : rng.Below(4);
      for (uint32_t v = 0; v < values; ++v) attribute.values.push_back(Value(rng, &budget));
      e.attributes.push_back(std::move(attribute));
    }
    b.entries.push_back(std::move(e));
  }
  behaviour = std::move(b);
}

}  // namespace quillon::fuzz
