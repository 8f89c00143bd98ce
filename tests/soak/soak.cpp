// Soak: one long run of mixed operations against the test directory, driven through
// IDispatch the way a web server's script host drives the component page after page.
// Passes when every result is right; when, after a warm-up, the memory the program owns
// (counted exactly) and its handle count stay flat; when no connection to the server
// outlives the operation that opened it; and when the module may unload once everything
// is released. The process's private bytes must stay flat too, unless a control run of
// plain library calls (no component) shows that the LDAP library itself grows them, as
// Wine's wldap32 does: then they are reported, with the library's share, and not judged.
//
// Usage: soak.exe <port file> [operations, default 10000] [connection check every N
//        operations, default 10]
#include <winsock2.h>
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "module/module.h"
#include "module/quillon_app.h"
#include "owned_memory.h"
#include "process_probe.h"
#include "quillon.h"
#include "session/ldap_handles.h"
#include "session/ldap_library.h"
#include "workload.h"

using quillon::ComPtr;

namespace {

constexpr long long kMemoryLimit = 1 << 20;
constexpr long long kOwnedLimit = 16 << 10;
constexpr long kHandleLimit = 10;
constexpr int kControlRounds = 300;

struct Sample {
  soak::ProcessSample process;
  long long owned = 0;
};

Sample Take() {
  return {soak::SampleProcess(), soak::LiveHeapBytes() + soak::ProcessHeapBytes()};
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Print(const char* label, long ops, double seconds, const Sample& s, const Sample& base) {
  printf(
      "%-9s ops %6ld %7.1f s  private %8.1f KiB (%+8.1f)  owned %9lld B (%+6lld)  "
      "handles %3lu (%+ld)\n",
      label, ops, seconds, s.process.private_bytes / 1024.0,
      (static_cast<long long>(s.process.private_bytes) -
       static_cast<long long>(base.process.private_bytes)) /
          1024.0,
      s.owned, s.owned - base.owned, s.process.handles,
      static_cast<long>(s.process.handles) - static_cast<long>(base.process.handles));
  fflush(stdout);
}

// The library's own growth: what the component asks of it in a search and a write,
// called directly. Returns the growth of private bytes per round after a warm-up.
double LibraryGrowthPerRound(int port) {
  using quillon::Ldap;
  auto session = [port] {
    quillon::LdapSession ld(Ldap().open(const_cast<PCHAR>("127.0.0.1"), port));
    if (ld) {
      Ldap().simple_bind_s(ld.Get(), const_cast<PCHAR>("cn=admin,dc=example,dc=com"),
                           const_cast<PCHAR>("secret"));
    }
    return ld;
  };
  size_t base = 0;
  for (int round = 0; round < kControlRounds; ++round) {
    if (round == kControlRounds / 5) base = soak::SampleProcess().private_bytes;
    {
      quillon::LdapSession ld = session();
      PCHAR attrs[] = {const_cast<PCHAR>("sn"), const_cast<PCHAR>("cn"), const_cast<PCHAR>("mail"),
                       nullptr};
      quillon::LdapResponse response;
      Ldap().search_ext_s(ld.Get(), const_cast<PCHAR>("ou=Small,ou=Soak,dc=example,dc=com"), 1,
                          const_cast<PCHAR>("(objectClass=*)"), attrs, 0, nullptr, nullptr, nullptr,
                          0, response.Put());
      for (LDAPMessage* e = Ldap().first_entry(ld.Get(), response.Get()); e;
           e = Ldap().next_entry(ld.Get(), e)) {
        for (PCHAR* name = attrs; *name; ++name) {
          quillon::LdapValues values(Ldap().get_values_len(ld.Get(), e, *name));
        }
      }
    }
    PCHAR dn = const_cast<PCHAR>("cn=Control,ou=Work,ou=Soak,dc=example,dc=com");
    {
      PCHAR classes[] = {const_cast<PCHAR>("person"), nullptr};
      PCHAR names[] = {const_cast<PCHAR>("Control"), nullptr};
      LDAPModA object_class{LDAP_MOD_ADD, const_cast<PCHAR>("objectClass"), {classes}};
      LDAPModA cn{LDAP_MOD_ADD, const_cast<PCHAR>("cn"), {names}};
      LDAPModA sn{LDAP_MOD_ADD, const_cast<PCHAR>("sn"), {names}};
      LDAPModA* mods[] = {&object_class, &cn, &sn, nullptr};
      Ldap().add_s(session().Get(), dn, mods);
    }
    Ldap().delete_s(session().Get(), dn);
  }
  return (static_cast<double>(soak::SampleProcess().private_bytes) - static_cast<double>(base)) /
         (kControlRounds - kControlRounds / 5);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s <port file> [operations] [check every]\n", argv[0]);
    return 2;
  }
  int port = 0;
  std::ifstream(argv[1]) >> port;
  const long total = argc > 2 ? atol(argv[2]) : 10000;
  const long check_every = std::max(1L, argc > 3 ? atol(argv[3]) : 10L);
  const long warm_up = std::min(1000L, total / 10);
  if (port <= 0 || total <= 0) {
    fprintf(stderr, "no port in %s, or no operations\n", argv[1]);
    return 2;
  }

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  quillon::theApp.InitInstance(GetModuleHandleW(nullptr));
  soak::Failures failures;

  const auto control_start = std::chrono::steady_clock::now();
  const double library_growth = LibraryGrowthPerRound(port);
  const bool library_grows = library_growth * (kControlRounds * 4 / 5) > 64 * 1024;
  printf(
      "library alone (%d rounds of a 5-entry search and an add and a delete, %.1f s): "
      "private bytes %+.0f per round\n",
      kControlRounds, Since(control_start), library_growth);

  soak::Host host(&failures);
  long connection_checks = 0, open_connections_seen = 0;
  Sample base, last;
  const auto start = std::chrono::steady_clock::now();
  double warm_up_seconds = 0;
  long operations = 0;
  {
    // The class object, as CoCreateInstance would ask for it.
    ComPtr<IClassFactory> factory;
    if (FAILED(DllGetClassObject(CLSID_Ldap, IID_IClassFactory, factory.PutVoid()))) {
      fprintf(stderr, "no class object\n");
      return 1;
    }
    soak::Worker worker(
        host,
        [&factory] {
          ComPtr<IDispatch> ldap;
          factory->CreateInstance(nullptr, IID_IDispatch, ldap.PutVoid());
          return ldap;
        },
        port, {{L"dc", L"com"}, {L"dc", L"example"}, {L"ou", L"Soak"}, {L"ou", L"Work"}}, L"S");
    auto check_connections = [&] {
      ++connection_checks;
      const int open = soak::OpenConnections(port);
      if (open != 0) {
        ++open_connections_seen;
        failures.Add(std::to_string(open) + " connection(s) open after operation " +
                     std::to_string(worker.Operations()));
      }
    };
    base = Take();
    Print("start", 0, 0, base, base);
    // Every tenth operation a small sorted search, every fiftieth a large one (half of
    // them cut short by a row limit); the rest run the entry cycle. The run ends at a
    // cycle's end, so no entry is left behind.
    while (worker.Operations() < total || !worker.BetweenCycles()) {
      const long op = worker.Operations();
      if (op % 50 == 49) {
        worker.LargeQuery(op % 100 == 49);
      } else if (op % 10 == 9) {
        worker.SmallQuery(op % 20 == 9, op % 40 < 20);
      } else {
        worker.Step();
      }
      if (worker.Operations() % check_every == 0) check_connections();
      if (worker.Operations() == warm_up) {
        base = Take();
        warm_up_seconds = Since(start);
        Print("warm", worker.Operations(), warm_up_seconds, base, base);
      } else if (worker.Operations() % 1000 == 0) {
        Print("progress", worker.Operations(), Since(start), Take(), base);
      }
    }
    check_connections();
    operations = worker.Operations();
    last = Take();
  }
  const double seconds = Since(start);
  Print("end", operations, seconds, last, base);

  const long long private_growth = static_cast<long long>(last.process.private_bytes) -
                                   static_cast<long long>(base.process.private_bytes);
  const long long owned_growth = last.owned - base.owned;
  const long handle_growth =
      static_cast<long>(last.process.handles) - static_cast<long>(base.process.handles);
  const HRESULT unload = DllCanUnloadNow();
  const LONG locks = quillon::Module::Instance().LockCount();
  printf("operations %ld in %.1f s (%.2f ms each; warm-up of %ld in %.1f s)\n", operations, seconds,
         1000 * seconds / operations, warm_up, warm_up_seconds);
  printf("after warm-up: owned memory %+lld B (limit %lld), handles %+ld (limit %ld)\n",
         owned_growth, kOwnedLimit, handle_growth, kHandleLimit);
  printf("after warm-up: private memory %+.1f KiB (limit %lld KiB)%s\n", private_growth / 1024.0,
         kMemoryLimit / 1024,
         library_grows ? ", not judged: the LDAP library alone grows it (see above)" : "");
  printf("connection checks %ld, with a connection open %ld\n", connection_checks,
         open_connections_seen);
  printf("DllCanUnloadNow %s, lock count %ld\n", unload == S_OK ? "S_OK" : "S_FALSE",
         static_cast<long>(locks));

  if (owned_growth >= kOwnedLimit) failures.Add("owned memory grew");
  if (!library_grows && private_growth >= kMemoryLimit) failures.Add("private memory grew");
  if (handle_growth >= kHandleLimit) failures.Add("handle count grew");
  if (unload != S_OK || locks != 0) failures.Add("the module cannot unload");
  for (const std::string& f : failures.First()) printf("FAIL %s\n", f.c_str());
  printf("%s: %d failure(s)\n", failures.Count() ? "FAILED" : "PASSED", failures.Count());

  quillon::theApp.ExitInstance();
  WSACleanup();
  CoUninitialize();
  return failures.Count() ? 1 : 0;
}
