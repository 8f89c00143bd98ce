// Values a page can pass to AttributeAdd and AttributeModify, made in-process: byte
// arrays (no script under Wine can make one), by-reference variables as VBScript passes
// them, and an object with or without a default value, like Request.Form("x").
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "module/variant.h"

namespace quillon::test {

// A VT_ARRAY|VT_UI1 variant holding bytes, its first index lower.
inline void MakeByteArray(Variant& v, const std::string& bytes, LONG lower = 0) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, lower, static_cast<ULONG>(bytes.size()));
  void* data = nullptr;
  SafeArrayAccessData(array, &data);
  if (!bytes.empty()) memcpy(data, bytes.data(), bytes.size());
  SafeArrayUnaccessData(array);
  VARIANT* p = v.Put();
  V_VT(p) = VT_ARRAY | VT_UI1;
  V_ARRAY(p) = array;
}

inline void MakeText(Variant& v, const wchar_t* text) {
  VARIANT* p = v.Put();
  V_VT(p) = VT_BSTR;
  V_BSTR(p) = SysAllocString(text);
}

// What VBScript passes for a variable argument: a reference to the variable's variant.
inline VARIANT ByReference(Variant& target) {
  VARIANT ref;
  VariantInit(&ref);
  V_VT(&ref) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&ref) = target.Get();
  return ref;
}

// An automation object whose default value (DISPID_VALUE, property get) is a text, or
// that has none when the text is null.
class DefaultValueObject : public IDispatch {
 public:
  explicit DefaultValueObject(const wchar_t* value) : value_(value) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the test's stack
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    if (id != DISPID_VALUE || !value_ || !(flags & DISPATCH_PROPERTYGET) || !result) {
      return DISP_E_MEMBERNOTFOUND;
    }
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = SysAllocString(value_);
    return S_OK;
  }

  ULONG refs = 1;

 private:
  const wchar_t* value_;
};

inline void MakeObject(Variant& v, DefaultValueObject* object) {
  VARIANT* p = v.Put();
  object->AddRef();
  V_VT(p) = VT_DISPATCH;
  V_DISPATCH(p) = object;
}

}  // namespace quillon::test
