// No C++ exception crosses the COM boundary: every member that allocates is called with
// each of its allocations failing in turn (once, and from then on), and must answer with
// a result, leave the object consistent, close its connection and give back everything
// the library handed out. A std::bad_alloc that escaped would end the web server.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "alloc_faults.h"
#include "module/bstr.h"
#include "module/com_ptr.h"
#include "module/dispatch.h"
#include "odd_ldap.h"
#include "quillon.h"
#include "results/result_tree.h"
#include "session/ldap_object.h"

namespace quillon::fuzz {
namespace {

const LdapFields& FieldsOf(const ComPtr<ILdap>& ldap) {
  return static_cast<CLdap*>(ldap.Get())->Fields();
}

// An Ldap object with everything set that the operations read, and a value of each kind
// staged.
ComPtr<ILdap> ReadyLdap() {
  ComPtr<ILdap> ldap;
  CLdap::CreateInstance(nullptr, IID_ILdap, ldap.PutVoid());
  ldap->Delete();  // no server yet: an error text to read
  ldap->put_ServerName(Bstr(L"localhost").Get());
  ldap->DN(Bstr(L"dc").Get(), Bstr(L"example").Get());
  ldap->DN(Bstr(L"ou").Get(), Bstr(L"People").Get());
  ldap->NewRDN(Bstr(L"cn").Get(), Bstr(L"renamed").Get());
  ldap->put_Attributes(Bstr(L"cn;mail;dn").Get());
  ldap->put_Sort(Bstr(L"cn").Get());
  VARIANT text;
  VariantInit(&text);
  V_VT(&text) = VT_BSTR;
  V_BSTR(&text) = SysAllocString(L" Ann, whose name is long enough for the heap ");
  ldap->AttributeAdd(Bstr(L"cn").Get(), text, -1);
  ldap->AttributeModify(Bstr(L"mail").Get(), text, 3, 1);
  VariantClear(&text);
  return ldap;
}

OddEntry Entry(const std::string& cn) {
  OddEntry e;
  e.dn = "cn=" + cn + ",dc=example";
  e.attributes.push_back({"cn", true, {cn, cn + "2"}});
  e.attributes.push_back({"mail", true, {cn + "@example.com"}});
  return e;
}

struct Member {
  const char* name;
  bool operation;
  std::function<HRESULT(ILdap*)> call;
};

std::vector<Member> LdapMembers() {
  // Longer than the texts a string holds without allocating.
  static Bstr text(L" some text, long enough to need the heap ");
  static Bstr path(L"boundary-filter.txt");
  static const bool written = [] {
    const char filter[] = "(&(cn=someone)(objectClass=person))";
    HANDLE h = CreateFileW(path.Get(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD n = 0;
    WriteFile(h, filter, sizeof(filter) - 1, &n, nullptr);
    CloseHandle(h);
    return n == sizeof(filter) - 1;
  }();
  EXPECT_TRUE(written);
  return {
      {"Add", true, [](ILdap* l) { return l->Add(); }},
      {"Modify", true, [](ILdap* l) { return l->Modify(); }},
      {"Delete", true, [](ILdap* l) { return l->Delete(); }},
      {"ModifyDN", true, [](ILdap* l) { return l->ModifyDN(); }},
      {"Query", true,
       [](ILdap* l) {
         VARIANT v;
         VariantInit(&v);
         const HRESULT hr = l->Query(&v);
         VariantClear(&v);
         return hr;
       }},
      {"ServerName", false, [](ILdap* l) { return l->put_ServerName(text.Get()); }},
      {"UserName", false, [](ILdap* l) { return l->put_UserName(text.Get()); }},
      {"Password", false, [](ILdap* l) { return l->put_Password(text.Get()); }},
      {"Attributes", false, [](ILdap* l) { return l->put_Attributes(text.Get()); }},
      {"Filter", false, [](ILdap* l) { return l->put_Filter(text.Get()); }},
      {"Sort", false, [](ILdap* l) { return l->put_Sort(text.Get()); }},
      {"Scope", false, [](ILdap* l) { return l->put_Scope(text.Get()); }},
      {"FilterFile", false, [](ILdap* l) { return l->put_FilterFile(path.Get()); }},
      {"DN", false, [](ILdap* l) { return l->DN(text.Get(), text.Get()); }},
      {"NewRDN", false, [](ILdap* l) { return l->NewRDN(text.Get(), text.Get()); }},
      // ErrorReason converts straight into its BSTR: it makes no C++ allocation to fail.
      {"AttributeAdd", false,
       [](ILdap* l) {
         VARIANT v;
         VariantInit(&v);
         V_VT(&v) = VT_BSTR;
         V_BSTR(&v) = text.Get();
         return l->AttributeAdd(text.Get(), v, -1);
       }},
      {"AttributeModify", false,
       [](ILdap* l) {
         VARIANT v;
         VariantInit(&v);
         V_VT(&v) = VT_BSTR;
         V_BSTR(&v) = text.Get();
         return l->AttributeModify(Bstr(L"cn").Get(), v, 4, 0);
       }},
      {"AttributeDelete", false,
       [](ILdap* l) {
         VARIANT v;
         VariantInit(&v);
         V_VT(&v) = VT_BSTR;
         V_BSTR(&v) = text.Get();
         return static_cast<ILdap2*>(l)->AttributeDelete(text.Get(), v, -1);
       }},
  };
}

// Every staged value has its size, and every buffer in the pool belongs to a value.
void ExpectStagingConsistent(const LdapFields& f, const char* member) {
  size_t values = 0;
  for (const StagedAttribute& a : f.staged_attributes) {
    EXPECT_EQ(a.values.size(), a.sizes.size()) << member;
    EXPECT_TRUE(!a.values.empty() || a.remove) << member;  // only a removal may have none
    values += a.values.size();
  }
  EXPECT_EQ(values, f.staged_value_pool.size()) << member;
}

// Calls `call` with its first, second, ... allocation failing until one run needs no
// failure, with memory short once or for good; `prepare` runs before each call, with
// memory to spare. Answers how many failures were delivered.
int CallWithEveryAllocationFailing(const std::function<void()>& prepare,
                                   const std::function<HRESULT()>& call,
                                   const std::function<void(HRESULT, bool)>& check) {
  int delivered = 0;
  for (int keep_failing = 0; keep_failing < 2; ++keep_failing) {
    for (unsigned skip = 0;; ++skip) {
      prepare();
      ArmAllocationFault(skip, keep_failing != 0);
      HRESULT hr = E_FAIL;
      bool escaped = false;
      try {
        hr = call();
      } catch (...) {
        escaped = true;
      }
      const bool fired = AllocationFaultFired();
      DisarmAllocationFault();
      EXPECT_FALSE(escaped) << "a C++ exception crossed the COM boundary";
      check(hr, fired);
      if (!fired) break;
      ++delivered;
      if (skip > 5000) {
        ADD_FAILURE() << "no end to the allocations";
        break;
      }
    }
  }
  return delivered;
}

TEST(ComBoundary, NoLdapMemberLetsAnAllocationFailureOut) {
  OddLdap library;
  library.behaviour.entries = {Entry("b"), Entry("a")};
  for (const Member& m : LdapMembers()) {
    ComPtr<ILdap> ldap;
    const int delivered = CallWithEveryAllocationFailing(
        [&] { ldap = ReadyLdap(); }, [&] { return m.call(ldap.Get()); },
        [&](HRESULT hr, bool fired) {
          const LdapFields& f = FieldsOf(ldap);
          if (m.operation) {
            // An operation reports memory like any other failure: the error state.
            // (Some failures are absorbed: a stable sort without its buffer still sorts.)
            EXPECT_EQ(hr, S_OK) << m.name;
            if (fired && f.is_error) {
              EXPECT_FALSE(f.error_reason.empty()) << m.name;
            }
          } else {
            EXPECT_TRUE(hr == S_OK || (fired && hr == E_OUTOFMEMORY))
                << m.name << " 0x" << std::hex << hr;
          }
          EXPECT_FALSE(f.connection) << m.name;
          EXPECT_EQ(library.outstanding, 0) << m.name;
          ExpectStagingConsistent(f, m.name);
        });
    EXPECT_GT(delivered, 0) << m.name << " allocates nothing: not a test of anything";
  }
}

TEST(ComBoundary, NamesResolveWhileAndAfterTheNameTableFailsToBuild) {
  // The table of ILdap's member names is built on the first lookup; a table left half
  // made would fail every later lookup of the members it lacks, for good.
  ComPtr<ILdap> ldap;
  ASSERT_EQ(CLdap::CreateInstance(nullptr, IID_ILdap, ldap.PutVoid()), S_OK);
  const auto lookup = [&](const wchar_t* member, DISPID* id) {
    LPOLESTR name = const_cast<LPOLESTR>(member);
    *id = 0;
    return ldap->GetIDsOfNames(IID_NULL, &name, 1, 0, id);
  };
  DISPID id = 0;
  const int delivered = CallWithEveryAllocationFailing(
      [] { TypeInfoCache::ReleaseAll(); }, [&] { return lookup(L"ServerName", &id); },
      [&](HRESULT hr, bool) {
        EXPECT_EQ(hr, S_OK) << "the type description answers while memory is short";
        EXPECT_EQ(id, 0x1D);
        DISPID later = 0;
        EXPECT_EQ(lookup(L"serverNAME", &later), S_OK);
        EXPECT_EQ(later, 0x1D);
        EXPECT_EQ(lookup(L"Add", &later), S_OK);
        EXPECT_EQ(later, 0x1);
      });
  EXPECT_GT(delivered, 0) << "the table allocates nothing: not a test of anything";
}

TEST(ComBoundary, ValuesStagedAfterAFailedStagingAreSentWithTheirSizes) {
  // A value left without its size made the next Add read a size that is not there.
  OddLdap library;
  ComPtr<ILdap> ldap = ReadyLdap();
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(L"x");
  for (unsigned skip = 0; skip < 12; ++skip) {
    ArmAllocationFault(skip, false);
    ldap->AttributeModify(Bstr(L"cn").Get(), v, 2, 1);
    DisarmAllocationFault();
  }
  VariantClear(&v);
  ExpectStagingConsistent(FieldsOf(ldap), "AttributeModify");
  EXPECT_EQ(ldap->Add(), S_OK);
  EXPECT_EQ(library.outstanding, 0);
}

TEST(ComBoundary, ResultBytesAreAllFreedWhenMemoryRunsOutWhileTheyAreCopied) {
  // Enough values of each size that the lists of shared and large blocks both grow:
  // a block made just before its list failed to grow was lost.
  const std::string small(10 * 1024, 's'), large(40 * 1024, 'l');
  const long long before = LiveAllocatedBytes();
  const int delivered = CallWithEveryAllocationFailing(
      [] {},
      [&] {
        try {
          ByteArena arena;
          for (int i = 0; i < 40; ++i) {
            arena.Copy(small.data(), small.size());
            arena.Copy(large.data(), large.size());
          }
        } catch (const std::bad_alloc&) {
          return E_OUTOFMEMORY;
        }
        return S_OK;
      },
      [&](HRESULT, bool) { EXPECT_EQ(LiveAllocatedBytes(), before) << "bytes lost"; });
  EXPECT_GT(delivered, 80);
}

TEST(ComBoundary, NoResultMemberLetsAnAllocationFailureOut) {
  OddLdap library;
  library.behaviour.entries = {Entry("b"), Entry("a"), Entry("c")};
  ComPtr<ILdap> ldap = ReadyLdap();
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(ldap->Query(&result), S_OK);
  ASSERT_EQ(V_VT(&result), VT_DISPATCH);
  ComPtr<IQuery> query;
  ASSERT_EQ(V_DISPATCH(&result)->QueryInterface(IID_IQuery, query.PutVoid()), S_OK);
  VariantClear(&result);
  VARIANT item;
  VariantInit(&item);
  ASSERT_EQ(query->get_Item(1, &item), S_OK);
  ComPtr<IQueryEntries> column;
  V_DISPATCH(&item)->QueryInterface(IID_IQueryEntries, column.PutVoid());
  VariantClear(&item);
  VARIANT rows;
  VariantInit(&rows);
  ASSERT_EQ(column->ValuesList(&rows), S_OK);
  ComPtr<IQuerySub> sub;
  V_DISPATCH(&rows)->QueryInterface(IID_IQuerySub, sub.PutVoid());
  VariantClear(&rows);
  ASSERT_EQ(sub->get_Item(1, &item), S_OK);
  ComPtr<IQueryEntriesSub> cell;
  V_DISPATCH(&item)->QueryInterface(IID_IQueryEntriesSub, cell.PutVoid());
  VariantClear(&item);

  const auto expect_result = [](HRESULT hr, bool fired) {
    EXPECT_TRUE(hr == S_OK || (fired && hr == E_OUTOFMEMORY)) << std::hex << hr;
  };
  const std::function<HRESULT()> calls[] = {
      [&] {
        BSTR name = nullptr;
        const HRESULT hr = column->get_Attributes(&name);
        SysFreeString(name);
        return hr;
      },
      [&] {
        VARIANT v;
        const HRESULT hr = column->ValuesList(&v);
        if (SUCCEEDED(hr)) VariantClear(&v);
        return hr;
      },
      [&] {
        VARIANT v;
        const HRESULT hr = cell->get_Value(&v);
        if (SUCCEEDED(hr)) VariantClear(&v);
        return hr;
      },
      [&] {
        ComPtr<IQueryEntriesSub2> bytes;
        cell->QueryInterface(IID_IQueryEntriesSub2, bytes.PutVoid());
        VARIANT v;
        const HRESULT hr = bytes->get_Bytes(&v);
        if (SUCCEEDED(hr)) VariantClear(&v);
        return hr;
      },
      [&] {
        IUnknown* e = nullptr;
        const HRESULT hr = query->get__NewEnum(&e);
        if (e) e->Release();
        return hr;
      },
      [&] {
        IUnknown* e = nullptr;
        const HRESULT hr = sub->get__NewEnum(&e);
        if (e) e->Release();
        return hr;
      },
  };
  for (const auto& call : calls) CallWithEveryAllocationFailing([] {}, call, expect_result);
}

}  // namespace
}  // namespace quillon::fuzz
