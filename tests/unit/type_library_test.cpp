// The registered type library, read back member by member: the contract with pages and
// compiled clients. Also IDispatch served from it.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/dispatch.h"
#include "module/variant.h"
#include "test_support.h"

namespace quillon {
namespace {

struct Member {
  MEMBERID id;
  INVOKEKIND kind;
  std::wstring name;
  std::vector<std::wstring> params;  // names as stored; a put value has none
  std::wstring help;
  std::vector<VARTYPE> types;  // out-parameters as VT_BYREF | the pointed-to type
  SHORT slot = 0;              // the vtable offset, set when read back
};

ComPtr<ITypeLib> Library() {
  ComPtr<ITypeLib> library;
  EXPECT_EQ(LoadRegTypeLib(LIBID_QUILLONLib, 1, 2, 0, library.Put()), S_OK);
  return library;
}

std::wstring Name(ITypeInfo* info, MEMBERID id, std::wstring* help = nullptr) {
  Bstr name, doc;
  info->GetDocumentation(id, name.Put(), doc.Put(), nullptr, nullptr);
  if (help) *help = doc.Get() ? doc.Get() : L"";
  return name.Get() ? name.Get() : L"";
}

std::vector<Member> Members(REFIID iid, std::wstring* help, WORD* flags) {
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(Library()->GetTypeInfoOfGuid(iid, info.Put()), S_OK);
  // The vtable half of the dual interface lists only the interface's own members.
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> vtable;
  EXPECT_EQ(info->GetRefTypeOfImplType(-1, &ref), S_OK);
  EXPECT_EQ(info->GetRefTypeInfo(ref, vtable.Put()), S_OK);
  TYPEATTR* attr = nullptr;
  vtable->GetTypeAttr(&attr);
  *flags = attr->wTypeFlags;
  Name(vtable.Get(), MEMBERID_NIL, help);
  std::vector<Member> members;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    vtable->GetFuncDesc(i, &f);
    Member m{f->memid, f->invkind, {}, {}, {}, {}, f->oVft};
    for (SHORT n = 0; n < f->cParams; ++n) {
      const TYPEDESC& t = f->lprgelemdescParam[n].tdesc;
      m.types.push_back(t.vt == VT_PTR ? VT_BYREF | t.lptdesc->vt : t.vt);
    }
    BSTR names[8] = {};
    UINT got = 0;
    vtable->GetNames(f->memid, names, 8, &got);
    m.name = names[0];
    for (UINT n = 1; n < got; ++n) m.params.push_back(names[n] ? names[n] : L"");
    for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
    Name(vtable.Get(), f->memid, &m.help);
    members.push_back(m);
    vtable->ReleaseFuncDesc(f);
  }
  vtable->ReleaseTypeAttr(attr);
  return members;
}

constexpr INVOKEKIND M = INVOKE_FUNC, G = INVOKE_PROPERTYGET, P = INVOKE_PROPERTYPUT;
constexpr VARTYPE R = VT_BYREF;  // an out-parameter

// first_slot: the vtable slot of the interface's first member, so that compiled clients'
// calls land where they always did (IDispatch has 7 slots).
void ExpectMembers(REFIID iid, const std::wstring& help, const std::vector<Member>& want,
                   int first_slot = -1) {
  std::wstring got_help;
  WORD flags = 0;
  const std::vector<Member> got = Members(iid, &got_help, &flags);
  EXPECT_EQ(got_help, help);
  EXPECT_TRUE(flags & TYPEFLAG_FDUAL);
  EXPECT_TRUE(flags & TYPEFLAG_FOLEAUTOMATION);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "member " << i + 1);
    EXPECT_EQ(got[i].id, want[i].id);
    EXPECT_EQ(got[i].kind, want[i].kind);
    EXPECT_EQ(got[i].name, want[i].name);
    EXPECT_EQ(got[i].params, want[i].params);
    EXPECT_EQ(got[i].help, want[i].help);
    EXPECT_EQ(got[i].types, want[i].types);
    if (first_slot >= 0) {
      EXPECT_EQ(got[i].slot, static_cast<SHORT>((first_slot + i) * sizeof(void*)));
    }
  }
}

