// The page host's mtxex.dll, loaded as the component loads it: GetObjectContext answers
// CONTEXT_E_NOCONTEXT on a thread without a page, and on a thread whose request the host
// named, a context whose "Request" property is that request, until the host clears it.
// Every reference the module took is given back.
//   context_module_test.exe <path of mtxex.dll>
#include <windows.h>
#include <ole2.h>

#include <cstdio>

#include "policy/context_interfaces.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  if (!ok) ++failures;
}

// A request that only counts its references.
class CountedRequest final : public IRequest {
 public:
  LONG refs = 1;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) &&
        !IsEqualIID(iid, IID_IRequest)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IRequest*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs); }
  STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&refs); }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP get_Item(BSTR, IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_QueryString(IRequestDictionary**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Form(IRequestDictionary**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Body(IRequestDictionary**) override { return E_NOTIMPL; }
  STDMETHODIMP get_ServerVariables(IRequestDictionary**) override { return E_NOTIMPL; }
  STDMETHODIMP get_ClientCertificate(IRequestDictionary**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Cookies(IRequestDictionary**) override { return E_NOTIMPL; }
  STDMETHODIMP get_TotalBytes(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP BinaryRead(VARIANT*, VARIANT*) override { return E_NOTIMPL; }
};

quillon::GetObjectContextFn get_context = nullptr;

DWORD WINAPI OtherThread(void* answer) {
  IObjectContext* context = nullptr;
  *static_cast<HRESULT*>(answer) = get_context(&context);
  if (context) context->Release();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  HMODULE module = LoadLibraryA(argv[1]);
  if (!module) {
    printf("FAILED: cannot load %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  get_context = reinterpret_cast<quillon::GetObjectContextFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "GetObjectContext")));
  auto set_request = reinterpret_cast<void(__cdecl*)(IRequest*)>(
      reinterpret_cast<void*>(GetProcAddress(module, "PageHostSetRequest")));
  Check(get_context && set_request, "GetObjectContext and PageHostSetRequest are exported");
  if (!get_context || !set_request) return 1;

  IObjectContext* context = reinterpret_cast<IObjectContext*>(1);
  Check(get_context(&context) == CONTEXT_E_NOCONTEXT && !context, "no page: CONTEXT_E_NOCONTEXT");

  CountedRequest request;
  set_request(&request);
  Check(get_context(&context) == S_OK && context, "a page running: a context");
  IGetContextProperties* properties = nullptr;
  Check(context && SUCCEEDED(context->QueryInterface(IID_IGetContextProperties,
                                                     reinterpret_cast<void**>(&properties))),
        "the context answers IGetContextProperties");
  if (properties) {
    VARIANT value;
    VariantInit(&value);
    BSTR name = SysAllocString(L"Request");
    Check(properties->GetProperty(name, &value) == S_OK && V_VT(&value) == VT_DISPATCH,
          "\"Request\" is an object");
    IRequest* got = nullptr;
    if (V_VT(&value) == VT_DISPATCH)
      V_DISPATCH(&value)->QueryInterface(IID_IRequest, reinterpret_cast<void**>(&got));
    Check(got == &request, "\"Request\" is the running page's request");
    if (got) got->Release();
    VariantClear(&value);
    SysFreeString(name);
    name = SysAllocString(L"Response");
    Check(FAILED(properties->GetProperty(name, &value)) && V_VT(&value) == VT_EMPTY,
          "other properties: none");
    SysFreeString(name);
    properties->Release();
  }
  HRESULT elsewhere = S_OK;
  HANDLE thread = CreateThread(nullptr, 0, &OtherThread, &elsewhere, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  Check(elsewhere == CONTEXT_E_NOCONTEXT,
        "another thread while the page runs: CONTEXT_E_NOCONTEXT");

  set_request(nullptr);
  IObjectContext* after = nullptr;
  Check(get_context(&after) == CONTEXT_E_NOCONTEXT && !after,
        "after the page: CONTEXT_E_NOCONTEXT");
  if (context) context->Release();
  Check(request.refs == 1, "every reference to the request was given back");
  printf("%s\n", failures ? "context module: FAILED" : "context module: as expected");
  return failures ? 1 : 0;
}
