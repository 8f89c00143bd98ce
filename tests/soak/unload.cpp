// A host that unloads idle components, as a web server does: each cycle creates
// Quillon.Ldap through the registry, sets and reads text properties through IDispatch,
// runs an operation as a page would (given a directory's port: in turn a Query with Port
// unset, which reads the policy store for the default; one over "ldaps", which connects on
// a thread of its own; and a bind with a wrong password against the directory), releases
// the object and asks COM to free unused libraries at once. The DLL must really
// go (GetModuleHandle finds it no more) and must take everything it made with it: after
// a warm-up, the free thread-local-storage slots, the private bytes and the handle count
// stay flat. A DLL that loses one slot per cycle ends the process after about a thousand
// cycles, when the slots run out.
//
// The host keeps the system's LDAP library loaded, as a web server whose other components
// use the directory does: Wine's wldap32 alone loses about 160 bytes of private memory
// per load and unload of its own (a plain LoadLibrary/FreeLibrary loop shows it), which
// would blur the component's figure, and its loading takes most of a cycle's time.
//
// Usage: unload.exe [cycles, default 5000] [file holding the directory's port]
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "process_probe.h"

namespace {

// A quarter of a MiB over 5,000 cycles: a loss of 60 bytes a cycle shows (a critical
// section that is never deleted loses about 100 under Wine).
constexpr long long kMemoryLimit = 256 << 10;
constexpr long kHandleLimit = 10;
constexpr wchar_t kModuleName[] = L"Quillon.DLL";

// Slots still free, counted by taking them all and giving them back.
int FreeTlsSlots() {
  std::vector<DWORD> taken;
  for (DWORD slot; (slot = TlsAlloc()) != TLS_OUT_OF_INDEXES;) taken.push_back(slot);
  for (DWORD slot : taken) TlsFree(slot);
  return static_cast<int>(taken.size());
}

struct Sample {
  soak::ProcessSample process;
  int free_slots = 0;
};

Sample Take() {
  return {soak::SampleProcess(), FreeTlsSlots()};
}

void Print(const char* label, long cycle, double seconds, const Sample& s, const Sample& base) {
  printf(
      "%-8s cycle %5ld %6.1f s  private %8.1f KiB (%+7.1f)  free TLS slots %4d (%+d)  "
      "handles %3lu (%+ld)\n",
      label, cycle, seconds, s.process.private_bytes / 1024.0,
      (static_cast<long long>(s.process.private_bytes) -
       static_cast<long long>(base.process.private_bytes)) /
          1024.0,
      s.free_slots, s.free_slots - base.free_slots, s.process.handles,
      static_cast<long>(s.process.handles) - static_cast<long>(base.process.handles));
  fflush(stdout);
}

// One call through IDispatch by name, as a script makes it; the result's text, if any.
HRESULT CallByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* argument,
                   std::wstring* text) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{argument, argument ? &put : nullptr, argument ? 1u : 0u, argument ? 1u : 0u};
  VARIANT result;
  VariantInit(&result);
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                      argument ? nullptr : &result, nullptr, nullptr);
  if (SUCCEEDED(hr) && text && V_VT(&result) == VT_BSTR && V_BSTR(&result)) {
    *text = V_BSTR(&result);
  }
  VariantClear(&result);
  return hr;
}

bool Put(IDispatch* object, const wchar_t* name, const wchar_t* text) {
  VARIANT value;
  VariantInit(&value);
  V_VT(&value) = VT_BSTR;
  V_BSTR(&value) = SysAllocString(text);
  const bool done = SUCCEEDED(CallByName(object, name, DISPATCH_PROPERTYPUT, &value, nullptr));
  VariantClear(&value);
  return done;
}

// ldap.DN attribute, value.
bool Dn(IDispatch* object, const wchar_t* attribute, const wchar_t* value) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"DN")};
  if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;
  VARIANT args[2];  // in reverse order
  V_VT(&args[0]) = VT_BSTR;
  V_BSTR(&args[0]) = SysAllocString(value);
  V_VT(&args[1]) = VT_BSTR;
  V_BSTR(&args[1]) = SysAllocString(attribute);
  DISPPARAMS params{args, nullptr, 2, 0};
  const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                    nullptr, nullptr, nullptr);
  VariantClear(&args[0]);
  VariantClear(&args[1]);
  return SUCCEEDED(hr);
}

// One of three operations, each of which must fail at the server or the connection;
// empty when it did.
std::string Operate(IDispatch* ldap, long cycle, const std::wstring& port) {
  bool set = Put(ldap, L"ServerName", L"127.0.0.1") && Dn(ldap, L"dc", L"com");
  switch (cycle % 3) {
    case 0:  // Port unset: the default comes from the policy store; nothing listens on it
      break;
    case 1:  // a closed port over TLS, on the connect thread that Timeout bounds
      set = set && Put(ldap, L"Encryption", L"ldaps") && Put(ldap, L"Port", L"1") &&
            Put(ldap, L"Timeout", L"5");
      break;
    default:  // the directory refuses the password
      set = set && Put(ldap, L"Port", port.c_str()) &&
            Put(ldap, L"UserName", L"cn=admin,dc=example,dc=com") &&
            Put(ldap, L"Password", L"wrong");
  }
  std::wstring reason;
  if (!set) return "the operation's properties could not be set";
  if (FAILED(CallByName(ldap, L"Query", DISPATCH_METHOD, nullptr, nullptr)) ||
      FAILED(CallByName(ldap, L"ErrorReason", DISPATCH_PROPERTYGET, nullptr, &reason)) ||
      reason.empty()) {
    return "an operation that must fail reported no error";
  }
  // Refused by the checks before any connection would leave the paths untried.
  if (reason.rfind(L"Please specify", 0) == 0) return "the operation never connected";
  if (cycle <= 3) printf("cycle %ld: %ls\n", cycle, reason.c_str());
  return {};
}