TEST(TypeLibrary, LibraryAndClass) {
  ComPtr<ITypeLib> library = Library();
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 2);
  EXPECT_EQ(attr->lcid, 0u);
  EXPECT_EQ(attr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  library->ReleaseTLibAttr(attr);
  Bstr name, help;
  library->GetDocumentation(-1, name.Put(), help.Put(), nullptr, nullptr);
  EXPECT_STREQ(name.Get(), L"QUILLONLib");
  EXPECT_STREQ(help.Get(), L"Quillon 1.2 Type Library");

  ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_Ldap, coclass.Put()), S_OK);
  EXPECT_EQ(Name(coclass.Get(), MEMBERID_NIL), L"Ldap");
  TYPEATTR* type = nullptr;
  coclass->GetTypeAttr(&type);
  EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FCANCREATE);
  EXPECT_EQ(type->cImplTypes, 1);
  coclass->ReleaseTypeAttr(type);
  int impl_flags = 0;
  coclass->GetImplTypeFlags(0, &impl_flags);
  EXPECT_TRUE(impl_flags & IMPLTYPEFLAG_FDEFAULT);
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> default_interface;
  coclass->GetRefTypeOfImplType(0, &ref);
  coclass->GetRefTypeInfo(ref, default_interface.Put());
  EXPECT_EQ(Name(default_interface.Get(), MEMBERID_NIL), L"ILdap3");
  // Result classes exist only as interfaces.
  UINT coclasses = 0;
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    TYPEKIND kind;
    library->GetTypeInfoType(i, &kind);
    coclasses += kind == TKIND_COCLASS;
  }
  EXPECT_EQ(coclasses, 1u);
}

TEST(TypeLibrary, ILdapMembers) {
  ExpectMembers(
      IID_ILdap, L"ILdap Interface",
      {
          {0x1, M, L"Add", {}, L"method Add", {}},
          {0x2, P, L"Port", {}, L"property Port", {VT_I4}},
          {0x3, P, L"UserName", {}, L"property UserName", {VT_BSTR}},
          {0x4, P, L"Password", {}, L"property Password", {VT_BSTR}},
          {0x5, G, L"IsError", {L"pVal"}, L"property IsError", {R | VT_I2}},
          {0x6, G, L"ErrorReason", {L"pVal"}, L"property ErrorReason", {R | VT_BSTR}},
          {0x7, M, L"Delete", {}, L"method Delete", {}},
          {0x8, M, L"Modify", {}, L"method Modify", {}},
          {0x9, M, L"Query", {L"pVal"}, L"method Query", {R | VT_VARIANT}},
          {0xA, P, L"Attributes", {}, L"property Attributes", {VT_BSTR}},
          {0xB, P, L"Filter", {}, L"property Filter", {VT_BSTR}},
          {0xC, P, L"Timeout", {}, L"property Timeout", {VT_I4}},
          {0xE, P, L"Scope", {}, L"property Scope", {VT_BSTR}},
          {0xF, M, L"ModifyDN", {}, L"method ModifyDN", {}},
          {0x10, P, L"MaxRows", {}, L"property MaxRows", {VT_UI4}},
          {0x13, P, L"Sort", {}, L"property Sort", {VT_BSTR}},
          {0x14, P, L"SortAscending", {}, L"property SortAscending", {VT_I4}},
          {0x15, P, L"SortCaseSensitive", {}, L"property SortCaseSensitive", {VT_I4}},
          {0x16, P, L"FilterFile", {}, L"property FilterFile", {VT_BSTR}},
          {0x17,
           M,
           L"AttributeAdd",
           {L"AttributeName", L"AttributeValue", L"ValSize"},
           L"method AttributeAdd",
           {VT_BSTR, VT_VARIANT, VT_I4}},
          {0x18,
           M,
           L"AttributeModify",
           {L"AttributeName", L"AttributeValue", L"ValSize", L"Add"},
           L"method AttributeModify",
           {VT_BSTR, VT_VARIANT, VT_I4, VT_I4}},
          {0x19, M, L"DN", {L"Attribute", L"Value"}, L"method DN", {VT_BSTR, VT_BSTR}},
          {0x1A, M, L"NewRDN", {L"Attribute", L"Value"}, L"method NewRDN", {VT_BSTR, VT_BSTR}},
          {0x1D, P, L"ServerName", {}, L"property ServerName", {VT_BSTR}},
      },
      7);
}

