#include "module/class_factory.h"

#include <new>

#include "module/module.h"

namespace quillon {

HRESULT ClassFactory::Create(CreateInstanceFn create_instance, IUnknown** out) {
  auto* factory = new (std::nothrow) ClassFactory(create_instance);
  if (!factory) return E_OUTOFMEMORY;
  *out = factory;
  return S_OK;
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() {
  Module::Instance().Lock();
  return InterlockedIncrement(&refs_);
}

STDMETHODIMP_(ULONG) ClassFactory::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) {
    // Only the module's own reference ends here (at Term); it never locked the module.
    delete this;
  } else {
    Module::Instance().Unlock();
  }
  return static_cast<ULONG>(left);
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  return create_instance_(outer, riid, ppv);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    Module::Instance().Lock();
  } else {
    Module::Instance().Unlock();
  }
  return S_OK;
}

}  // namespace quillon