// Create, use text properties (and run an operation, given a port), release. Empty on
// success, else what went wrong.
std::string Cycle(const CLSID& clsid, long cycle, const std::wstring& port) {
  IDispatch* ldap = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&ldap));
  if (FAILED(hr)) return "CoCreateInstance failed";
  std::string failure;
  std::wstring reason = L"<unread>";
  if (!Put(ldap, L"ServerName", L"directory.example.com")) {
    failure = "ServerName could not be set";
  } else if (FAILED(CallByName(ldap, L"ErrorReason", DISPATCH_PROPERTYGET, nullptr, &reason)) ||
             !reason.empty()) {
    failure = "ErrorReason was not the empty text";
  } else if (!port.empty()) {
    failure = Operate(ldap, cycle, port);
  }
  ldap->Release();
  return failure;
}

// The 32-bit DLL stays once loaded: the 32-bit C++ runtime keeps a thread-local slot and
// two handles from every load. It must still take nothing more cycle after cycle.
constexpr bool kStaysLoaded = sizeof(void*) == 4;

// Frees unused libraries until the DLL is gone, for at most a second: a connect thread
// that just handed over its result still holds the DLL for its last instructions.
bool Unloaded() {
  if (kStaysLoaded) {
    CoFreeUnusedLibrariesEx(0, 0);
    return GetModuleHandleW(kModuleName) != nullptr;
  }
  for (int tries = 0; tries < 100; ++tries) {
    // A delay of 0: unload now, not after the ten minutes an idle DLL may otherwise stay.
    CoFreeUnusedLibrariesEx(0, 0);
    if (!GetModuleHandleW(kModuleName)) return true;
    Sleep(10);
  }
  return false;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const long cycles = argc > 1 ? atol(argv[1]) : 5000;
  long port_number = 0;
  if (argc > 2) std::ifstream(argv[2]) >> port_number;
  const std::wstring port = port_number > 0 ? std::to_wstring(port_number) : L"";
  if (argc > 2 && port.empty()) {
    fprintf(stderr, "no port in %s\n", argv[2]);
    return 2;
  }
  const long warm_up = std::min(100L, cycles / 10);
  if (cycles <= 0) {
    fprintf(stderr, "usage: %s [cycles]\n", argv[0]);
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const HMODULE directory_library = LoadLibraryW(L"wldap32.dll");
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"Quillon.Ldap", &clsid))) {
    fprintf(stderr, "Quillon.Ldap is not registered\n");
    return 1;
  }
  int failures = 0;
  long still_loaded = 0;
  const auto start = std::chrono::steady_clock::now();
  Sample base = Take();
  Print("start", 0, 0, base, base);
  for (long cycle = 1; cycle <= cycles; ++cycle) {
    const std::string failure = Cycle(clsid, cycle, port);
    if (!failure.empty() && ++failures <= 5) {
      printf("FAIL cycle %ld: %s\n", cycle, failure.c_str());
    }
    if (!Unloaded()) ++still_loaded;
    if (cycle == warm_up) {
      base = Take();
      Print("warm", cycle, Since(start), base, base);
    } else if (cycle % 500 == 0) {
      Print("progress", cycle, Since(start), Take(), base);
    }
  }
  const Sample last = Take();
  Print("end", cycles, Since(start), last, base);

  const long long private_growth = static_cast<long long>(last.process.private_bytes) -
                                   static_cast<long long>(base.process.private_bytes);
  const long handle_growth =
      static_cast<long>(last.process.handles) - static_cast<long>(base.process.handles);
  printf("cycles %ld; the DLL was still loaded after %ld of them\n", cycles, still_loaded);
  printf(
      "after warm-up: private memory %+.1f KiB (limit %lld KiB), TLS slots lost %d, "
      "handles %+ld (limit %ld)\n",
      private_growth / 1024.0, kMemoryLimit / 1024, base.free_slots - last.free_slots,
      handle_growth, kHandleLimit);
  auto judge = [&failures](bool failed, const char* what) {
    if (!failed) return;
    ++failures;
    printf("FAIL %s\n", what);
  };
  judge(still_loaded != 0, kStaysLoaded ? "the 32-bit DLL did not stay loaded"
                                         : "the DLL did not unload");
  judge(last.free_slots < base.free_slots, "thread-local slots were lost");
  judge(private_growth >= kMemoryLimit, "private memory grew");
  judge(handle_growth >= kHandleLimit, "the handle count grew");
  printf("%s: %d failure(s)\n", failures ? "FAILED" : "PASSED", failures);
  if (directory_library) FreeLibrary(directory_library);
  CoUninitialize();
  return failures ? 1 : 0;
}
