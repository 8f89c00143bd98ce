// Owner of one COM interface reference: released when the owner goes.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace quillon {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* adopted) : p_(adopted) {}
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Takes an extra reference to a pointer the caller keeps.
  static ComPtr Share(T* p) {
    if (p) p->AddRef();
    return ComPtr(p);
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* Detach() { return std::exchange(p_, nullptr); }
  // For out-parameters: releases what is held and hands out the slot.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  template <class U>
  HRESULT As(const IID& iid, ComPtr<U>* out) const {
    return p_ ? p_->QueryInterface(iid, out->PutVoid()) : E_POINTER;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace quillon
