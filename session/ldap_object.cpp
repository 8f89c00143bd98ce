#include "session/ldap_object.h"

namespace quillon {

const InterfaceEntry CLdap::kInterfaces[] = {
    Entry<CLdap, ILdap3>(&IID_ILdap3),
    Entry<CLdap, ILdap2>(&IID_ILdap2),
    Entry<CLdap, ILdap>(&IID_ILdap),
    Entry<CLdap, ILdap3>(&IID_IDispatch),
    Entry<CLdap, ISupportErrorInfo>(&IID_ISupportErrorInfo),
    {nullptr, nullptr},
};

HRESULT CLdap::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return AggregatedObject<CLdap>::CreateInstance(outer, ppv);
  return ComObject<CLdap>::CreateInstance(riid, ppv);
}

}  // namespace quillon
