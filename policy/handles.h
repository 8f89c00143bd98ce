// Owner of the one kind of system handle the policy code holds besides registry keys, COM
// pointers and VARIANTs (those have owners in module/): a loaded module.
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

}  // namespace quillon
