// The module's entry points, class object, lock count and aggregation.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "module/module.h"
#include "test_support.h"

namespace quillon {
namespace {

ComPtr<IClassFactory> LdapFactory() {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(DllGetClassObject(CLSID_Ldap, IID_IClassFactory, factory.PutVoid()), S_OK);
  return factory;
}

TEST(Module, ClassObjectOnlyForTheLdapClass) {
  void* p = reinterpret_cast<void*>(1);
  // Result classes have no class identifier of their own: ask with their IIDs.
  EXPECT_EQ(DllGetClassObject(IID_IQuery, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(DllGetClassObject(CLSID_Ldap, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(DllGetClassObject(CLSID_Ldap, IID_ILdap, &p), E_NOINTERFACE);
}

TEST(Module, ConcurrentFirstRequestsShareOneClassObject) {
  std::vector<IUnknown*> got(8, nullptr);
  std::vector<std::thread> threads;
  for (auto& slot : got) {
    threads.emplace_back(
        [&slot] { DllGetClassObject(CLSID_Ldap, IID_IUnknown, reinterpret_cast<void**>(&slot)); });
  }
  for (auto& t : threads) t.join();
  for (IUnknown* p : got) {
    EXPECT_EQ(p, got[0]);
    p->Release();
  }
}

TEST(Module, UnloadWaitsForObjectsLocksAndClassObjectReferences) {
  ASSERT_EQ(DllCanUnloadNow(), S_OK);
  {
    ComPtr<IClassFactory> factory = LdapFactory();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "a client reference to the class object";
    ComPtr<ILdap> ldap;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ILdap, ldap.PutVoid()), S_OK);
    factory.Reset();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "a live Ldap object";
    ldap.Reset();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
  }
  ComPtr<IClassFactory> factory = LdapFactory();
  factory->LockServer(TRUE);
  factory.Reset();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "an outstanding LockServer(TRUE)";
  LdapFactory()->LockServer(FALSE);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(Module, FailedQueryDestroysTheNewObject) {
  ComPtr<IClassFactory> factory = LdapFactory();
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IQuery, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ILdap, nullptr), E_POINTER);
  factory.Reset();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(Module, LdapAnswersItsInterfacesWithOneIdentity) {
  ComPtr<ILdap> ldap = test::NewLdap();
  ComPtr<IDispatch> dispatch;
  ComPtr<IUnknown> unknown1, unknown2;
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(ldap.As(IID_IDispatch, &dispatch), S_OK);
  EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(ldap.Get()));
  ASSERT_EQ(ldap.As(IID_ISupportErrorInfo, &support), S_OK);
  ASSERT_EQ(ldap.As(IID_IUnknown, &unknown1), S_OK);
  ASSERT_EQ(support.As(IID_IUnknown, &unknown2), S_OK);
  EXPECT_EQ(unknown1.Get(), unknown2.Get());
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ILdap), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ILdap2), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
  ComPtr<IQuery> none;
  EXPECT_EQ(ldap.As(IID_IQuery, &none), E_NOINTERFACE);
}

// An outer object that aggregates the Ldap object and counts its own references.
class Outer final : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner_->QueryInterface(riid, ppv);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }
  ULONG refs_ = 1;
  IUnknown* inner_ = nullptr;
};

TEST(Module, AggregationOnlyThroughIUnknown) {
  Outer outer;
  ComPtr<IClassFactory> factory = LdapFactory();
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(&outer, IID_ILdap, &p), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(p, nullptr);
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner_)),
            S_OK);
  {
    ComPtr<ILdap> ldap;
    ASSERT_EQ(outer.QueryInterface(IID_ILdap, ldap.PutVoid()), S_OK);
    EXPECT_EQ(outer.refs_, 2u) << "the inner object's interfaces count on the outer object";
    ComPtr<IUnknown> identity;
    ASSERT_EQ(ldap.As(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer));
    SHORT is_error = -1;
    EXPECT_EQ(ldap->get_IsError(&is_error), S_OK);
    EXPECT_EQ(is_error, 0);
  }
  EXPECT_EQ(outer.refs_, 1u);
  factory.Reset();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  outer.inner_->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace quillon
