// The randomized harness: a seeded, repeatable stream of calls with bad input of every
// kind into the component, in this process, as a script host makes them.
//
//   quillon_fuzz [--seed N] [--calls N] [--work-dir PATH] [--policy] [--leak-rounds N]
//                [--standin PATH] [--lean] [--trace-memory KIB]
//
// The same seed and count repeat a run call for call. It ends with status 0 when every
// check held; a failed check prints the seed, the call number and the action under way.
// A crash or a hang (no progress for 60 s) ends the process with the same report.
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "alloc_faults.h"
#include "harness.h"
#include "module/quillon_app.h"

namespace quillon::fuzz {

namespace {

constexpr DWORD kHangSeconds = 60;

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
  void* const address = info->ExceptionRecord->ExceptionAddress;
  HMODULE module = nullptr;
  char name[MAX_PATH] = "?";
  if (GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(address), &module)) {
    GetModuleFileNameA(module, name, sizeof(name));
  }
  char what[MAX_PATH + 96];
  snprintf(what, sizeof(what), "CRASH 0x%08lx at %p (%s+0x%llx)",
           info->ExceptionRecord->ExceptionCode, address, name,
           static_cast<unsigned long long>(static_cast<char*>(address) -
                                           reinterpret_cast<char*>(module)));
  Report(what);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

void OnTerminate() {
  Report("TERMINATE (an exception nobody caught)");
  TerminateProcess(GetCurrentProcess(), 4);
}

DWORD WINAPI Watchdog(void*) {
  LONG seen = ProgressCount();
  DWORD still = 0;
  for (;;) {
    Sleep(1000);
    const LONG now = ProgressCount();
    still = now == seen ? still + 1 : 0;
    seen = now;
    if (still >= kHangSeconds) {
      Report("HANG (no progress)");
      TerminateProcess(GetCurrentProcess(), 5);
    }
  }
}

}  // namespace

// Wine leaves PrivateUsage at 0 and counts the same in PagefileUsage.
SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(GetCurrentProcess(),
                            reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof(counters))) {
    fprintf(stderr, "GetProcessMemoryInfo failed: %lu\n", GetLastError());
  }
  return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

namespace {

// The process's handle count. Wine answers 0 for it; there the slot a new handle takes
// stands in for it, as handles take the lowest free slot: leaked handles push it up.
DWORD Handles() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
  HANDLE probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  count = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(probe) / 4);
  CloseHandle(probe);
  return count;
}

void CheckHeap(const char* when) {
  if (!HeapValidate(GetProcessHeap(), 0, nullptr)) Fail("process heap corrupt %s", when);
}

bool ParseArguments(int argc, char** argv, RunSettings* s, bool* policy) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--seed" && has_value) {
      s->seed = strtoull(argv[++i], nullptr, 0);
    } else if (a == "--calls" && has_value) {
      s->calls = strtoull(argv[++i], nullptr, 0);
    } else if (a == "--work-dir" && has_value) {
      s->work_dir = argv[++i];
    } else if (a == "--leak-rounds" && has_value) {
      s->leak_rounds = static_cast<unsigned>(strtoul(argv[++i], nullptr, 0));
    } else if (a == "--standin" && has_value) {
      s->standin_dir = argv[++i];
    } else if (a == "--trace-memory" && has_value) {
      s->trace_memory_kib = strtol(argv[++i], nullptr, 0);
    } else if (a == "--lean") {
      s->lean = true;
    } else if (a == "--policy") {
      *policy = true;
    } else {
      fprintf(stderr,
              "usage: quillon_fuzz [--seed N] [--calls N] [--work-dir PATH] [--policy] "
              "[--leak-rounds N] [--standin PATH] [--lean] [--trace-memory KIB]\n");
      return false;
    }
  }
  if (s->work_dir.empty()) {
    char dir[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, dir);
    s->work_dir = std::string(dir) + "\\fuzz-work";
  }
  return true;
}

