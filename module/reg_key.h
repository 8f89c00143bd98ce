// Owner of one open registry key: closed with RegCloseKey when the owner goes.
#pragma once

#include <windows.h>

#include <utility>

namespace quillon {

class RegKey {
 public:
  RegKey() = default;
  explicit RegKey(HKEY adopted) : h_(adopted) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  RegKey& operator=(RegKey&& other) noexcept {
    std::swap(h_, other.h_);
    return *this;
  }
  ~RegKey() {
    if (h_) RegCloseKey(h_);
  }

  HKEY Get() const { return h_; }
  HKEY* Put() {
    if (HKEY old = std::exchange(h_, nullptr)) RegCloseKey(old);
    return &h_;
  }

 private:
  HKEY h_ = nullptr;
};

}  // namespace quillon