// ILdap2 adds its own members after everything of ILdap, which it derives from.
TEST(TypeLibrary, ILdap2ExtendsILdap) {
  ExpectMembers(IID_ILdap2, L"ILdap2 Interface",
                {{0x1E, P, L"PageSize", {}, L"property PageSize", {VT_I4}},
                 {0x1F, P, L"Encryption", {}, L"property Encryption", {VT_BSTR}},
                 {0x20, G, L"ErrorCode", {L"pVal"}, L"property ErrorCode", {R | VT_I4}},
                 {0x21,
                  M,
                  L"AttributeDelete",
                  {L"AttributeName", L"AttributeValue", L"ValSize"},
                  L"method AttributeDelete",
                  {VT_BSTR, VT_VARIANT, VT_I4}}},
                31);
  ComPtr<ITypeInfo> dispatch, vtable, base;
  ASSERT_EQ(Library()->GetTypeInfoOfGuid(IID_ILdap2, dispatch.Put()), S_OK);
  HREFTYPE ref = 0;
  dispatch->GetRefTypeOfImplType(-1, &ref);
  dispatch->GetRefTypeInfo(ref, vtable.Put());
  vtable->GetRefTypeOfImplType(0, &ref);
  vtable->GetRefTypeInfo(ref, base.Put());
  EXPECT_EQ(Name(base.Get(), MEMBERID_NIL), L"ILdap");
}

// The base interface of a dual interface's vtable half.
std::wstring BaseName(REFIID iid) {
  ComPtr<ITypeInfo> dispatch, vtable, base;
  EXPECT_EQ(Library()->GetTypeInfoOfGuid(iid, dispatch.Put()), S_OK);
  HREFTYPE ref = 0;
  dispatch->GetRefTypeOfImplType(-1, &ref);
  dispatch->GetRefTypeInfo(ref, vtable.Put());
  vtable->GetRefTypeOfImplType(0, &ref);
  vtable->GetRefTypeInfo(ref, base.Put());
  return base ? Name(base.Get(), MEMBERID_NIL) : L"";
}

// ILdap3 adds the page author's toolkit after everything of ILdap2, left as it was.
TEST(TypeLibrary, ILdap3ExtendsILdap2) {
  ExpectMembers(
      IID_ILdap3, L"ILdap3 Interface",
      {{0x22, G, L"DistinguishedName", {L"pVal"}, L"property DistinguishedName", {R | VT_BSTR}},
       // GetNames answers a DISPID with the names of its first member, the get.
       {0x22, P, L"DistinguishedName", {L"pVal"}, L"property DistinguishedName", {VT_BSTR}},
       {0x23,
        M,
        L"EscapeFilterValue",
        {L"Text", L"pVal"},
        L"method EscapeFilterValue",
        {VT_BSTR, R | VT_BSTR}},
       {0x24,
        M,
        L"EscapeDNValue",
        {L"Text", L"pVal"},
        L"method EscapeDNValue",
        {VT_BSTR, R | VT_BSTR}},
       {0x25, P, L"NewParent", {}, L"property NewParent", {VT_BSTR}},
       {0x26, P, L"KeepOldRDN", {}, L"property KeepOldRDN", {VT_I4}},
       {0x27, P, L"Partial", {}, L"property Partial", {VT_I4}},
       {0x28, G, L"Truncated", {L"pVal"}, L"property Truncated", {R | VT_I2}},
       {0x29, G, L"Succeeded", {L"pVal"}, L"property Succeeded", {R | VT_I2}},
       {0x2A, P, L"KeepConnection", {}, L"property KeepConnection", {VT_I4}},
       {0x2B, M, L"ToBase64", {L"Bytes", L"pVal"}, L"method ToBase64", {VT_VARIANT, R | VT_BSTR}}},
      35);
  EXPECT_EQ(BaseName(IID_ILdap3), L"ILdap2");
}

