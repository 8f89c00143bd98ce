// The one generic base of every class of the component, after ATL's CComObject family.
// A class lists its interfaces in an interface map and implements only its own members;
// the wrappers below give it IUnknown:
//   ComObject<T>        a plain object with its own reference count;
//   AggregatedObject<T> an inner object whose T part delegates IUnknown to the outer one.
// Every live object holds one lock on the module, so DllCanUnloadNow sees it.
//
// Objects live in a single-threaded apartment and are only called on its thread, so the
// reference counts are plain counters.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <new>
#include <utility>

#include "module/module.h"

namespace quillon {

struct InterfaceEntry {
  const IID* iid;
  void* (*cast)(void* self);
};

// Interface map row: the IID and the path from the class to the interface.
template <class Class, class Itf>
constexpr InterfaceEntry Entry(const IID* iid) {
  return {iid, [](void* self) -> void* { return static_cast<Itf*>(static_cast<Class*>(self)); }};
}

// Looks riid up in Class::kInterfaces (terminated by a null iid). IUnknown is the first
// row's interface, so the object's identity never changes.
template <class Class>
HRESULT QueryInterfaceFromMap(Class* self, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  const InterfaceEntry* map = Class::kInterfaces;
  if (IsEqualIID(riid, IID_IUnknown)) {
    *ppv = map[0].cast(self);
  } else {
    for (const InterfaceEntry* e = map; e->iid; ++e) {
      if (IsEqualIID(riid, *e->iid)) {
        *ppv = e->cast(self);
        break;
      }
    }
  }
  if (!*ppv) return E_NOINTERFACE;
  static_cast<IUnknown*>(*ppv)->AddRef();
  return S_OK;
}

template <class T>
class ComObject final : public T {
 public:
  template <class... Args>
  explicit ComObject(Args&&... args) : T(std::forward<Args>(args)...) {
    Module::Instance().Lock();
  }
  ~ComObject() { Module::Instance().Unlock(); }

  // A new object with one reference, owned by the caller; null when memory is short.
  template <class... Args>
  static ComObject* New(Args&&... args) {
    auto* object = new (std::nothrow) ComObject(std::forward<Args>(args)...);
    if (object) object->AddRef();
    return object;
  }

  // A new object queried for riid; it is destroyed at once when the query fails.
  template <class... Args>
  static HRESULT CreateInstance(REFIID riid, void** ppv, Args&&... args) {
    ComObject* object = New(std::forward<Args>(args)...);
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    return QueryInterfaceFromMap<T>(this, riid, ppv);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ULONG refs_ = 0;
};

// The T part of an aggregated object: its IUnknown is the outer object's.
template <class T>
class ContainedObject final : public T {
 public:
  explicit ContainedObject(IUnknown* outer) : outer_(outer) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    return outer_->QueryInterface(riid, ppv);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

 private:
  IUnknown* outer_;  // not counted: the outer object owns us
};

// The inner, non-delegating IUnknown that the outer object holds.
template <class T>
class AggregatedObject final : public IUnknown {
 public:
  explicit AggregatedObject(IUnknown* outer) : contained_(outer) { Module::Instance().Lock(); }
  ~AggregatedObject() { Module::Instance().Unlock(); }

  // Hands out the inner IUnknown (the only interface an aggregating outer may ask for).
  static HRESULT CreateInstance(IUnknown* outer, void** ppv) {
    auto* object = new (std::nothrow) AggregatedObject(outer);
    if (!object) return E_OUTOFMEMORY;
    object->AddRef();
    *ppv = static_cast<IUnknown*>(object);
    return S_OK;
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return QueryInterfaceFromMap<T>(&contained_, riid, ppv);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ULONG refs_ = 0;
  ContainedObject<T> contained_;
};

}  // namespace quillon
