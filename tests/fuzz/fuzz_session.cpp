// The session driver: Ldap objects and every result object, called through their
// interface tables and through IDispatch::Invoke as a script host calls them, with
// arguments of every kind, against the stand-in library. Checks after every call that
// ran an operation: every library resource given back and no connection left open; after
// every call made while allocations fail: no C++ exception crossed the COM boundary.
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "alloc_faults.h"
#include "session/connection.h"
#include "harness.h"
#include "module/bstr.h"
#include "module/com_ptr.h"
#include "odd_ldap.h"
#include "quillon.h"
#include "session/ldap_object.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv);
STDAPI DllCanUnloadNow();

namespace quillon::fuzz {

namespace {

enum Kind { kLdap, kQuery, kEntries, kSub, kEntriesSub, kKinds };
const char* const kKindNames[] = {"Ldap", "Query", "QueryEntries", "QuerySub", "QueryEntriesSub"};

struct Member {
  DISPID id;
  INVOKEKIND invoke_kind;
  std::vector<VARTYPE> params;  // without the return value
};

struct Item {
  ComPtr<IDispatch> object;
  Kind kind;
};

struct Session {
  OddLdap library;
  std::vector<ComPtr<ILdap>> ldaps;
  std::vector<Item> results;
  std::vector<ComPtr<IEnumVARIANT>> enums;
  std::vector<Member> members[kKinds];
  bool members_loaded[kKinds] = {};
  std::vector<std::wstring> filter_files;
  LONG platform_kept = 0;     // argument objects the platform's dispatcher never released
  bool plain_invoke = false;  // Invoke only with members, counts and types that convert
  bool lean = false;
};

Session* g_session = nullptr;
uint64_t g_dispatcher_refusals = 0;

constexpr size_t kMaxResults = 48;
constexpr size_t kMaxEnums = 12;

// ---- checks -----------------------------------------------------------------------------

const LdapFields& FieldsOf(ILdap* ldap) {
  return static_cast<CLdap*>(ldap)->Fields();
}

void CheckLibraryQuiet(ILdap* ldap) {
  if (g_session->library.outstanding != 0) {
    Fail("%ld library resources not given back", g_session->library.outstanding);
    g_session->library.outstanding = 0;
  }
  if (ldap && FieldsOf(ldap).connection) Fail("connection left open after the call");
}

// Runs call with allocation failures armed when faults is set; a C++ exception that
// comes out of the component is a failure (inside a web server it ends the process).
template <class Call>
void Guarded(Rng& rng, bool faults, Call&& call) {
  if (faults) ArmAllocationFault(rng.Below(60), rng.OneIn(3));
  try {
    call();
  } catch (const std::exception& e) {
    DisarmAllocationFault();
    Fail("C++ exception escaped the component: %s", e.what());
    return;
  } catch (...) {
    DisarmAllocationFault();
    Fail("unknown C++ exception escaped the component");
    return;
  }
  DisarmAllocationFault();
}

// ---- pools ------------------------------------------------------------------------------

Kind KindOf(IUnknown* object) {
  static const IID* const kIids[] = {&IID_ILdap, &IID_IQuery, &IID_IQueryEntries, &IID_IQuerySub,
                                     &IID_IQueryEntriesSub};
  for (int k = 0; k < kKinds; ++k) {
    ComPtr<IUnknown> probe;
    if (SUCCEEDED(object->QueryInterface(*kIids[k], probe.PutVoid()))) return static_cast<Kind>(k);
  }
  return kKinds;
}

void Keep(Rng& rng, IDispatch* object) {
  if (!object) return;
  const Kind kind = KindOf(object);
  if (kind == kKinds) {
    Fail("a result object answers none of the component's interfaces");
    return;
  }
  if (kind == kLdap) return;
  auto& results = g_session->results;
  if (results.size() >= kMaxResults) results.erase(results.begin() + rng.Below(kMaxResults));
  results.push_back(Item{ComPtr<IDispatch>::Share(object), kind});
}

void KeepVariant(Rng& rng, VARIANT* v) {
  if (V_VT(v) == VT_DISPATCH) {
    Keep(rng, V_DISPATCH(v));
  } else if (V_VT(v) == VT_UNKNOWN && V_UNKNOWN(v)) {
    ComPtr<IEnumVARIANT> e;
    if (SUCCEEDED(V_UNKNOWN(v)->QueryInterface(IID_IEnumVARIANT, e.PutVoid()))) {
      auto& enums = g_session->enums;
      if (enums.size() >= kMaxEnums) enums.erase(enums.begin() + rng.Below(kMaxEnums));
      enums.push_back(std::move(e));
    }
  }
}

ComPtr<ILdap> NewLdap(Rng& rng) {
  ComPtr<IClassFactory> factory;
  if (FAILED(DllGetClassObject(CLSID_Ldap, IID_IClassFactory, factory.PutVoid()))) {
    Fail("no class object");
    return {};
  }
  ComPtr<ILdap> ldap;
  HRESULT hr =
      factory->CreateInstance(nullptr, rng.OneIn(3) ? IID_IDispatch : IID_ILdap, ldap.PutVoid());
  if (FAILED(hr)) Fail("CreateInstance failed: 0x%08lx", hr);
  if (rng.OneIn(10)) {
    // Aggregation asks for IUnknown; anything else is refused.
    OddObject* outer = OddObject::New(OddObject::kFailsEverything);
    ComPtr<IUnknown> inner;
    hr = factory->CreateInstance(outer, IID_IUnknown, inner.PutVoid());
    if (FAILED(hr)) Fail("aggregated CreateInstance failed: 0x%08lx", hr);
    ComPtr<IUnknown> refused;
    if (factory->CreateInstance(outer, IID_ILdap, refused.PutVoid()) != CLASS_E_NOAGGREGATION)
      Fail("aggregation with another interface than IUnknown was not refused");
    inner.Reset();
    outer->Release();
  }
  if (rng.OneIn(10)) {
    factory->LockServer(TRUE);
    factory->LockServer(FALSE);
  }
  return ldap;
}

// ---- arguments --------------------------------------------------------------------------

BSTR ArenaText(Rng& rng, Arena& arena) {
  VARIANT* v = arena.NewVariant();
  V_VT(v) = VT_BSTR;
  V_BSTR(v) = RandomBstr(rng);
  return V_BSTR(v);
}

BSTR ArenaLiteral(Arena& arena, const wchar_t* text) {
  VARIANT* v = arena.NewVariant();
  V_VT(v) = VT_BSTR;
  V_BSTR(v) = SysAllocString(text);
  return V_BSTR(v);
}

// A declared value size. Only byte arrays get sizes beyond their length: a string staged
// with a size of 0 or more takes a zeroed buffer of that size, by design.
LONG ValSize(Rng& rng, const VARIANT& value) {
  static const LONG kSizes[] = {-1, -1, -1, 0, 1, 2, 3, 7, 16, 255, 4096, 65536, LONG_MIN, -2};
  if (V_VT(&value) == (VT_ARRAY | VT_UI1) && rng.OneIn(3)) {
    return rng.OneIn(2) ? LONG_MAX : static_cast<LONG>(rng.Bits() | 0x10000000);
  }
  return kSizes[rng.Below(sizeof(kSizes) / sizeof(kSizes[0]))];
}

// A value as a page stages it: mostly text and byte arrays, anything now and then.
VARIANT StagedValue(Rng& rng, Arena& arena) {
  if (rng.OneIn(3)) {
    VARIANT* v = arena.NewVariant();
    V_VT(v) = VT_BSTR;
    V_BSTR(v) = RandomBstr(rng);
    return *v;
  }
  if (rng.OneIn(3)) {
    static const LONG kLower[] = {0, 1, -3, LONG_MIN, LONG_MAX};
    return ByteArrayVariant(arena, RandomBytes(rng, 64), kLower[rng.Below(5)]);
  }
  return RandomVariant(rng, arena);
}

void PrepareOperation(Rng& rng) {
  g_session->library.Randomize(rng, g_session->lean);
}

// ---- Ldap through its interface table ---------------------------------------------------

constexpr int kLdapMembers = 24;

void CallLdap(Rng& rng, ILdap* l, int member, bool faults) {
  Arena arena;
  HRESULT hr = S_OK;
  switch (member) {
    case 0:
    case 6:
    case 7:
    case 13: {
      static const char* const kNames[] = {"Add",    "", "", "", "", "", "Delete",
                                           "Modify", "", "", "", "", "", "ModifyDN"};
      SetAction("ILdap::%s", kNames[member]);
      PrepareOperation(rng);
      Guarded(rng, faults, [&] {
        hr = member == 0   ? l->Add()
             : member == 6 ? l->Delete()
             : member == 7 ? l->Modify()
                           : l->ModifyDN();
      });
      CheckLibraryQuiet(l);
      if (hr != S_OK) Fail("operation answered 0x%08lx", hr);
      if (member == 0 || member == 7) {
        if (!FieldsOf(l).staged_attributes.empty() || !FieldsOf(l).staged_value_pool.empty())
          Fail("values still staged after Add or Modify");
      }
      break;
    }
    case 8: {
      SetAction("ILdap::Query");
      PrepareOperation(rng);
      {
        // The members ILdap2 adds change how Query and its connection run.
        ComPtr<ILdap2> l2;
        l->QueryInterface(IID_ILdap2, l2.PutVoid());
        static const wchar_t* const kEncryptions[] = {L"none", L"ldaps", L" StartTLS ", L"tls"};
        l2->put_PageSize(rng.OneIn(2) ? 0 : static_cast<LONG>(rng.Below(5)) - 1);
        l2->put_Encryption(Bstr(kEncryptions[rng.Below(4)]).Get());
      }
      VARIANT result;
      VariantInit(&result);
      const bool null_out = rng.OneIn(20);
      Guarded(rng, faults, [&] { hr = l->Query(null_out ? nullptr : &result); });
      CheckLibraryQuiet(l);
      if (null_out) {
        if (hr != E_POINTER) Fail("Query(null) answered 0x%08lx", hr);
      } else {
        if (hr != S_OK) Fail("Query answered 0x%08lx", hr);
        if (V_VT(&result) != VT_DISPATCH) Fail("Query gave a VARIANT of type %d", V_VT(&result));
        KeepVariant(rng, &result);
        VariantClear(&result);
      }
      break;
    }
    case 4: {
      SetAction("ILdap::get_IsError");
      SHORT value = 0;
      const bool null_out = rng.OneIn(8);
      Guarded(rng, faults, [&] { hr = l->get_IsError(null_out ? nullptr : &value); });
      if (null_out ? hr != E_POINTER : (hr != S_OK || (value != 0 && value != 1)))
        Fail("IsError answered 0x%08lx, %d", hr, value);
      break;
    }
    case 5: {
      SetAction("ILdap::get_ErrorReason");
      BSTR value = nullptr;
      const bool null_out = rng.OneIn(8);
      Guarded(rng, faults, [&] { hr = l->get_ErrorReason(null_out ? nullptr : &value); });
      if (null_out && hr != E_POINTER) Fail("ErrorReason(null) answered 0x%08lx", hr);
      if (!null_out && SUCCEEDED(hr) == (value == nullptr))
        Fail("ErrorReason answered 0x%08lx with %p", hr, static_cast<void*>(value));
      SysFreeString(value);
      break;
    }
    case 1:
    case 11:
    case 16:
    case 17: {
      SetAction("ILdap number property %d", member);
      const LONG value = RandomLong(rng);
      Guarded(rng, faults, [&] {
        hr = member == 1    ? l->put_Port(value)
             : member == 11 ? l->put_Timeout(value)
             : member == 16 ? l->put_SortAscending(value)
                            : l->put_SortCaseSensitive(value);
      });
      if (hr != S_OK) Fail("number property answered 0x%08lx", hr);
      break;
    }
    case 14: {
      SetAction("ILdap::put_MaxRows");
      const ULONG value = static_cast<ULONG>(RandomLong(rng));
      Guarded(rng, faults, [&] { hr = l->put_MaxRows(value); });
      if (hr != S_OK) Fail("MaxRows answered 0x%08lx", hr);
      break;
    }
    case 19:
    case 20: {
      SetAction("ILdap::%s", member == 19 ? "AttributeAdd" : "AttributeModify");
      const BSTR name = rng.OneIn(3) ? ArenaLiteral(arena, L"cn") : ArenaText(rng, arena);
      VARIANT value = StagedValue(rng, arena);
      const LONG size = ValSize(rng, value);
      const LONG add = RandomLong(rng);
      Guarded(rng, faults, [&] {
        hr = member == 19 ? l->AttributeAdd(name, value, size)
                          : l->AttributeModify(name, value, size, add);
      });
      if (!faults && hr != S_OK) Fail("staging answered 0x%08lx", hr);
      break;
    }
    case 21:
    case 22: {
      SetAction("ILdap::%s", member == 21 ? "DN" : "NewRDN");
      const BSTR a = ArenaText(rng, arena);
      const BSTR v = ArenaText(rng, arena);
      Guarded(rng, faults, [&] { hr = member == 21 ? l->DN(a, v) : l->NewRDN(a, v); });
      if (!faults && hr != S_OK) Fail("DN or NewRDN answered 0x%08lx", hr);
      break;
    }
    case 18: {
      SetAction("ILdap::put_FilterFile");
      const auto& files = g_session->filter_files;
      const BSTR path = rng.OneIn(4) ? ArenaText(rng, arena)
                                     : ArenaLiteral(arena, files[rng.Below(files.size())].c_str());
      Guarded(rng, faults, [&] { hr = l->put_FilterFile(path); });
      if (!faults && hr != S_OK) Fail("FilterFile answered 0x%08lx", hr);
      break;
    }
    default: {
      SetAction("ILdap text property %d", member);
      const BSTR text = ArenaText(rng, arena);
      Guarded(rng, faults, [&] {
        switch (member) {
          case 2:
            hr = l->put_UserName(text);
            break;
          case 3:
            hr = l->put_Password(text);
            break;
          case 9:
            hr = l->put_Attributes(text);
            break;
          case 10:
            hr = l->put_Filter(text);
            break;
          case 12:
            hr = l->put_Scope(text);
            break;
          case 15:
            hr = l->put_Sort(text);
            break;
          default:
            hr = l->put_ServerName(text);
            break;
        }
      });
      if (!faults && hr != S_OK) Fail("text property answered 0x%08lx", hr);
      break;
    }
  }
}

// ---- result objects through their interface tables --------------------------------------

// Value and ValueSize of one row agree: one-dimensional, zero-based, as many sizes as values.
void CheckRow(IQueryEntriesSub* row) {
  VARIANT values, sizes;
  VariantInit(&values);
  VariantInit(&sizes);
  if (row->get_Value(&values) == S_OK && row->ValueSize(&sizes) == S_OK) {
    if (V_VT(&values) != (VT_ARRAY | VT_VARIANT) || V_VT(&sizes) != (VT_ARRAY | VT_VARIANT)) {
      Fail("Value or ValueSize is not an array of VARIANT");
    } else {
      LONG lv = 1, uv = 0, ls = 1, us = 0;
      SafeArrayGetLBound(V_ARRAY(&values), 1, &lv);
      SafeArrayGetUBound(V_ARRAY(&values), 1, &uv);
      SafeArrayGetLBound(V_ARRAY(&sizes), 1, &ls);
      SafeArrayGetUBound(V_ARRAY(&sizes), 1, &us);
      if (lv != 0 || ls != 0 || uv != us || SafeArrayGetDim(V_ARRAY(&values)) != 1)
        Fail("Value and ValueSize disagree: %ld..%ld and %ld..%ld", lv, uv, ls, us);
    }
  }
  VariantClear(&values);
  VariantClear(&sizes);
}

LONG RandomIndex(Rng& rng, LONG count) {
  const LONG kChoices[] = {0, 1, count, count + 1, -1, LONG_MIN, LONG_MAX, count / 2 + 1};
  return kChoices[rng.Below(8)];
}

template <class Collection>
void CallCollection(Rng& rng, Collection* c, bool faults) {
  HRESULT hr = S_OK;
  LONG count = -1;
  c->get_Count(&count);
  if (count < 0) Fail("Count is %ld", count);
  switch (rng.Below(4)) {
    case 0: {
      const bool null_out = rng.OneIn(8);
      Guarded(rng, faults, [&] { hr = c->get_Count(null_out ? nullptr : &count); });
      if (null_out && hr != E_POINTER) Fail("Count(null) answered 0x%08lx", hr);
      break;
    }
    case 1:
    case 2: {
      const LONG index = RandomIndex(rng, count);
      VARIANT item;
      VariantInit(&item);
      const bool null_out = rng.OneIn(10);
      Guarded(rng, faults, [&] { hr = c->get_Item(index, null_out ? nullptr : &item); });
      const bool in_range = index >= 1 && index <= count;
      if (null_out) {
        if (hr != E_POINTER) Fail("Item(null) answered 0x%08lx", hr);
      } else if (in_range ? (hr != S_OK || V_VT(&item) != VT_DISPATCH || !V_DISPATCH(&item))
                          : hr != E_INVALIDARG) {
        Fail("Item(%ld) of %ld answered 0x%08lx", index, count, hr);
      }
      if (!null_out) {
        KeepVariant(rng, &item);
        VariantClear(&item);
      }
      break;
    }
    default: {
      IUnknown* e = nullptr;
      const bool null_out = rng.OneIn(10);
      Guarded(rng, faults, [&] { hr = c->get__NewEnum(null_out ? nullptr : &e); });
      if (null_out && hr != E_POINTER) Fail("_NewEnum(null) answered 0x%08lx", hr);
      if (!null_out && SUCCEEDED(hr) == (e == nullptr)) Fail("_NewEnum answered 0x%08lx", hr);
      if (e) {
        VARIANT v;
        V_VT(&v) = VT_UNKNOWN;
        V_UNKNOWN(&v) = e;
        KeepVariant(rng, &v);
        e->Release();
      }
      break;
    }
  }
}

void CallResult(Rng& rng, Item& item, bool faults) {
  SetAction("vtable %s", kKindNames[item.kind]);
  HRESULT hr = S_OK;
  switch (item.kind) {
    case kQuery: {
      ComPtr<IQuery> c;
      item.object.As(IID_IQuery, &c);
      CallCollection(rng, c.Get(), faults);
      break;
    }
    case kSub: {
      ComPtr<IQuerySub> c;
      item.object.As(IID_IQuerySub, &c);
      CallCollection(rng, c.Get(), faults);
      break;
    }
    case kEntries: {
      ComPtr<IQueryEntries> e;
      item.object.As(IID_IQueryEntries, &e);
      const bool null_out = rng.OneIn(10);
      if (rng.OneIn(2)) {
        BSTR name = nullptr;
        Guarded(rng, faults, [&] { hr = e->get_Attributes(null_out ? nullptr : &name); });
        if (null_out && hr != E_POINTER) Fail("Attributes(null) answered 0x%08lx", hr);
        SysFreeString(name);
      } else {
        VARIANT rows;
        VariantInit(&rows);
        Guarded(rng, faults, [&] { hr = e->ValuesList(null_out ? nullptr : &rows); });
        if (null_out && hr != E_POINTER) Fail("ValuesList(null) answered 0x%08lx", hr);
        if (!null_out) {
          KeepVariant(rng, &rows);
          VariantClear(&rows);
        }
      }
      break;
    }
    case kEntriesSub: {
      ComPtr<IQueryEntriesSub> row;
      item.object.As(IID_IQueryEntriesSub, &row);
      if (!faults && rng.OneIn(2)) {
        CheckRow(row.Get());
        break;
      }
      VARIANT out;
      VariantInit(&out);
      const bool null_out = rng.OneIn(10);
      const bool sizes = rng.OneIn(2);
      Guarded(rng, faults, [&] {
        hr = sizes ? row->ValueSize(null_out ? nullptr : &out)
                   : row->get_Value(null_out ? nullptr : &out);
      });
      if (null_out && hr != E_POINTER) Fail("Value or ValueSize(null) answered 0x%08lx", hr);
      VariantClear(&out);
      break;
    }
    default:
      break;
  }
}

void CallEnumerator(Rng& rng, IEnumVARIANT* e, bool faults) {
  SetAction("IEnumVARIANT");
  HRESULT hr = S_OK;
  switch (rng.Below(5)) {
    case 0:
    case 1: {
      VARIANT items[8];
      for (VARIANT& v : items) VariantInit(&v);
      const ULONG count = rng.OneIn(6) ? 0 : 1 + rng.Below(8);
      ULONG fetched = 12345;
      const bool want_fetched = rng.OneIn(2);
      Guarded(rng, faults, [&] { hr = e->Next(count, items, want_fetched ? &fetched : nullptr); });
      if (want_fetched && fetched > count) Fail("Next fetched %lu of %lu", fetched, count);
      for (VARIANT& v : items) {
        KeepVariant(rng, &v);
        VariantClear(&v);
      }
      break;
    }
    case 2: {
      const ULONG count = rng.OneIn(2) ? ULONG_MAX : rng.Below(10);
      Guarded(rng, faults, [&] { hr = e->Skip(count); });
      break;
    }
    case 3:
      Guarded(rng, faults, [&] { hr = e->Reset(); });
      break;
    default: {
      IEnumVARIANT* clone = nullptr;
      Guarded(rng, faults, [&] { hr = e->Clone(&clone); });
      if (SUCCEEDED(hr) == (clone == nullptr)) Fail("Clone answered 0x%08lx", hr);
      if (clone) {
        VARIANT v;
        V_VT(&v) = VT_UNKNOWN;
        V_UNKNOWN(&v) = clone;
        KeepVariant(rng, &v);
        clone->Release();
      }
      break;
    }
  }
}

// ---- IDispatch::Invoke as a script host calls ---------------------------------------------

const std::vector<Member>& MembersOf(IDispatch* object, Kind kind) {
  Session& s = *g_session;
  if (s.members_loaded[kind]) return s.members[kind];
  s.members_loaded[kind] = true;
  ComPtr<ITypeInfo> info;
  if (FAILED(object->GetTypeInfo(0, 0, info.Put()))) {
    Fail("no type description for %s", kKindNames[kind]);
    return s.members[kind];
  }
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  for (WORD i = 0; attr && i < attr->cFuncs; ++i) {
    FUNCDESC* fd = nullptr;
    if (FAILED(info->GetFuncDesc(i, &fd))) continue;
    // IUnknown's and IDispatch's own entries are not the component's to answer.
    if (fd->memid < 0x60000000 || fd->memid >= 0x60020000) {
      Member m{fd->memid, fd->invkind, {}};
      for (SHORT p = 0; p < fd->cParams; ++p) {
        if (fd->lprgelemdescParam[p].paramdesc.wParamFlags & PARAMFLAG_FRETVAL) continue;
        m.params.push_back(fd->lprgelemdescParam[p].tdesc.vt);
      }
      s.members[kind].push_back(std::move(m));
    }
    info->ReleaseFuncDesc(fd);
  }
  if (attr) info->ReleaseTypeAttr(attr);
  if (s.members[kind].empty()) Fail("no members found for %s", kKindNames[kind]);
  return s.members[kind];
}

VARIANT PlausibleArgument(Rng& rng, Arena& arena, VARTYPE type) {
  VARIANT* v = arena.NewVariant();
  switch (type) {
    case VT_BSTR:
      V_VT(v) = VT_BSTR;
      V_BSTR(v) = RandomBstr(rng);
      break;
    case VT_VARIANT:
      return StagedValue(rng, arena);
    default:
      V_VT(v) = VT_I4;
      V_I4(v) = RandomLong(rng);
      break;
  }
  return *v;
}

void InvokeRandomly(Rng& rng, IDispatch* object, Kind kind, bool faults, ILdap* ldap) {
  const std::vector<Member>& members = MembersOf(object, kind);
  const LONG objects_before = OddObject::Live();
  Arena arena;
  DISPID id = DISPID_UNKNOWN;
  WORD flags = DISPATCH_METHOD;
  std::vector<VARIANT> args;
  // Replayed rounds call as a script host does, with arguments the dispatcher can convert:
  // a refused conversion leaks in the platform and would hide the component's own growth.
  const bool plain = g_session->plain_invoke;
  const Member* member = members.empty() || (!plain && rng.OneIn(8)) ? nullptr : &rng.Pick(members);
  // KeepConnection keeps a session open between calls on purpose, which the checks after
  // every call would report as a leak; kept sessions have tests of their own
  // (operation_test.cpp, toolkit.vbs).
  if (member && member->id == 0x2A && kind == kLdap) member = nullptr;
  if (member) {
    id = member->id;
    flags = static_cast<WORD>(member->invoke_kind);
    size_t n = member->params.size();
    if (!plain && rng.OneIn(6)) n = rng.Below(6);
    for (size_t i = 0; i < n; ++i) {
      const VARTYPE type =
          i < member->params.size() ? member->params[i] : static_cast<VARTYPE>(VT_VARIANT);
      args.push_back(!plain && rng.OneIn(3) ? RandomVariant(rng, arena)
                                            : PlausibleArgument(rng, arena, type));
    }
    // The dispatcher takes the arguments last first.
    std::reverse(args.begin(), args.end());
  } else {
    static const DISPID kIds[] = {DISPID_VALUE, DISPID_NEWENUM, DISPID_UNKNOWN, DISPID_PROPERTYPUT,
                                  0x1b,         0x1c,           0x11,           0x7FFFFFFF,
                                  -999};
    id = kIds[rng.Below(sizeof(kIds) / sizeof(kIds[0]))];
    for (uint32_t i = rng.Below(4); i > 0; --i) args.push_back(RandomVariant(rng, arena));
  }
  if (!plain && rng.OneIn(6)) flags = static_cast<WORD>(1 + rng.Below(15));
  if (flags & DISPATCH_METHOD && rng.OneIn(2)) flags |= DISPATCH_PROPERTYGET;  // VBScript
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()),
                    0};
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && !args.empty() &&
      (plain || !rng.OneIn(6))) {
    if (!plain && rng.OneIn(8)) named = static_cast<DISPID>(rng.Below(4));
    params.rgdispidNamedArgs = &named;
    params.cNamedArgs = 1;
  }
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception{};
  UINT arg_error = 0;
  const bool want_result = !rng.OneIn(8);
  const bool want_exception = rng.OneIn(2);
  static const LCID kLcids[] = {0, 0x409, 0x411, LOCALE_USER_DEFAULT, 0xFFFFFFFF};
  const LCID lcid = kLcids[rng.Below(5)];
  SetAction("%s: id %ld flags %u args %u", CurrentAction(), static_cast<long>(id), flags,
            params.cArgs);
  if (kind == kLdap) PrepareOperation(rng);
  HRESULT hr = S_OK;
  Guarded(rng, faults, [&] {
    hr = object->Invoke(id, IID_NULL, lcid, flags, &params, want_result ? &result : nullptr,
                        want_exception ? &exception : nullptr, rng.OneIn(2) ? &arg_error : nullptr);
  });
  if (kind == kLdap) CheckLibraryQuiet(ldap);
  KeepVariant(rng, &result);
  VariantClear(&result);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  std::string types;
  for (const VARIANT& a : args) types += " " + std::to_string(V_VT(&a));
  arena.Clear();
  if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW || hr == DISP_E_BADVARTYPE) {
    ++g_dispatcher_refusals;
  }
  const LONG kept = OddObject::Live() - objects_before;
  if (kept > 0 && SUCCEEDED(hr)) {
    Fail("an object passed as an argument was not released (argument types%s)", types.c_str());
  } else if (kept > 0) {
    // The platform's dispatcher keeps its copies of the arguments when it fails to coerce
    // one of them: the member never ran, so the reference is not the component's.
    g_session->platform_kept += kept;
  }
}

