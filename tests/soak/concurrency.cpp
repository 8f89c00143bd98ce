// Many pages at once, as a web server runs them: every thread enters its own
// single-threaded apartment, makes its own objects and works on its own entries, all
// threads at the same time. Half the threads get their objects from the registered DLL
// through CoCreateInstance, half from this program's own copy of the module through its
// class object, so both module instances see concurrent first calls.
// Passes when every result is right; when, with objects alive, both modules refuse to
// unload and, once every object is released (the apartments still up), both agree to;
// and when this program's copy loaded each interface's type description once.
//
// Usage: concurrency.exe <port file> [threads, default 8] [operations per thread, 500]
#include <winsock2.h>
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

#include "module/dispatch.h"
#include "module/module.h"
#include "module/quillon_app.h"
#include "process_probe.h"
#include "quillon.h"
#include "workload.h"

using quillon::ComPtr;

namespace {

// Interfaces whose type descriptions a script walk uses: ILdap and the four result ones.
constexpr LONG kInterfacesUsed = 5;

// Threads meet the main thread at numbered points; the main thread looks around and
// then lets them go on.
class Rendezvous {
 public:
  explicit Rendezvous(int threads) : threads_(threads) {}
  void Arrive(int point) {
    std::unique_lock<std::mutex> lock(mutex_);
    ++arrived_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_ >= point; });
  }
  void WaitForAll(int point) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return arrived_ >= threads_ * point; });
  }
  void Release(int point) {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = point;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int threads_;
  int arrived_ = 0;
  int released_ = 0;
};

enum Point { kStart = 1, kWorkDone = 2, kReleased = 3 };

struct ThreadResult {
  soak::Failures failures;
  long operations = 0;
  double seconds = 0;
};

void RunThread(int index, bool through_com, int port, long operations, Rendezvous* meet,
               ThreadResult* result) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  soak::Host host(&result->failures);
  {
    ComPtr<IClassFactory> factory;
    CLSID clsid{};
    soak::MakeLdap make;
    if (through_com) {
      if (FAILED(CLSIDFromProgID(L"Quillon.Ldap", &clsid))) result->failures.Add("no ProgID");
      make = [clsid] {
        ComPtr<IDispatch> ldap;
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, ldap.PutVoid());
        return ldap;
      };
    } else {
      make = [&factory] {
        ComPtr<IDispatch> ldap;
        if (factory) factory->CreateInstance(nullptr, IID_IDispatch, ldap.PutVoid());
        return ldap;
      };
    }
    meet->Arrive(kStart);
    // All threads leave the start together, so first uses of the class object and the
    // type descriptions race.
    if (!through_com) DllGetClassObject(CLSID_Ldap, IID_IClassFactory, factory.PutVoid());
    ComPtr<IDispatch> keeper = make();  // keeps the module busy until the first check
    soak::Worker worker(host, make, port,
                        {{L"dc", L"com"},
                         {L"dc", L"example"},
                         {L"ou", L"Threads"},
                         {L"ou", std::wstring(L"T") + std::to_wstring(index)}},
                        L"T" + std::to_wstring(index) + L"-");
    const auto start = std::chrono::steady_clock::now();
    while (worker.Operations() < operations || !worker.BetweenCycles()) {
      const long op = worker.Operations();
      if (op == operations / 2) {
        worker.LargeQuery(false);
      } else if (op % 10 == 9) {
        worker.SmallQuery(op % 20 == 9, (op + index) % 40 < 20);
      } else {
        worker.Step();
      }
    }
    result->seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result->operations = worker.Operations();
    if (!keeper) result->failures.Add("no Ldap object");
    meet->Arrive(kWorkDone);
  }
  meet->Arrive(kReleased);
  CoUninitialize();
}

// DllCanUnloadNow of the registered DLL as this process loaded it (null: not loaded).
HRESULT RegisteredDllCanUnloadNow() {
  HMODULE dll = GetModuleHandleW(L"Quillon.DLL");
  if (!dll) return E_UNEXPECTED;
  const auto can_unload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  return can_unload ? can_unload() : E_UNEXPECTED;
}

