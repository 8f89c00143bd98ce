// The module record: instance handle, the table of creatable classes, the type library
// identity and the lock count that decides when the DLL may unload.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <string>

namespace quillon {

struct ClassEntry {
  const CLSID* clsid;
  HRESULT (*update_registry)(bool register_entries);
  HRESULT(*create_class_object)
  (HRESULT (*create_instance)(IUnknown*, REFIID, void**), IUnknown** out);
  HRESULT (*create_instance)(IUnknown* outer, REFIID riid, void** ppv);
  IUnknown* class_object;  // made on first request, released by Term
};

// One constant-initialized record per module: nothing runs to make it, so DllMain never
// reaches the C++ runtime's guard for local statics, whose lock comes from the threading
// library (that library keeps a thread-local slot for good once a guard is taken, and a
// slot lost per load ends a host that unloads idle DLLs).
class Module {
 public:
  constexpr Module() = default;
  static Module& Instance();

  void Init(HINSTANCE instance, ClassEntry* classes, size_t class_count, const GUID* libid);
  // Releases the cached class object and type descriptions and deletes the lock: the
  // module leaves nothing behind when it unloads.
  void Term();

  HINSTANCE Handle() const { return instance_; }
  const GUID& LibraryId() const { return *libid_; }
  ClassEntry* Classes() { return classes_; }
  size_t ClassCount() const { return class_count_; }
  // Full path of the module file, as it was loaded.
  std::wstring FilePath() const;

  LONG Lock() { return InterlockedIncrement(&lock_count_); }
  LONG Unlock() { return InterlockedDecrement(&lock_count_); }
  LONG LockCount() const { return lock_count_; }

  HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);

 private:
  HINSTANCE instance_ = nullptr;
  ClassEntry* classes_ = nullptr;
  size_t class_count_ = 0;
  const GUID* libid_ = nullptr;
  volatile LONG lock_count_ = 0;
  bool lock_ready_ = false;
  CRITICAL_SECTION class_object_lock_{};
};

}  // namespace quillon
