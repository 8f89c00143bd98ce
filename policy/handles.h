// Owners of the system handles the policy code holds besides registry keys, COM pointers
// and VARIANTs (those have owners in module/): a loaded module and an open file.
#pragma once

#include <windows.h>

#include <utility>

namespace quillon {

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

// A file this code opened: closed with CloseHandle.
class OpenFile {
 public:
  explicit OpenFile(HANDLE h) : h_(h) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (Valid()) CloseHandle(h_);
  }

  bool Valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }

 private:
  HANDLE h_;
};

}  // namespace quillon