// ---- scenarios that reach deep: a search walked to its values, a staged change -------------

// The scenarios make many calls per step; each counts.
void SetPlausible(Rng& rng, ILdap* l, Arena& arena) {
  Progress();
  static const wchar_t* const kServers[] = {L"localhost", L"127.0.0.1", L" ", L"", L"\u8868"};
  l->put_ServerName(ArenaLiteral(arena, kServers[rng.Below(5)]));
  if (rng.OneIn(3)) l->put_Port(RandomLong(rng));
  for (uint32_t i = rng.Below(3); i > 0; --i) {
    Progress();
    l->DN(rng.OneIn(2) ? ArenaLiteral(arena, L"dc") : ArenaText(rng, arena),
          rng.OneIn(2) ? ArenaLiteral(arena, L"example") : ArenaText(rng, arena));
  }
  if (rng.OneIn(4)) l->put_Timeout(RandomLong(rng));
  if (rng.OneIn(4)) l->put_MaxRows(static_cast<ULONG>(RandomLong(rng)));
}

void QueryAndWalk(Rng& rng, ILdap* l) {
  Arena arena;
  SetPlausible(rng, l, arena);
  static const wchar_t* const kLists[] = {
      L"cn;sn;mail", L"dn;cn", L"", L"a1;a7;photo;dn;CN", L"userCertificate;binary;cn",
      L"c1;c2;c300"};
  if (rng.OneIn(3)) {
    l->put_Attributes(ArenaText(rng, arena));
  } else {
    l->put_Attributes(ArenaLiteral(arena, kLists[rng.Below(6)]));
  }
  if (rng.OneIn(2)) {
    l->put_Sort(rng.OneIn(2) ? ArenaLiteral(arena, L"cn") : ArenaText(rng, arena));
  }
  l->put_SortAscending(RandomLong(rng));
  l->put_SortCaseSensitive(RandomLong(rng));
  if (rng.OneIn(3)) l->put_Scope(ArenaText(rng, arena));
  SetAction("scenario: Query and walk");
  PrepareOperation(rng);
  VARIANT result;
  VariantInit(&result);
  if (l->Query(&result) != S_OK) Fail("Query failed");
  CheckLibraryQuiet(l);
  if (V_VT(&result) == VT_DISPATCH && V_DISPATCH(&result)) {
    SHORT is_error = 1;
    l->get_IsError(&is_error);
    if (is_error) Fail("Query gave a collection and IsError %d", is_error);
    ComPtr<IQuery> query;
    V_DISPATCH(&result)->QueryInterface(IID_IQuery, query.PutVoid());
    LONG columns = 0;
    query->get_Count(&columns);
    for (LONG c = 1; c <= columns && c <= 40; ++c) {
      Progress();
      VARIANT column;
      VariantInit(&column);
      if (query->get_Item(c, &column) != S_OK) Fail("column %ld missing", c);
      ComPtr<IQueryEntries> entries;
      V_DISPATCH(&column)->QueryInterface(IID_IQueryEntries, entries.PutVoid());
      BSTR name = nullptr;
      entries->get_Attributes(&name);
      SysFreeString(name);
      VARIANT rows;
      VariantInit(&rows);
      entries->ValuesList(&rows);
      if (V_VT(&rows) == VT_DISPATCH) {
        ComPtr<IQuerySub> sub;
        V_DISPATCH(&rows)->QueryInterface(IID_IQuerySub, sub.PutVoid());
        LONG n = 0;
        sub->get_Count(&n);
        for (LONG r = 1; r <= n && r <= 30; ++r) {
          Progress();
          VARIANT row;
          VariantInit(&row);
          sub->get_Item(r, &row);
          ComPtr<IQueryEntriesSub> cell;
          V_DISPATCH(&row)->QueryInterface(IID_IQueryEntriesSub, cell.PutVoid());
          CheckRow(cell.Get());
          if (rng.OneIn(20)) Keep(rng, V_DISPATCH(&row));
          VariantClear(&row);
        }
        if (rng.OneIn(4)) Keep(rng, V_DISPATCH(&rows));
      }
      VariantClear(&rows);
      VariantClear(&column);
    }
    if (rng.OneIn(3)) Keep(rng, V_DISPATCH(&result));
  }
  VariantClear(&result);
}

