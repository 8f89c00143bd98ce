#include "results/enum_variant.h"

#include <new>

namespace quillon {

const InterfaceEntry CEnumVariant::kInterfaces[] = {
    Entry<CEnumVariant, IEnumVARIANT>(&IID_IEnumVARIANT),
    {nullptr, nullptr},
};

HRESULT CEnumVariant::Create(const ItemList& items, IUnknown** out) {
  std::shared_ptr<const ItemList> copy(new (std::nothrow) ItemList(items));
  if (!copy) return E_OUTOFMEMORY;
  return ComObject<CEnumVariant>::CreateInstance(IID_IUnknown, reinterpret_cast<void**>(out),
                                                 std::move(copy), size_t{0});
}

STDMETHODIMP CEnumVariant::Next(ULONG count, VARIANT* out, ULONG* fetched) {
  if (!out) return E_POINTER;
  ULONG n = 0;
  while (n < count && position_ < items_->size()) {
    IDispatch* item = (*items_)[position_++].Get();
    VariantInit(&out[n]);
    V_VT(&out[n]) = VT_DISPATCH;
    V_DISPATCH(&out[n]) = item;
    if (item) item->AddRef();
    ++n;
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumVariant::Skip(ULONG count) {
  const size_t left = items_->size() - position_;
  if (count > left) {
    position_ = items_->size();
    return S_FALSE;
  }
  position_ += count;
  return S_OK;
}

STDMETHODIMP CEnumVariant::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP CEnumVariant::Clone(IEnumVARIANT** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return ComObject<CEnumVariant>::CreateInstance(IID_IEnumVARIANT, reinterpret_cast<void**>(out),
                                                 items_, position_);
}

}  // namespace quillon
