// IUnknown for every object of the page host: a thread-safe count that starts with the
// creator's reference, and QueryInterface over the interfaces the class names. The
// component's own base (module/com_object.h) does not fit here: it counts without locks,
// for objects of one apartment, and holds the component's module, while the host's objects
// are released from the threads of other requests and of the watchdog.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace pagehost {

template <class... Interfaces>
class RefCounted : public Interfaces... {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;
  virtual ~RefCounted() = default;

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = Interface(riid);
    if (!*out) return E_NOINTERFACE;
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }

 protected:
  // The interface riid names (IUnknown included), or null.
  virtual void* Interface(REFIID riid) = 0;

 private:
  LONG refs_ = 1;  // the creator's reference
};

}  // namespace pagehost