// The session run: the random stream, then rounds that replay one stretch of it from a
// fresh start, so that memory and handles can be compared round for round.
void RunSession(const RunSettings& settings) {
  Rng rng(settings.seed);
  const uint64_t made = RunSessionCalls(rng, 0, settings.calls, settings);
  CheckSessionQuiet();
  CheckHeap("after the random stream");

  // Memory of the component's own objects (operator new) must come back to the same
  // value round after round; private bytes also count the platform's strings and arrays.
  SIZE_T first_bytes = 0;
  SIZE_T previous_bytes = 0;
  unsigned rising_rounds = 0;  // rounds after the warm-up whose private bytes grew
  DWORD first_handles = 0;
  long long first_heap = 0;
  uint64_t first_refusals = 0;
  RunSettings rounds = settings;
  rounds.plain_invoke = true;
  for (unsigned round = 0; round < settings.leak_rounds; ++round) {
    Rng replay(settings.seed ^ 0x5EED5EEDull);
    RunSessionCalls(replay, made, settings.leak_round_calls, rounds);
    CheckSessionQuiet();
    const SIZE_T bytes = PrivateBytes();
    const DWORD handles = Handles();
    const long long heap = LiveAllocatedBytes();
    printf("round %u: private bytes %zu KiB, handles %lu, C++ heap %lld bytes\n", round,
           static_cast<size_t>(bytes / 1024), handles, heap);
    if (round > 1 && bytes > previous_bytes) ++rising_rounds;
    previous_bytes = bytes;
    // The first two rounds warm up: heap arenas, type descriptions, the stand-in's statics.
    if (round == 1) {
      first_bytes = bytes;
      first_handles = handles;
      first_heap = heap;
      first_refusals = DispatcherRefusals();
    }
    if (round + 1 == settings.leak_rounds && round > 1) {
      const long growth = static_cast<long>((static_cast<long long>(bytes) - first_bytes) / 1024);
      printf("growth over rounds 1..%u: %ld KiB private, %lld bytes C++ heap, %ld handles\n", round,
             growth, heap - first_heap,
             static_cast<long>(handles) - static_cast<long>(first_handles));
      if (heap != first_heap) Fail("the C++ heap grew by %lld bytes", heap - first_heap);
      if (handles > first_handles + 10)
        Fail("handles grew from %lu to %lu", first_handles, handles);
      const uint64_t refusals = DispatcherRefusals() - first_refusals;
      // The exact measures above are judged strictly. Private bytes also move with the load
      // of other processes on Wine's server (2.7 MiB once over five rounds, with heap and
      // handles unchanged): a leak shows as growth in every round, noise does not.
      const bool every_round_grew = rising_rounds + 2 == settings.leak_rounds;
      if (refusals == 0) {
        if (growth > settings.max_growth_kib && every_round_grew) {
          Fail("private bytes grew by %ld KiB, in every round", growth);
        } else if (growth > settings.max_growth_kib) {
          printf("private bytes grew by %ld KiB, but not in every round: noise, not judged\n",
                 growth);
        }
      } else {
        printf(
            "private bytes not judged: the platform's dispatcher refused %llu calls in these "
            "rounds and kept their argument copies\n",
            static_cast<unsigned long long>(refusals));
      }
    }
  }
  CheckHeap("at the end");
}

}  // namespace

}  // namespace quillon::fuzz

int main(int argc, char** argv) {
  using namespace quillon::fuzz;
  RunSettings settings;
  bool policy = false;
  if (!ParseArguments(argc, argv, &settings, &policy)) return 2;
  SetSeed(settings.seed);
  // QUILLON_FUZZ_DEBUGGER=1 leaves crashes to Wine's debugger, for a backtrace.
  if (!GetEnvironmentVariableA("QUILLON_FUZZ_DEBUGGER", nullptr, 0)) {
    SetUnhandledExceptionFilter(OnCrash);
  }
  std::set_terminate(OnTerminate);
  CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  quillon::theApp.InitInstance(GetModuleHandleW(nullptr));
  const DWORD start = GetTickCount();
  if (policy) {
    Rng rng(settings.seed);
    RunPolicyCalls(rng, settings.calls, settings);
  } else {
    RunSession(settings);
  }
  const uint64_t calls = CallsMade();
  quillon::theApp.ExitInstance();
  CoUninitialize();
  printf("%s run: seed %llu, %llu calls in %.1f s, %d failed checks\n",
         policy ? "policy" : "session", static_cast<unsigned long long>(settings.seed),
         static_cast<unsigned long long>(calls), (GetTickCount() - start) / 1000.0, Failures());
  return Failures() == 0 ? 0 : 1;
}