void StageAndSend(Rng& rng, ILdap* l) {
  Arena arena;
  SetPlausible(rng, l, arena);
  for (uint32_t i = 1 + rng.Below(6); i > 0; --i) {
    static const wchar_t* const kNames[] = {L"cn", L"CN", L"mail", L"photo", L"\u8868"};
    const BSTR name =
        rng.OneIn(4) ? ArenaText(rng, arena) : ArenaLiteral(arena, kNames[rng.Below(5)]);
    VARIANT value = StagedValue(rng, arena);
    const LONG size = ValSize(rng, value);
    Progress();
    if (rng.OneIn(2)) {
      l->AttributeAdd(name, value, size);
    } else {
      l->AttributeModify(name, value, size, RandomLong(rng));
    }
  }
  if (rng.OneIn(4)) l->NewRDN(ArenaText(rng, arena), ArenaText(rng, arena));
  const int op = static_cast<int>(rng.Below(3));
  SetAction("scenario: staged %s", op == 0 ? "Add" : op == 1 ? "Modify" : "ModifyDN");
  PrepareOperation(rng);
  if ((op == 0 ? l->Add() : op == 1 ? l->Modify() : l->ModifyDN()) != S_OK)
    Fail("operation failed");
  CheckLibraryQuiet(l);
}

