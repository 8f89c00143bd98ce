// Query benchmark. Prints, for a sorted and an unsorted search of N entries:
//  - memory: the LDAP library fed an in-memory response of N entries, so the
//    component's own work shows (splitting, building the tree, sorting, filling the
//    collections, a script-style walk of every value through IDispatch) against a plain
//    copy of the same bytes out of the same response;
//  - directory (with a host and port): the same search through the component against a
//    real server, against direct wldap32 calls that read the same values; then the
//    search paged (PageSize 1000) against one plain search of the same entries.
// Usage: bench_query.exe <entries> [<host> <port>]
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <psapi.h>
#include <string>
#include <vector>

#include "memory_ldap.h"
#include "module/bstr.h"
#include "module/com_ptr.h"
#include "module/quillon_app.h"
#include "module/variant.h"
#include "quillon.h"
#include "session/ldap_handles.h"
#include "session/attribute_list.h"
#include "session/ldap_object.h"

using namespace quillon;

namespace {

using Clock = std::chrono::steady_clock;
// How the last component search divided: the Query call, then the walk of every value.
struct Split {
  double search, walk;
};
Split g_last_split;

const char* const kColumns[] = {"cn", "sn", "mail", "telephoneNumber"};

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Property or method read through IDispatch, as a script engine does it.
HRESULT Read(IDispatch* object, const wchar_t* name, VARIANT* out, LONG index = 0) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  if (FAILED(hr)) return hr;
  VARIANT arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = index;
  DISPPARAMS params{index ? &arg : nullptr, nullptr, index ? 1u : 0u, 0};
  return object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, out,
                        nullptr, nullptr);
}

// Reads every value of every row of every column; returns the number of characters.
size_t WalkEverything(IDispatch* query) {
  size_t chars = 0;
  Variant count;
  Read(query, L"Count", count.Get());
  for (LONG c = 1; c <= V_I4(count.Get()); ++c) {
    Variant column, rows, row_count;
    Read(query, L"Item", column.Get(), c);
    Read(V_DISPATCH(column.Get()), L"ValuesList", rows.Get());
    Read(V_DISPATCH(rows.Get()), L"Count", row_count.Get());
    for (LONG r = 1; r <= V_I4(row_count.Get()); ++r) {
      Variant row, values;
      Read(V_DISPATCH(rows.Get()), L"Item", row.Get(), r);
      Read(V_DISPATCH(row.Get()), L"Value", values.Get());
      SAFEARRAY* array = V_ARRAY(values.Get());
      auto* items = static_cast<VARIANT*>(array->pvData);
      for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
        chars += SysStringLen(V_BSTR(&items[i]));
      }
    }
  }
  return chars;
}

double ComponentSearch(const char* host, int port, bool sorted, size_t* chars, LONG page_size = 0) {
  ComPtr<ILdap2> ldap;
  CLdap::CreateInstance(nullptr, IID_ILdap2, ldap.PutVoid());
  ldap->put_PageSize(page_size);
  ldap->put_ServerName(Bstr(std::wstring(host, host + strlen(host)).c_str()).Get());
  ldap->put_Port(port);
  ldap->DN(Bstr(L"dc").Get(), Bstr(L"com").Get());
  ldap->DN(Bstr(L"dc").Get(), Bstr(L"example").Get());
  ldap->DN(Bstr(L"ou").Get(), Bstr(L"Bench").Get());
  ldap->put_Attributes(Bstr(L"cn;sn;mail;telephoneNumber").Get());
  if (sorted) ldap->put_Sort(Bstr(L"sn").Get());
  const auto start = Clock::now();
  Variant result;
  ldap->Query(result.Get());
  if (!V_DISPATCH(result.Get())) {
    fprintf(stderr, "search failed\n");
    exit(1);
  }
  const double search = Seconds(start);
  const auto walk_start = Clock::now();
  *chars = WalkEverything(V_DISPATCH(result.Get()));
  g_last_split = {search, Seconds(walk_start)};
  return Seconds(start);
}

