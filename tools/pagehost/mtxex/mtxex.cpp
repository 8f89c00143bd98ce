// The page host's context module. On a web server, mtxex.dll's GetObjectContext gives a
// component the context of the page request running on its thread; this one does the
// same for the page host: the host names each request's IRequest for its thread while the
// page runs (PageHostSetRequest), and GetObjectContext answers with a context whose
// IGetContextProperties gives that request as the property "Request". A thread with no
// page running gets CONTEXT_E_NOCONTEXT, as code outside a page does on the web server.
#include <windows.h>

#include "policy/context_interfaces.h"
#include "tools/pagehost/ref_counted.h"

namespace {

DWORD g_slot = TLS_OUT_OF_INDEXES;

IRequest* ThreadRequest() {
  return g_slot == TLS_OUT_OF_INDEXES ? nullptr : static_cast<IRequest*>(TlsGetValue(g_slot));
}

class Context final : public pagehost::RefCounted<IObjectContext, IGetContextProperties> {
 public:
  explicit Context(IRequest* request) : request_(request) { request_->AddRef(); }
  ~Context() { request_->Release(); }

  // No transactions in the page host.
  STDMETHODIMP CreateInstance(REFCLSID clsid, REFIID iid, LPVOID* out) override {
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, out);
  }
  STDMETHODIMP SetComplete() override { return S_OK; }
  STDMETHODIMP SetAbort() override { return S_OK; }
  STDMETHODIMP EnableCommit() override { return S_OK; }
  STDMETHODIMP DisableCommit() override { return S_OK; }
  STDMETHODIMP_(WINBOOL) IsInTransaction() override { return FALSE; }
  STDMETHODIMP_(WINBOOL) IsSecurityEnabled() override { return FALSE; }
  STDMETHODIMP IsCallerInRole(BSTR, WINBOOL* in_role) override {
    if (!in_role) return E_POINTER;
    *in_role = TRUE;
    return S_OK;
  }

  STDMETHODIMP Count(LONG* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetProperty(BSTR name, VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    if (!name || lstrcmpiW(name, L"Request") != 0) return E_INVALIDARG;
    IDispatch* request = nullptr;
    const HRESULT hr = request_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&request));
    if (FAILED(hr)) return hr;
    V_VT(value) = VT_DISPATCH;
    V_DISPATCH(value) = request;
    return S_OK;
  }
  STDMETHODIMP EnumNames(IEnumNames**) override { return E_NOTIMPL; }

 private:
  void* Interface(REFIID iid) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IObjectContext)) {
      return static_cast<IObjectContext*>(this);
    }
    if (IsEqualIID(iid, IID_IGetContextProperties))
      return static_cast<IGetContextProperties*>(this);
    return nullptr;
  }

  IRequest* request_;
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_slot = TlsAlloc();
  } else if (reason == DLL_PROCESS_DETACH && g_slot != TLS_OUT_OF_INDEXES) {
    TlsFree(g_slot);
  }
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT __cdecl GetObjectContext(IObjectContext** context) {
  if (!context) return E_POINTER;
  *context = nullptr;
  IRequest* request = ThreadRequest();
  if (!request) return CONTEXT_E_NOCONTEXT;
  *context = new Context(request);
  return S_OK;
}

extern "C" __declspec(dllexport) void __cdecl PageHostSetRequest(IRequest* request) {
  if (g_slot == TLS_OUT_OF_INDEXES) return;
  if (request) request->AddRef();
  if (IRequest* previous = ThreadRequest()) previous->Release();
  TlsSetValue(g_slot, request);
}
