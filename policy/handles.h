// Owners for the two kinds of system handle the policy code holds besides registry keys,
// COM pointers and VARIANTs (those have owners in module/): a buffer the system allocated
// with LocalAlloc, and a loaded module.
#pragma once

#include <windows.h>

#include <utility>

namespace quillon {

// A buffer FormatMessage allocated for us: freed with LocalFree.
class LocalBuffer {
 public:
  LocalBuffer() = default;
  LocalBuffer(const LocalBuffer&) = delete;
  LocalBuffer& operator=(const LocalBuffer&) = delete;
  ~LocalBuffer() {
    if (p_) LocalFree(p_);
  }

  char* Get() const { return p_; }
  // FormatMessage's allocating form takes the address of the pointer, cast to LPSTR.
  LPSTR PutAsText() {
    if (char* old = std::exchange(p_, nullptr)) LocalFree(old);
    return reinterpret_cast<LPSTR>(&p_);
  }

 private:
  char* p_ = nullptr;
};

// A module this code loaded: freed with FreeLibrary.
class LoadedModule {
 public:
  explicit LoadedModule(const char* name) : h_(LoadLibraryA(name)) {}
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  ~LoadedModule() {
    if (h_) FreeLibrary(h_);
  }

  HMODULE Get() const { return h_; }

 private:
  HMODULE h_;
};

}  // namespace quillon