// The same search read straight through the library table: values copied, nothing more.
double DirectSearch(const char* host, int port, size_t* bytes) {
  const auto start = Clock::now();
  LdapSession ld(quillon::Ldap().open(const_cast<PCHAR>(host), static_cast<ULONG>(port)));
  quillon::Ldap().simple_bind_s(ld.Get(), nullptr, nullptr);
  PCHAR attrs[] = {const_cast<PCHAR>("cn"), const_cast<PCHAR>("sn"), const_cast<PCHAR>("mail"),
                   const_cast<PCHAR>("telephoneNumber"), nullptr};
  LdapResponse response;
  quillon::Ldap().search_ext_s(ld.Get(), const_cast<PCHAR>("ou=Bench,dc=example,dc=com"), 1,
                               const_cast<PCHAR>("(objectclass=*)"), attrs, 0, nullptr, nullptr,
                               nullptr, 0, response.Put());
  std::vector<std::string> copies;
  for (LDAPMessage* e = quillon::Ldap().first_entry(ld.Get(), response.Get()); e;
       e = quillon::Ldap().next_entry(ld.Get(), e)) {
    for (const char* name : kColumns) {
      LdapValues values(quillon::Ldap().get_values_len(ld.Get(), e, const_cast<PCHAR>(name)));
      for (berval** v = values.Get(); v && *v; ++v) {
        copies.emplace_back((*v)->bv_val, (*v)->bv_len);
        *bytes += (*v)->bv_len;
      }
    }
  }
  return Seconds(start);
}

void Report(const char* what, size_t entries, bool sorted, double component, double direct) {
  printf(
      "%-9s %7zu entries %-8s component %8.3f s (query %.3f, walk %.3f)   direct %8.3f s   "
      "ratio %6.2f\n",
      what, entries, sorted ? "sorted" : "unsorted", component, g_last_split.search,
      g_last_split.walk, direct, component / direct);
}

std::vector<test::MemoryEntry> MakeEntries(size_t n) {
  std::vector<test::MemoryEntry> entries;
  entries.reserve(n);
  srand(42);
  for (size_t i = 0; i < n; ++i) {
    const std::string sn = "Name" + std::to_string(rand() % (n + 1));
    entries.push_back({"cn=Person " + std::to_string(i) + ",ou=Bench,dc=example,dc=com",
                       {{"cn", {"Person " + std::to_string(i)}},
                        {"sn", {sn}},
                        {"mail", {"person" + std::to_string(i) + "@example.com"}},
                        {"telephoneNumber", {"+1 555 " + std::to_string(100000 + i)}}}});
  }
  return entries;
}

}  // namespace

size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PagefileUsage;
}

// Memory a search's result holds above what the process held before it, while the page
// still has it: the component's tree, collections and the row objects of one walked
// column, against the direct client's copies of the same values ("memory N").
int MemoryMode(size_t n) {
  test::MemoryLdap memory;
  memory.entries = MakeEntries(n);
  const size_t before = PrivateBytes();
  size_t component = 0;
  {
    ComPtr<ILdap> ldap;
    CLdap::CreateInstance(nullptr, IID_ILdap, ldap.PutVoid());
    ldap->put_ServerName(Bstr(L"memory").Get());
    ldap->DN(Bstr(L"ou").Get(), Bstr(L"Bench").Get());
    ldap->put_Attributes(Bstr(L"cn;sn;mail;telephoneNumber").Get());
    ldap->put_Sort(Bstr(L"sn").Get());
    Variant result, column, rows;
    ldap->Query(result.Get());
    Read(V_DISPATCH(result.Get()), L"Item", column.Get(), 1);
    Read(V_DISPATCH(column.Get()), L"ValuesList", rows.Get());
    component = PrivateBytes() - before;
  }
  const size_t between = PrivateBytes();
  std::vector<std::string> copies;
  {
    LdapSession ld(quillon::Ldap().open(const_cast<PCHAR>("memory"), 389));
    PCHAR attrs[] = {const_cast<PCHAR>("cn"), const_cast<PCHAR>("sn"), const_cast<PCHAR>("mail"),
                     const_cast<PCHAR>("telephoneNumber"), nullptr};
    LdapResponse response;
    quillon::Ldap().search_ext_s(ld.Get(), const_cast<PCHAR>("ou=Bench"), 1,
                                 const_cast<PCHAR>("(objectclass=*)"), attrs, 0, nullptr, nullptr,
                                 nullptr, 0, response.Put());
    for (LDAPMessage* e = quillon::Ldap().first_entry(ld.Get(), response.Get()); e;
         e = quillon::Ldap().next_entry(ld.Get(), e)) {
      for (const char* name : kColumns) {
        LdapValues values(quillon::Ldap().get_values_len(ld.Get(), e, const_cast<PCHAR>(name)));
        for (berval** v = values.Get(); v && *v; ++v)
          copies.emplace_back((*v)->bv_val, (*v)->bv_len);
      }
    }
  }
  const size_t direct = PrivateBytes() - between;
  printf("memory    %7zu entries held: component %6.1f MiB   direct %6.1f MiB   ratio %5.2f\n", n,
         component / 1048576.0, direct / 1048576.0, double(component) / double(direct));
  return 0;
}