const std::vector<Member> kCollectionMembers = {
    {0x60020000, G, L"Count", {L"retval"}, L"Returns number of items in collection.", {R | VT_I4}},
    {DISPID_VALUE,
     G,
     L"Item",
     {L"Index", L"retval"},
     L"Given an index, returns an item in the collection.",
     {VT_I4, R | VT_VARIANT}},
    {DISPID_NEWENUM,
     G,
     L"_NewEnum",
     {L"retval"},
     L"returns an enumerator for the collection.",
     {R | VT_UNKNOWN}},
};

TEST(TypeLibrary, ResultInterfaces) {
  ExpectMembers(IID_IQuery, L"IQuery Interface", kCollectionMembers);
  ExpectMembers(IID_IQuerySub, L"IQuerySub Interface", kCollectionMembers);
  ExpectMembers(IID_IQuery2, L"IQuery2 Interface",
                {{0x1,
                  M,
                  L"Column",
                  {L"Name", L"retval"},
                  L"Given a column name, returns that column, without regard to case.",
                  {VT_BSTR, R | VT_DISPATCH}}});
  EXPECT_EQ(BaseName(IID_IQuery2), L"IQuery");
  ExpectMembers(IID_IQueryEntries, L"IQueryEntries Interface",
                {{0x2, G, L"Attributes", {L"pVal"}, L"property Attributes", {R | VT_BSTR}},
                 {0x5, M, L"ValuesList", {L"newVal"}, L"method ValuesList", {R | VT_VARIANT}}});
  ExpectMembers(IID_IQueryEntriesSub, L"IQueryEntriesSub Interface",
                {{0x1, G, L"Value", {L"pVal"}, L"property Value", {R | VT_VARIANT}},
                 {0x2, M, L"ValueSize", {L"pVal"}, L"method ValueSize", {R | VT_VARIANT}}});
  // The row's second interface adds Bytes and derives from the first, left as it was.
  ExpectMembers(IID_IQueryEntriesSub2, L"IQueryEntriesSub2 Interface",
                {{0x3, G, L"Bytes", {L"pVal"}, L"property Bytes", {R | VT_VARIANT}}});
  ComPtr<ITypeInfo> info, base;
  ASSERT_EQ(Library()->GetTypeInfoOfGuid(IID_IQueryEntriesSub2, info.Put()), S_OK);
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> vtable;
  info->GetRefTypeOfImplType(-1, &ref);
  info->GetRefTypeInfo(ref, vtable.Put());
  vtable->GetRefTypeOfImplType(0, &ref);
  ASSERT_EQ(vtable->GetRefTypeInfo(ref, base.Put()), S_OK);
  TYPEATTR* attr = nullptr;
  base->GetTypeAttr(&attr);
  EXPECT_TRUE(IsEqualIID(attr->guid, IID_IQueryEntriesSub));
  base->ReleaseTypeAttr(attr);
}

