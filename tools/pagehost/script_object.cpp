#include "tools/pagehost/script_object.h"

#include <oleauto.h>

#include "module/variant.h"

namespace pagehost {

Args::Args(const DISPPARAMS* params) {
  // DISPPARAMS holds the arguments last first; a property put names its value.
  UINT named_put = params->cArgs;
  for (UINT i = 0; i < params->cNamedArgs; ++i) {
    if (params->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) named_put = i;
  }
  for (UINT i = params->cArgs; i-- > 0;) {
    VARIANT* v = &params->rgvarg[i];
    while (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    if (i == named_put) {
      put_value_ = v;
    } else {
      positional_.push_back(v);
    }
  }
}

HRESULT Invocation::Raise(const wchar_t* source, const std::wstring& text, HRESULT code) const {
  if (!exception) return code;
  ZeroMemory(exception, sizeof(*exception));
  exception->bstrSource = SysAllocString(source);
  exception->bstrDescription = SysAllocString(text.c_str());
  exception->scode = code;
  return DISP_E_EXCEPTION;
}

HRESULT Invocation::ReturnText(const std::wstring& text) const {
  if (!result) return S_OK;
  V_VT(result) = VT_BSTR;
  V_BSTR(result) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return V_BSTR(result) ? S_OK : E_OUTOFMEMORY;
}

HRESULT Invocation::ReturnLong(LONG value) const {
  if (!result) return S_OK;
  V_VT(result) = VT_I4;
  V_I4(result) = value;
  return S_OK;
}

HRESULT Invocation::ReturnBool(bool value) const {
  if (!result) return S_OK;
  V_VT(result) = VT_BOOL;
  V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT Invocation::ReturnObject(IDispatch* object) const {
  if (!result) return S_OK;
  V_VT(result) = VT_DISPATCH;
  V_DISPATCH(result) = object;
  if (object) object->AddRef();
  return S_OK;
}

HRESULT ObjectProperty(IDispatch* object, const Invocation& call) {
  if (call.args.Count() == 0 && !call.IsPut()) return call.ReturnObject(object);
  DISPPARAMS forwarded = *call.params;
  return object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, call.flags, &forwarded,
                        call.result, call.exception, nullptr);
}

bool TextOf(const VARIANT& value, std::wstring* text) {
  text->clear();
  if (V_VT(&value) == VT_EMPTY || V_VT(&value) == VT_NULL) return true;
  quillon::Variant converted;
  if (FAILED(VariantChangeType(converted.Get(), const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL,
                               VT_BSTR)))
    return false;
  const BSTR s = V_BSTR(converted.Get());
  text->assign(s ? s : L"", s ? SysStringLen(s) : 0);
  return true;
}

}  // namespace pagehost