// ---- filter files -----------------------------------------------------------------------

void WriteFile(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Fail("cannot write %ls", path.c_str());
    return;
  }
  DWORD written = 0;
  ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
}

void MakeFilterFiles(Rng& rng, const RunSettings& settings) {
  std::wstring dir(settings.work_dir.begin(), settings.work_dir.end());
  CreateDirectoryW(dir.c_str(), nullptr);
  dir += L"\\filters";
  CreateDirectoryW(dir.c_str(), nullptr);
  auto& files = g_session->filter_files;
  const std::pair<const wchar_t*, std::string> kFiles[] = {
      {L"empty.txt", ""},
      {L"plain.txt", "(cn=*)\r\n"},
      {L"nul.txt", std::string("(cn=a)\0junk", 11)},
      {L"lead.txt", "(cn=\x95\x5C\x82"},
      {L"junk.txt", RandomBytes(rng, 4096)},
      {L"big.txt", std::string(2u << 20, '(') + RandomBytes(rng, 100)},
  };
  for (const auto& [name, bytes] : kFiles) {
    files.push_back(dir + L"\\" + name);
    WriteFile(files.back(), bytes);
  }
  files.push_back(dir);                                      // a folder
  files.push_back(dir + L"\\missing.txt");                   // nothing there
  files.push_back(L"NUL");                                   // a device
  files.push_back(dir + L"\\" + std::wstring(40000, L'x'));  // beyond any path limit
  files.push_back(L"");
}

}  // namespace

