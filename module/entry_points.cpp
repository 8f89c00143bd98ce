// The four entry points of an in-process COM server, and DllMain.
#include <windows.h>

#include "module/com_boundary.h"
#include "module/dispatch.h"
#include "module/module.h"
#include "module/quillon_app.h"
#include "module/registration.h"

using quillon::Module;

namespace __gnu_cxx {
// The C++ runtime linked into the DLL allocates its emergency buffer for exceptions when
// the DLL loads and frees it only here; the runtime does not declare it in a header.
void __freeres() noexcept;
}  // namespace __gnu_cxx

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
#if defined(__i386__)
    // The 32-bit C++ runtime registers its unwind tables at every load through its thread
    // library, which takes a thread-local slot, an event and a thread handle for the
    // loading thread and never gives them back: a host unloading idle DLLs would run out of
    // slots after about a thousand loads. Once loaded, the 32-bit DLL therefore stays.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&DllMain), &self);
#endif
    quillon::theApp.InitInstance(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Only on FreeLibrary: at process exit other DLLs may already be gone, and the
    // memory goes with the process anyway. A host that unloads idle DLLs loads this one
    // again and again, so everything made since the load is given back.
    quillon::theApp.ExitInstance();
    __gnu_cxx::__freeres();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  return Module::Instance().GetClassObject(clsid, riid, ppv);
}

STDAPI DllCanUnloadNow() {
  if (Module::Instance().LockCount() != 0) return S_FALSE;
  // No object is left: give the cached type descriptions back here, outside DllMain. The
  // last unload may come from a connect thread's FreeLibraryAndExitThread, with the
  // loader lock held, where releasing into the automation library is not safe.
  quillon::TypeInfoCache::ReleaseAll();
  return S_OK;
}

STDAPI DllRegisterServer() {
  return quillon::GuardedMember([] {
    Module& module = Module::Instance();
    for (size_t i = 0; i < module.ClassCount(); ++i) {
      const HRESULT hr = module.Classes()[i].update_registry(true);
      if (FAILED(hr)) return hr;
    }
    return quillon::RegisterModuleTypeLibrary(module.FilePath());
  });
}

STDAPI DllUnregisterServer() {
  return quillon::GuardedMember([] {
    Module& module = Module::Instance();
    for (size_t i = 0; i < module.ClassCount(); ++i) {
      const HRESULT hr = module.Classes()[i].update_registry(false);
      if (FAILED(hr)) return hr;
    }
    return quillon::UnregisterModuleTypeLibrary(module.LibraryId());
  });
}

}  // extern "C"
