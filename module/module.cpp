#include "module/module.h"

#include "module/dispatch.h"

namespace quillon {

namespace {

// Constant-initialized: no code runs to make it (checked by the compiler).
__constinit Module g_module;

}  // namespace

Module& Module::Instance() {
  return g_module;
}

void Module::Init(HINSTANCE instance, ClassEntry* classes, size_t class_count, const GUID* libid) {
  instance_ = instance;
  classes_ = classes;
  class_count_ = class_count;
  libid_ = libid;
  if (!lock_ready_) {
    InitializeCriticalSection(&class_object_lock_);
    lock_ready_ = true;
  }
}

void Module::Term() {
  for (size_t i = 0; i < class_count_; ++i) {
    if (IUnknown* object = classes_[i].class_object) {
      classes_[i].class_object = nullptr;
      object->Release();
    }
  }
  TypeInfoCache::ReleaseAll();
  if (lock_ready_) {
    DeleteCriticalSection(&class_object_lock_);
    lock_ready_ = false;
  }
}

std::wstring Module::FilePath() const {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(instance_, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

HRESULT Module::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (size_t i = 0; i < class_count_; ++i) {
    ClassEntry& entry = classes_[i];
    if (!IsEqualCLSID(clsid, *entry.clsid)) continue;
    // The object is published with a full barrier, so a thread that sees it outside the
    // lock sees it whole; concurrent first requests end with one object.
    auto* slot = reinterpret_cast<void* volatile*>(&entry.class_object);
    IUnknown* object =
        static_cast<IUnknown*>(InterlockedCompareExchangePointer(slot, nullptr, nullptr));
    if (!object) {
      EnterCriticalSection(&class_object_lock_);
      HRESULT hr = S_OK;
      object = entry.class_object;
      if (!object) {
        hr = entry.create_class_object(entry.create_instance, &object);
        if (SUCCEEDED(hr)) InterlockedExchangePointer(slot, object);
      }
      LeaveCriticalSection(&class_object_lock_);
      if (FAILED(hr)) return hr;
    }
    return object->QueryInterface(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace quillon