TEST(Dispatch, NamesResolveWithoutRegardToCaseAndArgumentsAreCoerced) {
  ComPtr<ILdap> ldap = test::NewLdap();
  UINT count = 0;
  EXPECT_EQ(ldap->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  for (const wchar_t* spelling : {L"ServerName", L"SERVERNAME", L"servername", L"sErVeRnAmE"}) {
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(spelling);
    ASSERT_EQ(ldap->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 0x1D);
  }
  // Port given as the text "389", as a page may pass it.
  Variant port;
  V_VT(port.Get()) = VT_BSTR;
  V_BSTR(port.Get()) = SysAllocString(L"389");
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{port.Get(), &put, 1, 1};
  ASSERT_EQ(
      ldap->Invoke(0x2, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
      S_OK);
  EXPECT_EQ(test::FieldsOf(ldap).port, 389);
}

// Pages and compiled clients of any interface reach the same object; late binding knows
// every member of all three.
TEST(Dispatch, OneObjectAnswersBothInterfaces) {
  ComPtr<ILdap> ldap = test::NewLdap();
  ComPtr<ILdap2> ldap2;
  ASSERT_EQ(ldap.As(IID_ILdap2, &ldap2), S_OK);
  ComPtr<ILdap> back;
  ASSERT_EQ(ldap2.As(IID_ILdap, &back), S_OK);
  EXPECT_EQ(back.Get(), ldap.Get());
  ldap2->put_PageSize(500);
  ldap->put_Timeout(3);
  EXPECT_EQ(test::FieldsOf(ldap).page_size, 500);
  EXPECT_EQ(test::FieldsOf(ldap).timeout, 3);
  // The third interface is the same object too, and the old vtables still reach the same
  // state: a name put through ILdap3 is the one the ILdap DN call extends.
  ComPtr<ILdap3> ldap3;
  ASSERT_EQ(ldap2.As(IID_ILdap3, &ldap3), S_OK);
  ASSERT_EQ(ldap3.As(IID_ILdap, &back), S_OK);
  EXPECT_EQ(back.Get(), ldap.Get());
  Bstr given(L"ou=Staff,dc=example,dc=com");
  ASSERT_EQ(ldap3->put_DistinguishedName(given.Get()), S_OK);
  Bstr attribute(L"cn"), value(L"Ann Lee");
  ASSERT_EQ(ldap->DN(attribute.Get(), value.Get()), S_OK);
  Bstr whole;
  ASSERT_EQ(ldap3->get_DistinguishedName(whole.Put()), S_OK);
  EXPECT_STREQ(whole.Get(), L"cn=Ann Lee,ou=Staff,dc=example,dc=com");
  LONG code = 7;
  ASSERT_EQ(ldap3->get_ErrorCode(&code), S_OK);
  EXPECT_EQ(code, 0);
  for (auto [name, want] : {std::pair{L"pagesize", 0x1E},
                            {L"ENCRYPTION", 0x1F},
                            {L"Port", 0x2},
                            {L"distinguishedname", 0x22},
                            {L"TOBASE64", 0x2B}}) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    ASSERT_EQ(ldap->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << name;
    EXPECT_EQ(id, want);
  }
  Variant text;
  V_VT(text.Get()) = VT_BSTR;
  V_BSTR(text.Get()) = SysAllocString(L"ldaps");
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{text.Get(), &put, 1, 1};
  ASSERT_EQ(
      ldap->Invoke(0x1F, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
      S_OK);
  EXPECT_EQ(test::FieldsOf(ldap).encryption, Encryption::kLdaps);
}

TEST(Dispatch, TypeDescriptionsLoadOncePerProcess) {
  // Other tests may have loaded other interfaces' descriptions already; ILdap's is loaded
  // at most once here, and never again.
  const LONG before = TypeInfoCache::LoadCount();
  ComPtr<ITypeInfo> first;
  ASSERT_EQ(test::NewLdap()->GetTypeInfo(0, 0, first.Put()), S_OK);
  const LONG after_first = TypeInfoCache::LoadCount();
  EXPECT_LE(after_first - before, 1);
  for (int i = 0; i < 20; ++i) {
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(test::NewLdap()->GetTypeInfo(0, 0, info.Put()), S_OK);
    EXPECT_EQ(info.Get(), first.Get());
  }
  EXPECT_EQ(TypeInfoCache::LoadCount(), after_first);
}

}  // namespace
}  // namespace quillon
