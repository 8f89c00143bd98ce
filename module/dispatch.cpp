#include "module/dispatch.h"

#include "module/com_ptr.h"
#include "module/module.h"
#include "quillon.h"

namespace quillon {

namespace {

const IID* const kDispatchInterfaces[] = {&IID_ILdap, &IID_IQuery, &IID_IQueryEntries,
                                          &IID_IQuerySub, &IID_IQueryEntriesSub};
constexpr size_t kSlots = sizeof(kDispatchInterfaces) / sizeof(kDispatchInterfaces[0]);

ITypeInfo* volatile g_slots[kSlots];
volatile LONG g_load_count = 0;

HRESULT Load(REFIID iid, LCID lcid, ITypeInfo** out) {
  ComPtr<ITypeLib> library;
  HRESULT hr = LoadRegTypeLib(Module::Instance().LibraryId(), 1, 0, lcid, library.Put());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(iid, out);
}

}  // namespace

HRESULT TypeInfoCache::Get(REFIID iid, LCID lcid, ITypeInfo** info) {
  for (size_t i = 0; i < kSlots; ++i) {
    if (!IsEqualIID(iid, *kDispatchInterfaces[i])) continue;
    if (!g_slots[i]) {
      ITypeInfo* loaded = nullptr;
      const HRESULT hr = Load(iid, lcid, &loaded);
      if (FAILED(hr)) return hr;
      // Two apartments may race to the first call: the first one stored wins.
      if (InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&g_slots[i]), loaded,
                                            nullptr) != nullptr) {
        loaded->Release();
      } else {
        InterlockedIncrement(&g_load_count);
      }
    }
    *info = g_slots[i];
    return S_OK;
  }
  return E_NOINTERFACE;
}

void TypeInfoCache::ReleaseAll() {
  for (auto& slot : g_slots) {
    auto* info = static_cast<ITypeInfo*>(
        InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&slot), nullptr));
    if (info) info->Release();
  }
}

LONG TypeInfoCache::LoadCount() {
  return g_load_count;
}

}  // namespace quillon
