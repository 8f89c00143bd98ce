#include "tools/pagehost/value_enum.h"

#include <new>

namespace pagehost {

namespace {

class TextEnum final : public IEnumVARIANT {
 public:
  TextEnum(std::vector<std::wstring> texts, size_t at) : texts_(std::move(texts)), at_(at) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IEnumVARIANT))
      return E_NOINTERFACE;
    *out = static_cast<IEnumVARIANT*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }
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
  LONG refs_ = 1;
  std::vector<std::wstring> texts_;
  size_t at_;
};

}  // namespace

IEnumVARIANT* NewTextEnum(std::vector<std::wstring> texts) {
  return new (std::nothrow) TextEnum(std::move(texts), 0);
}

}  // namespace pagehost
