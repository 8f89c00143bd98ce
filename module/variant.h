// Owner of one VARIANT: cleared with VariantClear when the owner goes.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace quillon {

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }

  VARIANT* Get() { return &v_; }
  const VARIANT* Get() const { return &v_; }
  VARTYPE Type() const { return V_VT(&v_); }
  VARIANT* Put() {
    VariantClear(&v_);
    return &v_;
  }
  // Moves the value out to a caller's VARIANT, leaving this one empty.
  void Detach(VARIANT* out) {
    *out = v_;
    VariantInit(&v_);
  }

 private:
  VARIANT v_;
};

}  // namespace quillon
