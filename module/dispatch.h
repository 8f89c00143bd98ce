// IDispatch for every dual interface of the component, served from the registered type
// library: names resolve as the type library resolves them (without regard to case) and
// arguments are coerced to the declared types before a member runs.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace quillon {

// The type description of each interface, loaded once per process on first use and
// kept until the module unloads.
class TypeInfoCache {
 public:
  // A borrowed pointer (the cache keeps the reference), or the loader's failure.
  static HRESULT Get(REFIID iid, LCID lcid, ITypeInfo** info);
  // Names to DISPIDs for the interface. A single name (every script call) is looked up in
  // a table made once from the type description, without regard to case; anything else
  // goes to the type description itself, and so does a name asked while the table cannot
  // be made whole (it is tried again on the next call).
  static HRESULT GetIDsOfNames(REFIID iid, LCID lcid, LPOLESTR* names, UINT count, DISPID* ids);
  static void ReleaseAll();
  // How many descriptions have been loaded since the process started (for tests).
  static LONG LoadCount();
};

template <class Itf, const IID* Iid>
class DispatchImpl : public Itf {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ITypeInfo* cached = nullptr;
    const HRESULT hr = TypeInfoCache::Get(*Iid, lcid, &cached);
    if (FAILED(hr)) return hr;
    cached->AddRef();
    *info = cached;
    return S_OK;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    return TypeInfoCache::GetIDsOfNames(*Iid, lcid, names, count, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* arg_error) override {
    ITypeInfo* cached = nullptr;
    const HRESULT hr = TypeInfoCache::Get(*Iid, lcid, &cached);
    if (FAILED(hr)) return hr;
    // Script engines read properties with a method call too (JScript's Enumerator asks
    // for _NewEnum that way); the type library's dispatcher matches only the exact kind.
    if (flags & DISPATCH_METHOD) flags |= DISPATCH_PROPERTYGET;
    if ((flags & DISPATCH_PROPERTYGET) && result && params && params->cNamedArgs == 0 &&
        ReadDirectly(id, *params, result)) {
      return S_OK;
    }
    return DispInvoke(static_cast<Itf*>(this), cached, id, flags, params, result, exception,
                      arg_error);
  }

 protected:
  // A class may answer its most frequent reads itself: a script walking a large result
  // makes two reads per value, and the type library's dispatcher costs more than the read.
  // Answers true only when the read succeeded with result filled; anything else (other
  // members, odd arguments, failures) goes through the dispatcher, which reports it.
  virtual bool ReadDirectly(DISPID, const DISPPARAMS&, VARIANT*) { return false; }
};

// The 32-bit integer of a by-value or by-reference numeric argument, as the dispatcher
// would coerce it; false for anything else.
bool IntegerArgument(const VARIANT& arg, LONG* value);

// ISupportErrorInfo that names the class's own dual interfaces. The component never sets
// an error object; failures are reported through the Ldap object's error state.
template <const IID*... Iids>
class SupportErrorInfoImpl : public ISupportErrorInfo {
 public:
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
    return (IsEqualIID(riid, *Iids) || ...) ? S_OK : S_FALSE;
  }
};

}  // namespace quillon
