// The class object of a creatable class. Its reference count is interlocked because the
// entry points may be called from any thread. The module's own cached reference does not
// lock the module; every reference a client holds does.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace quillon {

class ClassFactory final : public IClassFactory {
 public:
  using CreateInstanceFn = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

  // Makes a class object holding only the module's cached reference.
  static HRESULT Create(CreateInstanceFn create_instance, IUnknown** out);

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  explicit ClassFactory(CreateInstanceFn create_instance) : create_instance_(create_instance) {}

  volatile LONG refs_ = 1;  // the module's cached reference
  CreateInstanceFn create_instance_;
};

}  // namespace quillon