const char* Answer(HRESULT hr) {
  return hr == S_OK ? "S_OK" : hr == S_FALSE ? "S_FALSE" : "not loaded";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s <port file> [threads] [operations per thread]\n", argv[0]);
    return 2;
  }
  int port = 0;
  std::ifstream(argv[1]) >> port;
  const int thread_count = argc > 2 ? atoi(argv[2]) : 8;
  const long operations = argc > 3 ? atol(argv[3]) : 500;
  if (port <= 0 || thread_count < 2 || thread_count > 10 || operations <= 0) {
    fprintf(stderr, "need a port, 2 to 10 threads and some operations\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  quillon::theApp.InitInstance(GetModuleHandleW(nullptr));

  soak::Failures failures;
  auto check = [&failures](bool ok, const std::string& what) {
    if (!ok) failures.Add(what);
  };
  check(quillon::TypeInfoCache::LoadCount() == 0, "type descriptions loaded before the run");

  Rendezvous meet(thread_count);
  std::vector<ThreadResult> results(thread_count);
  std::vector<std::thread> threads;
  for (int i = 0; i < thread_count; ++i) {
    threads.emplace_back(RunThread, i, i % 2 == 0, port, operations, &meet, &results[i]);
  }
  meet.WaitForAll(kStart);
  const auto start = std::chrono::steady_clock::now();
  meet.Release(kStart);

  meet.WaitForAll(kWorkDone);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const HRESULT busy_own = DllCanUnloadNow();
  const HRESULT busy_dll = RegisteredDllCanUnloadNow();
  check(busy_own == S_FALSE, "this program's module would unload under live objects");
  check(busy_dll == S_FALSE, "the registered DLL would unload under live objects");
  meet.Release(kWorkDone);

  meet.WaitForAll(kReleased);
  const HRESULT idle_own = DllCanUnloadNow();
  const HRESULT idle_dll = RegisteredDllCanUnloadNow();
  const LONG locks = quillon::Module::Instance().LockCount();
  const LONG loads = quillon::TypeInfoCache::LoadCount();
  const int open = soak::OpenConnections(port);
  check(idle_own == S_OK && locks == 0, "this program's module cannot unload");
  check(idle_dll == S_OK, "the registered DLL cannot unload");
  check(loads == kInterfacesUsed, "type descriptions loaded " + std::to_string(loads) + " times");
  check(open == 0, std::to_string(open) + " connection(s) left open");
  meet.Release(kReleased);
  for (std::thread& t : threads) t.join();

  long total = 0;
  int failed = failures.Count();
  for (int i = 0; i < thread_count; ++i) {
    total += results[i].operations;
    failed += results[i].failures.Count();
    printf("thread %d (%s): %ld operations in %.1f s, %d failure(s)\n", i,
           i % 2 == 0 ? "CoCreateInstance" : "own class object", results[i].operations,
           results[i].seconds, results[i].failures.Count());
    for (const std::string& f : results[i].failures.First()) printf("  FAIL %s\n", f.c_str());
  }
  printf("%d threads, %ld operations in %.1f s (%.1f per second)\n", thread_count, total, seconds,
         total / seconds);
  printf("with objects alive: DllCanUnloadNow own %s, DLL %s\n", Answer(busy_own),
         Answer(busy_dll));
  printf("all released: DllCanUnloadNow own %s (lock count %ld), DLL %s\n", Answer(idle_own),
         static_cast<long>(locks), Answer(idle_dll));
  printf("type descriptions loaded %ld (interfaces used %ld); connections open %d\n",
         static_cast<long>(loads), static_cast<long>(kInterfacesUsed), open);
  for (const std::string& f : failures.First()) printf("FAIL %s\n", f.c_str());
  printf("%s: %d failure(s)\n", failed ? "FAILED" : "PASSED", failed);

  quillon::theApp.ExitInstance();
  WSACleanup();
  CoUninitialize();
  return failed ? 1 : 0;
}