// Splitting an attribute list of about 1 MB as a page might pass it from a form: short
// names, escaped separators and binary options, and one run with every name equal to the
// sort name ("split").
int SplitMode() {
  std::string plain, escaped, sorted;
  for (size_t i = 0; plain.size() < (1u << 20); ++i) plain += "a" + std::to_string(i % 10) + ";";
  while (escaped.size() < (1u << 20)) escaped += "a\\;b;cn;binary;";
  while (sorted.size() < (1u << 20)) sorted += "mail;";
  const CodePage cp(932);
  for (const auto& [what, text] : {std::pair<const char*, const std::string&>{"names", plain},
                                   {"escapes", escaped},
                                   {"sort names", sorted}}) {
    double best = 1e9;
    size_t count = 0;
    for (int run = 0; run < 3; ++run) {
      std::vector<std::string> names;
      const auto start = Clock::now();
      count = static_cast<size_t>(SplitAttributeList(text, ';', "mail", &names, cp));
      best = std::min(best, Seconds(start));
    }
    printf("split     %7zu bytes  %-10s %7zu names  %8.1f ms\n", text.size(), what, count,
           best * 1000);
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 2 && strcmp(argv[1], "split") == 0) return SplitMode();
  if (argc >= 3 && strcmp(argv[1], "memory") == 0) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    theApp.InitInstance(GetModuleHandleW(nullptr));
    return MemoryMode(strtoul(argv[2], nullptr, 10));
  }
  if (argc < 2) {
    fprintf(stderr, "usage: %s <entries> [<host> <port>]\n", argv[0]);
    return 2;
  }
  const size_t n = strtoul(argv[1], nullptr, 10);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  theApp.InitInstance(GetModuleHandleW(nullptr));
  size_t chars = 0, bytes = 0;
  {
    test::MemoryLdap memory;
    memory.entries = MakeEntries(n);
    // In memory a run is short and the machine may be busy: the best of five counts.
    for (bool sorted : {false, true}) {
      double component = 1e9, direct = 1e9;
      Split best{};
      for (int run = 0; run < 5; ++run) {
        const double c = ComponentSearch("memory", 389, sorted, &chars);
        if (c < component) {
          component = c;
          best = g_last_split;
        }
        direct = std::min(direct, DirectSearch("memory", 389, &bytes));
      }
      g_last_split = best;
      Report("memory", n, sorted, component, direct);
    }
  }
  if (argc >= 4) {
    const int port = atoi(argv[3]);
    for (bool sorted : {false, true}) {
      const double component = ComponentSearch(argv[2], port, sorted, &chars);
      const double direct = DirectSearch(argv[2], port, &bytes);
      Report("directory", n, sorted, component, direct);
    }
    // Paged against one plain search of the same entries, best of three each: the
    // server and the network dominate, and the machine may be busy.
    constexpr LONG kPage = 1000;
    for (bool sorted : {false, true}) {
      double plain = 1e9, paged = 1e9;
      for (int run = 0; run < 3; ++run) {
        plain = std::min(plain, ComponentSearch(argv[2], port, sorted, &chars));
        paged = std::min(paged, ComponentSearch(argv[2], port, sorted, &chars, kPage));
      }
      printf(
          "directory %zu entries %s: paged (%ld a page) %.2f s, one plain search %.2f s "
          "(%+.1f%%)\n",
          n, sorted ? "sorted" : "unsorted", static_cast<long>(kPage), paged, plain,
          100.0 * (paged - plain) / plain);
    }
  }
  theApp.ExitInstance();
  CoUninitialize();
  return 0;
}
