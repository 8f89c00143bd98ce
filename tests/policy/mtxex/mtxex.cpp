// A stand-in for the web server's context module, for tests and the demo only: it is
// never registered, and a real web server has its own. IIS cannot run under Wine, so this
// is the one way to show the component a page request. It exports GetObjectContext, whose
// context serves a "Request" object; that request's ServerVariables item
// "PATH_TRANSLATED" is the process's environment variable of the same name (the CGI
// convention). Without that variable there is no object context, as for a script run
// outside a web server.
//
// For the failure paths, STANDIN_FAIL may name one step that then fails: "Context"
// (object context without IGetContextProperties), "Request" (GetProperty fails),
// "NotARequest" (the property is an object without IRequest), "ServerVariables", or
// "Item" (the item is an object whose text cannot be had).
// StandInLiveObjects() counts the objects alive, so tests can see every one released.
#include <windows.h>

#include <string>

#include "policy/context_interfaces.h"

namespace {

LONG g_live_objects = 0;

// The stand-in's own look-ups must not change the caller's last error: only the failures
// it plays set one, so tests can tell which error text the component reports.
class KeepLastError {
 public:
  KeepLastError() : saved_(GetLastError()) {}
  ~KeepLastError() { SetLastError(saved_); }

 private:
  DWORD saved_;
};

bool IsSet(const wchar_t* name) {
  KeepLastError keep;
  return GetEnvironmentVariableW(name, nullptr, 0) > 0;
}

bool FailsAt(const wchar_t* step) {
  KeepLastError keep;
  wchar_t value[32];
  const DWORD n = GetEnvironmentVariableW(L"STANDIN_FAIL", value, 32);
  return n > 0 && n < 32 && lstrcmpiW(value, step) == 0;
}

// Reference counting and QueryInterface for an object whose interfaces all derive from
// IUnknown through the first one listed.
template <class Derived>
class Counted {
 public:
  Counted() { InterlockedIncrement(&g_live_objects); }
  virtual ~Counted() { InterlockedDecrement(&g_live_objects); }
  ULONG AddRefImpl() { return InterlockedIncrement(&refs_); }
  ULONG ReleaseImpl() {
    const ULONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }

 private:
  LONG refs_ = 1;
};

#define STANDIN_IUNKNOWN                    \
  STDMETHODIMP_(ULONG) AddRef() override {  \
    return AddRefImpl();                    \
  }                                         \
  STDMETHODIMP_(ULONG) Release() override { \
    return ReleaseImpl();                   \
  }

// IDispatch without a type library: the component uses the interface tables only.
#define STANDIN_NO_DISPATCH                                                                 \
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {                                     \
    *count = 0;                                                                             \
    return S_OK;                                                                            \
  }                                                                                         \
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override {                              \
    return E_NOTIMPL;                                                                       \
  }                                                                                         \
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {             \
    return E_NOTIMPL;                                                                       \
  }                                                                                         \
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) \
      override {                                                                            \
    return E_NOTIMPL;                                                                       \
  }

// An object with no interface but IDispatch, whose default value cannot be read.
class Opaque : public IDispatch, Counted<Opaque> {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = (iid == IID_IUnknown || iid == IID_IDispatch) ? this : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STANDIN_IUNKNOWN
  STANDIN_NO_DISPATCH
};

class ServerVariables : public IRequestDictionary, Counted<ServerVariables> {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    const bool known = iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IRequestDictionary;
    *out = known ? this : nullptr;
    if (!known) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STANDIN_IUNKNOWN
  STANDIN_NO_DISPATCH

