// Owner of one SAFEARRAY (destroyed with SafeArrayDestroy), and a guard that keeps an
// array's data locked while it is read or written.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace quillon {

class SafeArray {
 public:
  SafeArray() = default;
  explicit SafeArray(SAFEARRAY* adopted) : p_(adopted) {}
  SafeArray(const SafeArray&) = delete;
  SafeArray& operator=(const SafeArray&) = delete;
  ~SafeArray() {
    if (p_) SafeArrayDestroy(p_);
  }
  SAFEARRAY* Get() const { return p_; }
  SAFEARRAY* Detach() { return std::exchange(p_, nullptr); }

 private:
  SAFEARRAY* p_ = nullptr;
};

template <class T>
class SafeArrayData {
 public:
  explicit SafeArrayData(SAFEARRAY* array) : array_(array) {
    void* data = nullptr;
    if (array_ && SUCCEEDED(SafeArrayAccessData(array_, &data))) {
      data_ = static_cast<T*>(data);
    } else {
      array_ = nullptr;
    }
  }
  SafeArrayData(const SafeArrayData&) = delete;
  SafeArrayData& operator=(const SafeArrayData&) = delete;
  ~SafeArrayData() {
    if (array_) SafeArrayUnaccessData(array_);
  }
  T* Get() const { return data_; }  // null when the data could not be locked

 private:
  SAFEARRAY* array_;
  T* data_ = nullptr;
};

}  // namespace quillon
