#include "policy/site_identification.h"

#include "module/bstr.h"
#include "module/variant.h"
#include "policy/handles.h"
#include "policy/kt_functions.h"
#include "policy/store_text.h"

namespace quillon {

namespace {

// The web server's failures explain themselves through the thread's last error. When a
// failure left no last error, its result code is explained instead, so that a refusal
// never reads "The operation completed successfully".
std::string FailureText(HRESULT hr) {
  const DWORD code = GetLastError();
  return CKtFunctions().GetErrorText(code != ERROR_SUCCESS ? code : static_cast<DWORD>(hr));
}

HRESULT RequestFromProperty(VARIANT* property, ComPtr<IRequest>* request) {
  IUnknown* object = nullptr;
  if (V_VT(property) == VT_DISPATCH) object = V_DISPATCH(property);
  if (V_VT(property) == VT_UNKNOWN) object = V_UNKNOWN(property);
  if (!object) return E_NOINTERFACE;
  return object->QueryInterface(IID_IRequest, request->PutVoid());
}

}  // namespace

HRESULT GetRequestObject(HMODULE context_module, RequestObjects* objects) {
  const FARPROC address =
      context_module ? GetProcAddress(context_module, kGetObjectContextExport) : nullptr;
  if (!address) return HRESULT_FROM_WIN32(GetLastError());
  // GetProcAddress hands out every export under one type; this one is GetObjectContext.
  const auto get_object_context =
      reinterpret_cast<GetObjectContextFn>(reinterpret_cast<void*>(address));

  HRESULT hr = get_object_context(objects->object_context.Put());
  if (FAILED(hr)) return hr;
  if (!objects->object_context) return E_POINTER;
  hr = objects->object_context.As(IID_IGetContextProperties, &objects->context_properties);
  if (FAILED(hr)) return hr;

  Bstr name(L"Request");
  Variant property;
  hr = objects->context_properties->GetProperty(name.Get(), property.Get());
  if (FAILED(hr)) return hr;
  return RequestFromProperty(property.Get(), &objects->request);
}

int GetPagePath(std::string* out) {
  std::wstring page;
  if (!GetPagePath(&page, out)) return 0;
  *out = WideToStore(page);
  return 1;
}

int GetPagePath(std::wstring* page, std::string* out) {
  // Declared first, so it is released last: the objects below live in this module.
  LoadedModule context_module(kContextModule);
  RequestObjects objects;
  HRESULT hr = GetRequestObject(context_module.Get(), &objects);
  if (FAILED(hr)) {
    *out = FailureText(hr);
    return 0;
  }

  ComPtr<IRequestDictionary> variables;
  hr = objects.request->get_ServerVariables(variables.Put());
  if (FAILED(hr) || !variables) {
    *out = FailureText(FAILED(hr) ? hr : E_POINTER);
    return 0;
  }

  Variant key;
  V_VT(key.Get()) = VT_BSTR;
  V_BSTR(key.Get()) = SysAllocString(L"PATH_TRANSLATED");
  Variant answer;
  // An absent variable or a failing Item call leaves whatever answer came back; the
  // conversion below decides.
  variables->get_Item(*key.Get(), answer.Get());
  // The web server may answer with an object whose default value is the text.
  hr = VariantChangeType(answer.Get(), answer.Get(), 0, VT_BSTR);
  if (FAILED(hr)) {
    *out = FailureText(hr);
    return 0;
  }
  // The text up to its first NUL, as every conversion of a page path takes it.
  const BSTR text = V_BSTR(answer.Get());
  page->assign(text ? text : L"");
  return 1;
}

}  // namespace quillon
