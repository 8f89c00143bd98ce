// Owner of one BSTR: freed with SysFreeString when the owner goes.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace quillon {

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(BSTR adopted) : s_(adopted) {}
  explicit Bstr(const wchar_t* text) : s_(SysAllocString(text)) {}
  Bstr(const wchar_t* text, UINT length) : s_(SysAllocStringLen(text, length)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    std::swap(s_, other.s_);
    return *this;
  }
  ~Bstr() { SysFreeString(s_); }

  BSTR Get() const { return s_; }
  BSTR Detach() { return std::exchange(s_, nullptr); }
  UINT Length() const { return SysStringLen(s_); }
  BSTR* Put() {
    SysFreeString(std::exchange(s_, nullptr));
    return &s_;
  }

 private:
  BSTR s_ = nullptr;
};

}  // namespace quillon
