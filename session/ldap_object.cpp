#include "session/ldap_object.h"

namespace quillon {

const InterfaceEntry CLdap::kInterfaces[] = {
    Entry<CLdap, ILdap>(&IID_ILdap),
    Entry<CLdap, ILdap>(&IID_IDispatch),
    Entry<CLdap, ISupportErrorInfo>(&IID_ISupportErrorInfo),
    {nullptr, nullptr},
};

HRESULT CLdap::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return AggregatedObject<CLdap>::CreateInstance(outer, ppv);
  return ComObject<CLdap>::CreateInstance(riid, ppv);
}

// The operations and the staging and naming methods are not built yet; they say so
// rather than pretend to succeed.
STDMETHODIMP CLdap::Add() {
  return E_NOTIMPL;
}
STDMETHODIMP CLdap::Modify() {
  return E_NOTIMPL;
}
STDMETHODIMP CLdap::AttributeAdd(BSTR, VARIANT, LONG) {
  return E_NOTIMPL;
}
STDMETHODIMP CLdap::AttributeModify(BSTR, VARIANT, LONG, LONG) {
  return E_NOTIMPL;
}

}  // namespace quillon