uint64_t RunSessionCalls(Rng& rng, uint64_t first_call, uint64_t count,
                         const RunSettings& settings) {
  if (!g_session) {
    g_session = new Session;
    g_session->lean = settings.lean;
    MakeFilterFiles(rng, settings);
  }
  g_session->plain_invoke = settings.plain_invoke;
  Session& s = *g_session;
  const LCID english = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
  const LCID japanese = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT);
  const uint64_t start = CallsMade();
  SIZE_T before = 0;
  for (uint64_t step = 0; CallsMade() - start < count; ++step) {
    if (settings.trace_memory_kib > 0) {
      // Which steps leave memory behind: a diagnostic for a growth the rounds showed.
      const SIZE_T now = PrivateBytes();
      if (step > 0 && now > before + static_cast<SIZE_T>(settings.trace_memory_kib) * 1024) {
        fprintf(stderr, "%s: +%zu KiB\n", CurrentAction(),
                static_cast<size_t>((now - before) / 1024));
      }
      before = PrivateBytes();
    }
    const uint64_t call = first_call + (CallsMade() - start);
    // Every other stretch of 5,000 calls runs with code page 932, as on a Japanese server.
    SetThreadLocale(((call / 5000) % 2) ? japanese : english);
    Progress();
    if (s.ldaps.empty() || (s.ldaps.size() < 3 && rng.OneIn(200))) {
      SetAction("new Ldap");
      if (ComPtr<ILdap> l = NewLdap(rng)) s.ldaps.push_back(std::move(l));
      continue;
    }
    if (rng.OneIn(400)) {
      SetAction("release objects");
      s.ldaps.erase(s.ldaps.begin() + rng.Below(static_cast<uint32_t>(s.ldaps.size())));
      if (rng.OneIn(2)) s.results.clear();
      continue;
    }
    ILdap* l = s.ldaps[rng.Below(static_cast<uint32_t>(s.ldaps.size()))].Get();
    const bool faults = rng.OneIn(10);
    const uint32_t what = rng.Below(100);
    SetAction("step %llu", static_cast<unsigned long long>(step));
    if (what < 30) {
      CallLdap(rng, l, static_cast<int>(rng.Below(kLdapMembers)), faults);
    } else if (what < 48) {
      SetAction("step %llu: Invoke on Ldap", static_cast<unsigned long long>(step));
      InvokeRandomly(rng, l, kLdap, faults, l);
    } else if (what < 56) {
      SetAction("step %llu: Query and walk", static_cast<unsigned long long>(step));
      QueryAndWalk(rng, l);
    } else if (what < 61) {
      SetAction("step %llu: stage and send", static_cast<unsigned long long>(step));
      StageAndSend(rng, l);
    } else if (what < 80 && !s.results.empty()) {
      Item& item = s.results[rng.Below(static_cast<uint32_t>(s.results.size()))];
      if (rng.OneIn(2)) {
        CallResult(rng, item, faults);
      } else {
        SetAction("step %llu: Invoke on %s", static_cast<unsigned long long>(step),
                  kKindNames[item.kind]);
        InvokeRandomly(rng, item.object.Get(), item.kind, faults, nullptr);
      }
    } else if (what < 90 && !s.enums.empty()) {
      CallEnumerator(rng, s.enums[rng.Below(static_cast<uint32_t>(s.enums.size()))].Get(), faults);
    } else {
      // Identity and error-information queries on any object.
      SetAction("QueryInterface");
      static const IID* const kIids[] = {
          &IID_IUnknown,         &IID_IDispatch,    &IID_ILdap,
          &IID_IQuery,           &IID_IQuerySub,    &IID_IQueryEntries,
          &IID_IQueryEntriesSub, &IID_IEnumVARIANT, &IID_ISupportErrorInfo,
          &IID_IClassFactory,    &IID_NULL};
      IUnknown* target = l;
      if (!s.results.empty() && rng.OneIn(2)) {
        target = s.results[rng.Below(static_cast<uint32_t>(s.results.size()))].object.Get();
      }
      const IID& iid = *kIids[rng.Below(sizeof(kIids) / sizeof(kIids[0]))];
      ComPtr<IUnknown> got;
      if (SUCCEEDED(target->QueryInterface(iid, got.PutVoid()))) {
        ComPtr<ISupportErrorInfo> info;
        if (SUCCEEDED(got.As(IID_ISupportErrorInfo, &info))) {
          info->InterfaceSupportsErrorInfo(*kIids[rng.Below(sizeof(kIids) / sizeof(kIids[0]))]);
        }
      }
      if (target->QueryInterface(iid, nullptr) != E_POINTER) Fail("QueryInterface(null) accepted");
    }
  }
  SetThreadLocale(english);
  return CallsMade() - start;
}

uint64_t DispatcherRefusals() {
  return g_dispatcher_refusals;
}

void CheckSessionQuiet() {
  if (!g_session) return;
  SetAction("final release");
  g_session->enums.clear();
  g_session->results.clear();
  g_session->ldaps.clear();
  // A connect thread that outlived its operation's Timeout (a busy machine) still holds
  // its request until the stand-in library answers: wait for it before counting.
  for (int waited = 0; RunningConnectThreads() != 0 && waited < 600; ++waited) Sleep(50);
  if (RunningConnectThreads() != 0) Fail("connect threads still running after 30 s");
  CheckLibraryQuiet(nullptr);
  if (OddObject::Live() != g_session->platform_kept) {
    Fail("%ld caller objects not released", OddObject::Live() - g_session->platform_kept);
    OddObject::ReportLive();
  }
  if (g_session->platform_kept) {
    printf("argument objects kept by the platform's dispatcher after failed coercions: %ld\n",
           g_session->platform_kept);
  }
  if (DllCanUnloadNow() != S_OK) Fail("DllCanUnloadNow answers S_FALSE with everything released");
}

}  // namespace quillon::fuzz
