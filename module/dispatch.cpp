#include "module/dispatch.h"

#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "module/bstr.h"
#include "module/com_ptr.h"
#include "module/module.h"
#include "quillon.h"

namespace quillon {

namespace {

const IID* const kDispatchInterfaces[] = {
    &IID_ILdap,         &IID_ILdap2,    &IID_ILdap3,           &IID_IQuery,           &IID_IQuery2,
    &IID_IQueryEntries, &IID_IQuerySub, &IID_IQueryEntriesSub, &IID_IQueryEntriesSub2};
constexpr size_t kSlots = sizeof(kDispatchInterfaces) / sizeof(kDispatchInterfaces[0]);

ITypeInfo* volatile g_slots[kSlots];

// The member names of one interface with their DISPIDs.
using MemberNames = std::vector<std::pair<std::wstring, DISPID>>;
MemberNames* volatile g_names[kSlots];
volatile LONG g_load_count = 0;

HRESULT Load(REFIID iid, LCID lcid, ITypeInfo** out) {
  ComPtr<ITypeLib> library;
  HRESULT hr = LoadRegTypeLib(Module::Instance().LibraryId(), 1, 2, lcid, library.Put());
  if (FAILED(hr)) {
    // A DLL copied over an older one without registering finds only the older version
    // registered, or none: its own embedded library describes exactly its interfaces.
    const std::wstring path = Module::Instance().FilePath();
    if (path.empty() || FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put()))) {
      return hr;
    }
  }
  return library->GetTypeInfoOfGuid(iid, out);
}

// Member names are ASCII: fold its letters only (the C runtime's comparison goes through
// the locale on every character, which costs more than the rest of a script's call).
bool SameNameIgnoringCase(const wchar_t* a, const wchar_t* b) {
  auto fold = [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? c + (L'a' - L'A') : c; };
  for (; *a && *b; ++a, ++b) {
    if (fold(*a) != fold(*b)) return false;
  }
  return *a == *b;
}

size_t SlotOf(REFIID iid) {
  for (size_t i = 0; i < kSlots; ++i) {
    if (IsEqualIID(iid, *kDispatchInterfaces[i])) return i;
  }
  return kSlots;
}

// What a type description lends out (its attributes, a function's description), given
// back with the matching release call when the owner goes.
template <class T, void (STDMETHODCALLTYPE ITypeInfo::*Release)(T*)>
class TypeInfoLoan {
 public:
  explicit TypeInfoLoan(ITypeInfo* info) : info_(info) {}
  TypeInfoLoan(const TypeInfoLoan&) = delete;
  TypeInfoLoan& operator=(const TypeInfoLoan&) = delete;
  ~TypeInfoLoan() {
    if (loan_) (info_->*Release)(loan_);
  }
  T** Put() { return &loan_; }
  const T* operator->() const { return loan_; }

 private:
  ITypeInfo* info_;
  T* loan_ = nullptr;
};
using TypeAttrLoan = TypeInfoLoan<TYPEATTR, &ITypeInfo::ReleaseTypeAttr>;
using FuncDescLoan = TypeInfoLoan<FUNCDESC, &ITypeInfo::ReleaseFuncDesc>;

// The whole table or none: a table missing a member would answer "unknown name" for it
// for the life of the process. Null when the description cannot be read completely or
// memory runs out; the caller then asks the type description itself, and the next call
// tries again.
MemberNames* ReadNames(ITypeInfo* info) noexcept {
  try {
    auto names = std::make_unique<MemberNames>();
    TypeAttrLoan attr(info);
    if (FAILED(info->GetTypeAttr(attr.Put()))) return nullptr;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
      FuncDescLoan func(info);
      Bstr name;
      if (FAILED(info->GetFuncDesc(i, func.Put())) ||
          FAILED(info->GetDocumentation(func->memid, name.Put(), nullptr, nullptr, nullptr)) ||
          !name.Get()) {
        return nullptr;
      }
      names->emplace_back(name.Get(), func->memid);
    }
    return names.release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

HRESULT TypeInfoCache::GetIDsOfNames(REFIID iid, LCID lcid, LPOLESTR* names, UINT count,
                                     DISPID* ids) {
  ITypeInfo* info = nullptr;
  const HRESULT hr = Get(iid, lcid, &info);
  if (FAILED(hr)) return hr;
  const size_t slot = SlotOf(iid);
  if (count != 1 || !names || !names[0] || !ids) return DispGetIDsOfNames(info, names, count, ids);
  if (!g_names[slot]) {
    MemberNames* made = ReadNames(info);
    if (!made) return DispGetIDsOfNames(info, names, count, ids);
    if (InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&g_names[slot]), made,
                                          nullptr) != nullptr) {
      delete made;
    }
  }
  for (const auto& [name, id] : *g_names[slot]) {
    if (SameNameIgnoringCase(name.c_str(), names[0])) {
      ids[0] = id;
      return S_OK;
    }
  }
  ids[0] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

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
  for (auto& slot : g_names) {
    delete static_cast<MemberNames*>(
        InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&slot), nullptr));
  }
  for (auto& slot : g_slots) {
    auto* info = static_cast<ITypeInfo*>(
        InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&slot), nullptr));
    if (info) info->Release();
  }
}

bool IntegerArgument(const VARIANT& arg, LONG* value) {
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&arg), 0, VT_I4))) return false;
  *value = V_I4(&converted);
  return true;
}

LONG TypeInfoCache::LoadCount() {
  return g_load_count;
}

}  // namespace quillon
