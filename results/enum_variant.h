// The IEnumVARIANT that a for-each loop over a collection uses. It enumerates its own
// copy of the collection's items (holding a reference on each), so it outlives the
// collection; a clone shares that copy and starts where its source stands.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <vector>

#include "module/com_object.h"
#include "module/com_ptr.h"

namespace quillon {

using ItemList = std::vector<ComPtr<IDispatch>>;

class CEnumVariant : public IEnumVARIANT {
 public:
  static const InterfaceEntry kInterfaces[];

  CEnumVariant(std::shared_ptr<const ItemList> items, size_t position)
      : items_(std::move(items)), position_(position) {}

  // A new enumerator over a copy of items.
  static HRESULT Create(const ItemList& items, IUnknown** out);

  STDMETHODIMP Next(ULONG count, VARIANT* out, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumVARIANT** out) override;

 private:
  std::shared_ptr<const ItemList> items_;
  size_t position_;
};

}  // namespace quillon
