// The one collection shape shared by Query and QuerySub: a list of objects read by a
// 1-based Item (the default member), Count, and a for-each enumerator.
#pragma once

#include "module/com_boundary.h"
#include "module/dispatch.h"
#include "results/enum_variant.h"

namespace quillon {

template <class Itf, const IID* Iid>
class CollectionImpl : public DispatchImpl<Itf, Iid> {
 public:
  void Append(ComPtr<IDispatch> item) { items_.push_back(std::move(item)); }

  STDMETHODIMP get_Count(LONG* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(items_.size());
    return S_OK;
  }

  STDMETHODIMP get_Item(LONG index, VARIANT* item) override {
    if (!item) return E_POINTER;
    VariantInit(item);
    V_VT(item) = VT_UNKNOWN;
    V_UNKNOWN(item) = nullptr;
    if (index < 1 || static_cast<size_t>(index) > items_.size()) return E_INVALIDARG;
    IDispatch* chosen = items_[static_cast<size_t>(index) - 1].Get();
    chosen->AddRef();
    V_VT(item) = VT_DISPATCH;
    V_DISPATCH(item) = chosen;
    return S_OK;
  }

  STDMETHODIMP get__NewEnum(IUnknown** enumerator) override {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    // Copying the item list can run out of memory.
    return GuardedMember([&] { return CEnumVariant::Create(items_, enumerator); });
  }

 protected:
  bool ReadDirectly(DISPID id, const DISPPARAMS& params, VARIANT* result) override {
    LONG index = 0;
    if (id == DISPID_VALUE && params.cArgs == 1 && IntegerArgument(params.rgvarg[0], &index)) {
      return SUCCEEDED(get_Item(index, result));
    }
    return false;
  }

  ItemList items_;
};

}  // namespace quillon
