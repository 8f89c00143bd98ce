// Access to a SAFEARRAY's data: locked with SafeArrayAccessData for the life of the
// owner and released with SafeArrayUnaccessData when it goes.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace quillon {

class SafeArrayData {
 public:
  explicit SafeArrayData(SAFEARRAY* array) : array_(array) {
    result_ = array_ ? SafeArrayAccessData(array_, &data_) : E_INVALIDARG;
    if (FAILED(result_)) data_ = nullptr;
  }
  SafeArrayData(const SafeArrayData&) = delete;
  SafeArrayData& operator=(const SafeArrayData&) = delete;
  ~SafeArrayData() {
    if (SUCCEEDED(result_)) SafeArrayUnaccessData(array_);
  }

  HRESULT Result() const { return result_; }
  const void* Get() const { return data_; }

 private:
  SAFEARRAY* array_;
  void* data_ = nullptr;
  HRESULT result_;
};

}  // namespace quillon