  // An unknown variable gives an empty value, as the web server's collection does.
  STDMETHODIMP get_Item(VARIANT key, VARIANT* value) override {
    VariantInit(value);
    if (FailsAt(L"Item")) {
      V_VT(value) = VT_DISPATCH;
      V_DISPATCH(value) = new Opaque;
      return S_OK;
    }
    if (V_VT(&key) != VT_BSTR || !V_BSTR(&key) || lstrcmpiW(V_BSTR(&key), L"PATH_TRANSLATED")) {
      return S_OK;
    }
    KeepLastError keep;
    const DWORD n = GetEnvironmentVariableW(L"PATH_TRANSLATED", nullptr, 0);
    std::wstring text(n, L'\0');
    if (n > 0) text.resize(GetEnvironmentVariableW(L"PATH_TRANSLATED", text.data(), n));
    V_VT(value) = VT_BSTR;
    V_BSTR(value) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return S_OK;
  }
  STDMETHODIMP get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Count(int*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Key(VARIANT, VARIANT*) override { return E_NOTIMPL; }
};

class Request : public IRequest, Counted<Request> {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    const bool known = iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IRequest;
    *out = known ? this : nullptr;
    if (!known) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STANDIN_IUNKNOWN
  STANDIN_NO_DISPATCH

  STDMETHODIMP get_ServerVariables(IRequestDictionary** out) override {
    *out = nullptr;
    if (FailsAt(L"ServerVariables")) {
      SetLastError(ERROR_ACCESS_DENIED);
      return E_ACCESSDENIED;
    }
    *out = new ServerVariables;
    return S_OK;
  }
  STDMETHODIMP get_Item(BSTR, IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_QueryString(IRequestDictionary**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Form(IRequestDictionary**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Body(IRequestDictionary**) override { return E_NOTIMPL; }
  STDMETHODIMP get_ClientCertificate(IRequestDictionary**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Cookies(IRequestDictionary**) override { return E_NOTIMPL; }
  STDMETHODIMP get_TotalBytes(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP BinaryRead(VARIANT*, VARIANT*) override { return E_NOTIMPL; }
};

class StandInContext : public IObjectContext,
                       public IGetContextProperties,
                       Counted<StandInContext> {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IObjectContext) {
      *out = static_cast<IObjectContext*>(this);
    } else if (iid == IID_IGetContextProperties && !FailsAt(L"Context")) {
      *out = static_cast<IGetContextProperties*>(this);
    }
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STANDIN_IUNKNOWN

  // IObjectContext: no transactions here.
  STDMETHODIMP CreateInstance(REFCLSID, REFIID, LPVOID*) override { return E_NOTIMPL; }
  STDMETHODIMP SetComplete() override { return S_OK; }
  STDMETHODIMP SetAbort() override { return S_OK; }
  STDMETHODIMP EnableCommit() override { return S_OK; }
  STDMETHODIMP DisableCommit() override { return S_OK; }
  STDMETHODIMP_(WINBOOL) IsInTransaction() override { return FALSE; }
  STDMETHODIMP_(WINBOOL) IsSecurityEnabled() override { return FALSE; }
  STDMETHODIMP IsCallerInRole(BSTR, WINBOOL* in_role) override {
    *in_role = TRUE;
    return S_OK;
  }

  // IGetContextProperties: the one property "Request".
  STDMETHODIMP Count(LONG* count) override {
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetProperty(BSTR name, VARIANT* value) override {
    VariantInit(value);
    if (!name || lstrcmpiW(name, L"Request") != 0) return E_INVALIDARG;
    if (FailsAt(L"Request")) {
      SetLastError(ERROR_NOT_FOUND);
      return E_FAIL;
    }
    V_VT(value) = VT_DISPATCH;
    V_DISPATCH(value) = FailsAt(L"NotARequest") ? static_cast<IDispatch*>(new Opaque)
                                                : static_cast<IDispatch*>(new Request);
    return S_OK;
  }
  STDMETHODIMP EnumNames(IEnumNames**) override { return E_NOTIMPL; }
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT __cdecl GetObjectContext(IObjectContext** context) {
  if (!context) return E_POINTER;
  *context = nullptr;
  if (!IsSet(L"PATH_TRANSLATED")) return CONTEXT_E_NOCONTEXT;
  *context = new StandInContext;
  return S_OK;
}

extern "C" __declspec(dllexport) LONG __cdecl StandInLiveObjects() {
  return g_live_objects;
}
