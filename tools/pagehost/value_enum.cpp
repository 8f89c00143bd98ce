#include "tools/pagehost/value_enum.h"

#include <new>

#include "tools/pagehost/ref_counted.h"

namespace pagehost {

namespace {

class TextEnum final : public RefCounted<IEnumVARIANT> {
 public:
  TextEnum(std::vector<std::wstring> texts, size_t at) : texts_(std::move(texts)), at_(at) {}

  STDMETHODIMP Next(ULONG wanted, VARIANT* out, ULONG* fetched) override {
    if (!out) return E_POINTER;
    ULONG n = 0;
    for (; n < wanted && at_ < texts_.size(); ++n, ++at_) {
      VariantInit(&out[n]);
      V_VT(&out[n]) = VT_BSTR;
      V_BSTR(&out[n]) = SysAllocString(texts_[at_].c_str());
    }
    if (fetched) *fetched = n;
    return n == wanted ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG n) override {
    at_ = std::min<size_t>(texts_.size(), at_ + n);
    return at_ < texts_.size() ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    at_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumVARIANT** out) override {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) TextEnum(texts_, at_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  void* Interface(REFIID riid) override {
    const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumVARIANT);
    return known ? static_cast<IEnumVARIANT*>(this) : nullptr;
  }

  std::vector<std::wstring> texts_;
  size_t at_;
};

}  // namespace

IEnumVARIANT* NewTextEnum(std::vector<std::wstring> texts) {
  return new (std::nothrow) TextEnum(std::move(texts), 0);
}

}  // namespace pagehost
