// Add and Modify against the recording library: the exact LDAPMod arrays sent, and that
// nothing stays staged whichever way the call ends. The last tests send binary values
// through the real wldap32 to the test directory, when the suite names its port.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "recording_ldap.h"
#include "session/ldap_handles.h"
#include "session/mod_array.h"
#include "staging_support.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::DefaultValueObject;
using test::FieldsOf;
using test::MakeByteArray;
using test::MakeObject;
using test::MakeText;
using Calls = std::vector<std::string>;

class AddModifyTest : public testing::Test {
 protected:
  void SetUp() override {
    ldap_ = test::NewLdap();
    ldap_->put_ServerName(Bstr(L"127.0.0.1").Get());
    Dn(L"ou", L"People");
    Dn(L"cn", L"Ann");
  }
  void Dn(const wchar_t* attribute, const wchar_t* value) {
    ldap_->DN(Bstr(attribute).Get(), Bstr(value).Get());
  }
  void AddText(const wchar_t* name, const wchar_t* text, LONG size = -1) {
    Variant v;
    MakeText(v, text);
    ldap_->AttributeAdd(Bstr(name).Get(), *v.Get(), size);
  }
  void AddBytes(const wchar_t* name, const std::string& bytes, LONG size) {
    Variant v;
    MakeByteArray(v, bytes);
    ldap_->AttributeAdd(Bstr(name).Get(), *v.Get(), size);
  }
  void ModifyText(const wchar_t* name, const wchar_t* text, LONG add) {
    Variant v;
    MakeText(v, text);
    ldap_->AttributeModify(Bstr(name).Get(), *v.Get(), -1, add);
  }
  void ModifyBytes(const wchar_t* name, const std::string& bytes, LONG add) {
    Variant v;
    MakeByteArray(v, bytes);
    ldap_->AttributeModify(Bstr(name).Get(), *v.Get(), static_cast<LONG>(bytes.size()), add);
  }
  // The request and its modifications, without the open, bind and unbind around them.
  Calls Request() {
    EXPECT_EQ(lib_.calls.back(), "unbind");
    return Calls(lib_.calls.begin() + 3, lib_.calls.end() - 1);
  }
  bool NothingStaged() {
    return FieldsOf(ldap_).staged_attributes.empty() && FieldsOf(ldap_).staged_value_pool.empty();
  }
  std::string Reason() { return FieldsOf(ldap_).error_reason; }

  test::RecordingLdap lib_;
  ComPtr<ILdap> ldap_;
};

TEST_F(AddModifyTest, AddSendsTrimmedTextsInStagedOrder) {
  AddText(L"cn", L" \tAnn  Lee\r\n");
  AddText(L"sn", L"Lee");
  AddText(L"objectClass", L"person");
  DefaultValueObject form(L" Ann ");
  Variant object;
  MakeObject(object, &form);
  // Joins cn, which the first size made text: this value's own size plays no part.
  ldap_->AttributeAdd(Bstr(L"CN").Get(), *object.Get(), 5);
  ASSERT_EQ(ldap_->Add(), S_OK);
  EXPECT_EQ(lib_.calls[0], "open \"127.0.0.1\" 389");
  EXPECT_EQ(Request(), (Calls{"add \"cn=Ann,ou=People\"", "mod 0 \"cn\" \"Ann  Lee\" \"Ann\"",
                              "mod 0 \"sn\" \"Lee\"", "mod 0 \"objectClass\" \"person\""}));
  EXPECT_EQ(FieldsOf(ldap_).current_operation, kOpAdd);
  EXPECT_EQ(FieldsOf(ldap_).is_error, 0);
  EXPECT_TRUE(NothingStaged());
  EXPECT_EQ(FieldsOf(ldap_).dn, ",cn=Ann,ou=People");
}

TEST_F(AddModifyTest, BinaryValuesGoWithTheirOwnSizesAndNeverPastTheirBuffers) {
  AddBytes(L"jpegPhoto", std::string("\xff\xd8\0\x80", 4), 3);
  AddBytes(L"jpegPhoto", "abcd", 10);  // declares more than it holds
  AddText(L"jpegPhoto", L"text", -1);  // negative size: an empty value
  AddText(L"userPassword", L"pw", 4);  // a string's own UTF-16LE bytes
  DefaultValueObject form(L"xyz");
  Variant object;
  MakeObject(object, &form);
  ldap_->AttributeAdd(Bstr(L"description").Get(), *object.Get(), 100);
  ldap_->Add();
  EXPECT_EQ(Request(),
            (Calls{"add \"cn=Ann,ou=People\"", "mod 128 \"jpegPhoto\" 3:ffd800 4:61626364 0:",
                   "mod 128 \"userPassword\" 4:70007700", "mod 128 \"description\" 4:78797a00"}));
  EXPECT_TRUE(NothingStaged());
}

// A byte array in an attribute sent as text ends at its first zero byte, or at the hidden
// one after it, and is trimmed like any text.
TEST_F(AddModifyTest, ByteArraysSentAsTextStayInsideTheirBuffers) {
  AddText(L"description", L"first");
  AddBytes(L"description", " no zero ", 9);
  AddBytes(L"description", std::string("cut\0here", 8), 8);
  AddText(L"sn", L"Lee", 8);  // a string with a size is binary, even if it looks like text
  ldap_->Add();
  EXPECT_EQ(Request(), (Calls{"add \"cn=Ann,ou=People\"",
                              "mod 0 \"description\" \"first\" \"no zero\" \"cut\"",
                              "mod 128 \"sn\" 8:4c0065006500"
                              "0000"}));
}

TEST_F(AddModifyTest, ModifyAddsOrReplacesByTheRecordsFlag) {
  ModifyText(L"description", L"one", 0);
  ModifyText(L"description", L" two ", 0);
  ModifyText(L"mail", L"a@x", 1);
  ModifyBytes(L"jpegPhoto", "\x01", 1);
  ModifyBytes(L"jpegPhoto", "\x02", 0);  // joins the first record and its flag
  ModifyBytes(L"audio", "\x03", 0);
  AddText(L"telephoneNumber", L"1");  // staged for Add: Modify adds it
  AddBytes(L"photo", "\x04", 1);
  ASSERT_EQ(ldap_->Modify(), S_OK);
  EXPECT_EQ(Request(), (Calls{"modify \"cn=Ann,ou=People\"", "mod 2 \"description\" \"one\"",
                              "mod 2 \"description\" \"two\"", "mod 0 \"mail\" \"a@x\"",
                              "mod 128 \"jpegPhoto\" 1:01 1:02", "mod 130 \"audio\" 1:03",
                              "mod 0 \"telephoneNumber\" \"1\"", "mod 128 \"photo\" 1:04"}));
  EXPECT_EQ(FieldsOf(ldap_).current_operation, kOpModify);
  EXPECT_TRUE(NothingStaged());
}

TEST_F(AddModifyTest, ValidationInOrderSendsNothingAndDiscardsTheStagedValues) {
  ldap_->put_ServerName(Bstr(L"").Get());
  AddText(L"cn", L"Ann");
  ldap_->Add();
  EXPECT_EQ(Reason(), "Please specify LDAP Server");
  EXPECT_TRUE(NothingStaged());

  ComPtr<ILdap> fresh = test::NewLdap();
  fresh->put_ServerName(Bstr(L"127.0.0.1").Get());
  Variant v;
  MakeText(v, L"Ann");
  fresh->AttributeModify(Bstr(L"cn").Get(), *v.Get(), -1, 0);
  fresh->Modify();
  EXPECT_EQ(FieldsOf(fresh).error_reason, "Please specify valid value for DN");
  EXPECT_TRUE(FieldsOf(fresh).staged_attributes.empty());
  fresh->DN(Bstr(L"cn").Get(), Bstr(L"Ann").Get());
  fresh->Modify();
  EXPECT_EQ(FieldsOf(fresh).error_reason, "Please specify atleast necessary Attributes")
      << "the refused call discarded the values";

  ldap_->put_ServerName(Bstr(L"127.0.0.1").Get());
  ldap_->Add();
  EXPECT_EQ(Reason(), "Please specify atleast necessary Attributes");
  EXPECT_TRUE(lib_.calls.empty());
}

TEST_F(AddModifyTest, FailuresAreStickyAndStillDiscardTheStagedValues) {
  lib_.bind_rc = LDAP_INVALID_CREDENTIALS;
  lib_.texts[LDAP_INVALID_CREDENTIALS] = "Invalid Credentials";
  AddText(L"cn", L"Ann");
  ldap_->Add();
  EXPECT_EQ(Reason(), "Invalid Credentials");
  EXPECT_TRUE(NothingStaged());
  EXPECT_EQ(lib_.calls.size(), 4u) << "open, version, bind, unbind: no request";

  lib_.bind_rc = 0;
  lib_.request_rc = LDAP_ALREADY_EXISTS;
  lib_.texts[LDAP_ALREADY_EXISTS] = "Already Exists";
  AddText(L"cn", L"Ann");
  ldap_->Add();
  EXPECT_EQ(Reason(), "Already Exists");
  EXPECT_TRUE(NothingStaged());

  lib_.request_rc = 0;
  ModifyText(L"sn", L"Lee", 0);
  ldap_->Modify();
  EXPECT_EQ(FieldsOf(ldap_).is_error, 1) << "a later success leaves the error state";
  EXPECT_EQ(Reason(), "Already Exists");
  EXPECT_TRUE(NothingStaged());
  EXPECT_EQ(lib_.open_sessions, 0);
}

TEST(ModArrayRules, ModeAndOperationTable) {
  EXPECT_EQ(ModOperation(kOpAdd, false, 0), 0u);
  EXPECT_EQ(ModOperation(kOpAdd, true, 0), 0x80u);
  EXPECT_EQ(ModOperation(kOpModify, false, 7), 0u);
  EXPECT_EQ(ModOperation(kOpModify, false, 0), 2u);
  EXPECT_EQ(ModOperation(kOpModify, true, -1), 0x80u);
  EXPECT_EQ(ModOperation(kOpModify, true, 0), 0x82u);
  StagedAttribute a{"x", {}, {"-1", "5"}, 0};
  EXPECT_TRUE(IsSentAsText(a));
  a.sizes = {"0", "-1"};
  EXPECT_FALSE(IsSentAsText(a));
}

TEST_F(AddModifyTest, RemovalsGoInCallOrderAmongTheOtherChanges) {
  CLdap* ldap = static_cast<CLdap*>(ldap_.Get());
  Variant member, photo, missing, number;
  V_VT(missing.Get()) = VT_ERROR;
  V_ERROR(missing.Get()) = DISP_E_PARAMNOTFOUND;
  ModifyText(L"description", L"moved", 0);
  ldap->AttributeDelete(Bstr(L"telephoneNumber").Get(), *missing.Get(), -1);
  MakeText(member, L" cn=Bob,ou=People ");
  VARIANT by_reference = test::ByReference(member);
  ldap->AttributeDelete(Bstr(L"member").Get(), by_reference, -1);
  ModifyText(L"member", L"cn=Cy,ou=People", 1);
  MakeByteArray(photo, std::string("\xff\0\x01", 3));
  ldap->AttributeDelete(Bstr(L"userPassword").Get(), *photo.Get(), 3);
  // Like the other staging methods: numbers, Empty and Null stage nothing.
  V_VT(number.Get()) = VT_I4;
  ldap->AttributeDelete(Bstr(L"mail").Get(), *number.Get(), -1);
  V_VT(number.Get()) = VT_NULL;
  ldap->AttributeDelete(Bstr(L"mail").Get(), *number.Get(), -1);
  ldap->AttributeDelete(Bstr(L"").Get(), *missing.Get(), -1);
  ldap_->Modify();
  EXPECT_EQ(Request(),
            (Calls{"modify \"cn=Ann,ou=People\"", "mod 2 \"description\" \"moved\"",
                   "mod 1 \"telephoneNumber\"", "mod 1 \"member\" \"cn=Bob,ou=People\"",
                   "mod 0 \"member\" \"cn=Cy,ou=People\"", "mod 129 \"userPassword\" 3:ff0001"}));
  EXPECT_TRUE(NothingStaged());
}

TEST_F(AddModifyTest, AddWithARemovalStagedSendsNothing) {
  Variant missing;
  V_VT(missing.Get()) = VT_ERROR;
  V_ERROR(missing.Get()) = DISP_E_PARAMNOTFOUND;
  AddText(L"cn", L"Ann");
  static_cast<CLdap*>(ldap_.Get())->AttributeDelete(Bstr(L"mail").Get(), *missing.Get(), -1);
  ldap_->Add();
  EXPECT_TRUE(lib_.calls.empty()) << "no connection at all";
  EXPECT_EQ(Reason(),
            "Please specify values to remove (AttributeDelete) for Modify only, not for Add");
  EXPECT_TRUE(NothingStaged());
}

// --- Through the real wldap32 to the test directory ---------------------------------

std::string DirectoryPort() {
  const char* file = std::getenv("QUILLON_SLAPD_PORT_FILE");
  std::string port;
  if (file) std::ifstream(file) >> port;
  return port;
}

// The values of one attribute of one entry, read with the library directly.
std::vector<std::string> ReadValues(const std::string& port, const char* dn, const char* name) {
  std::vector<std::string> values;
  LdapSession ld(Ldap().open(const_cast<PCHAR>("127.0.0.1"), std::stoul(port)));
  if (!ld || Ldap().simple_bind_s(ld.Get(), nullptr, nullptr) != 0) return values;
  PCHAR attributes[] = {const_cast<PCHAR>(name), nullptr};
  LdapResponse response;
  if (Ldap().search_s(ld.Get(), const_cast<PCHAR>(dn), LDAP_SCOPE_BASE,
                      const_cast<PCHAR>("(objectClass=*)"), attributes, 0, response.Put()) != 0) {
    return values;
  }
  LDAPMessage* entry = Ldap().first_entry(ld.Get(), response.Get());
  if (!entry) return values;
  LdapValues found(Ldap().get_values_len(ld.Get(), entry, const_cast<PCHAR>(name)));
  for (berval** v = found.Get(); v && *v; ++v) values.emplace_back((*v)->bv_val, (*v)->bv_len);
  return values;
}

// The values of one attribute of the first entry a search finds, read back through the
// row's Bytes: every byte as received, zero bytes included.
std::vector<std::string> ReadBytes(ILdap* ldap, const wchar_t* filter, const wchar_t* name) {
  std::vector<std::string> values;
  ldap->put_Filter(Bstr(filter).Get());
  ldap->put_Attributes(Bstr(name).Get());
  Variant result, item, list, row, bytes;
  ldap->Query(result.Get());
  if (!V_DISPATCH(result.Get())) return values;
  ComPtr<IQuery> query;
  V_DISPATCH(result.Get())->QueryInterface(IID_IQuery, query.PutVoid());
  query->get_Item(1, item.Get());
  ComPtr<IQueryEntries> column;
  V_DISPATCH(item.Get())->QueryInterface(IID_IQueryEntries, column.PutVoid());
  column->ValuesList(list.Get());
  ComPtr<IQuerySub> rows;
  V_DISPATCH(list.Get())->QueryInterface(IID_IQuerySub, rows.PutVoid());
  rows->get_Item(1, row.Get());
  ComPtr<IQueryEntriesSub2> cell;
  V_DISPATCH(row.Get())->QueryInterface(IID_IQueryEntriesSub2, cell.PutVoid());
  if (!cell || FAILED(cell->get_Bytes(bytes.Get()))) return values;
  SAFEARRAY* outer = V_ARRAY(bytes.Get());
  EXPECT_EQ(outer->rgsabound[0].lLbound, 0);
  for (ULONG i = 0; i < outer->rgsabound[0].cElements; ++i) {
    const VARIANT& v = static_cast<VARIANT*>(outer->pvData)[i];
    EXPECT_EQ(V_VT(&v), VT_ARRAY | VT_UI1);
    EXPECT_EQ(V_ARRAY(&v)->rgsabound[0].lLbound, 0);
    values.emplace_back(static_cast<const char*>(V_ARRAY(&v)->pvData),
                        V_ARRAY(&v)->rgsabound[0].cElements);
  }
  return values;
}

class DirectoryTest : public testing::Test {
 protected:
  void SetUp() override {
    port_ = DirectoryPort();
    if (port_.empty()) GTEST_SKIP() << "QUILLON_SLAPD_PORT_FILE names no directory";
    ldap_ = StagingLdap();
  }
  // A new object bound as the administrator, its DN at ou=<ou>.
  ComPtr<ILdap> StagingLdap(const wchar_t* ou = L"Staging") const {
    ComPtr<ILdap> ldap = test::NewLdap();
    ldap->put_ServerName(Bstr(L"127.0.0.1").Get());
    ldap->put_Port(std::stol(port_));
    ldap->put_UserName(Bstr(L"cn=admin,dc=example,dc=com").Get());
    ldap->put_Password(Bstr(L"secret").Get());
    for (const wchar_t* dc : {L"com", L"example"}) ldap->DN(Bstr(L"dc").Get(), Bstr(dc).Get());
    ldap->DN(Bstr(L"ou").Get(), Bstr(ou).Get());
    return ldap;
  }
  void Stage(const wchar_t* name, const Variant& v, LONG size, LONG add = -2) {
    if (add == -2) {
      ldap_->AttributeAdd(Bstr(name).Get(), *v.Get(), size);
    } else {
      ldap_->AttributeModify(Bstr(name).Get(), *v.Get(), size, add);
    }
  }

  std::string port_;
  ComPtr<ILdap> ldap_;
};

TEST_F(DirectoryTest, BinaryValuesArriveByteForByte) {
  const std::string photo("\xff\xd8\xff\0\x01\x80\x7f\0", 8);
  Variant text, bytes, more;
  ldap_->DN(Bstr(L"cn").Get(), Bstr(L"Binary").Get());
  MakeText(text, L"inetOrgPerson");
  Stage(L"objectClass", text, -1);
  MakeText(text, L"Binary");
  Stage(L"cn", text, -1);
  Stage(L"sn", text, -1);
  MakeByteArray(bytes, photo);
  Stage(L"jpegPhoto", bytes, 8);
  ldap_->Add();
  EXPECT_EQ(FieldsOf(ldap_).error_reason, "");
  const char* dn = "cn=Binary,ou=Staging,dc=example,dc=com";
  EXPECT_EQ(ReadValues(port_, dn, "jpegPhoto"), std::vector<std::string>{photo});
  EXPECT_EQ(ReadBytes(StagingLdap().Get(), L"(cn=Binary)", L"jpegPhoto"),
            std::vector<std::string>{photo});

  // Replace the photo with two, the second cut to its declared size.
  MakeByteArray(more, std::string("\0\0\xfe", 3));
  Stage(L"jpegPhoto", more, 3, 0);
  MakeByteArray(more, "\x01\x02\x03\x04");
  Stage(L"jpegPhoto", more, 2, 0);
  ldap_->Modify();
  EXPECT_EQ(FieldsOf(ldap_).error_reason, "");
  std::vector<std::string> values = ReadValues(port_, dn, "jpegPhoto");
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<std::string>{std::string("\0\0\xfe", 3), "\x01\x02"}));
  EXPECT_EQ(FieldsOf(ldap_).is_error, 0);
}

// Adds cn=<cn> below the DN of the objects make gives, with the given sn and a binary
// userPassword, in the process's code page; an entry left by an earlier run is replaced.
template <class Make>
void AddPerson(Make make, const wchar_t* cn, const wchar_t* sn, const std::string& secret) {
  ComPtr<ILdap> old = make();
  old->DN(Bstr(L"cn").Get(), Bstr(cn).Get());
  old->Delete();
  ComPtr<ILdap> ldap = make();
  ldap->DN(Bstr(L"cn").Get(), Bstr(cn).Get());
  Variant v;
  for (const auto& [name, text] :
       {std::pair{L"objectClass", L"person"}, std::pair{L"cn", cn}, std::pair{L"sn", sn}}) {
    MakeText(v, text);
    ldap->AttributeAdd(Bstr(name).Get(), *v.Get(), -1);
  }
  MakeByteArray(v, secret);
  ldap->AttributeAdd(Bstr(L"userPassword").Get(), *v.Get(), static_cast<LONG>(secret.size()));
  ldap->Add();
  EXPECT_EQ(FieldsOf(ldap).is_error, 0) << FieldsOf(ldap).error_reason;
}

// "sn/size|cn/size|userPassword/size" of every row of a search, sorted on sn.
std::vector<std::wstring> ReadPeople(ILdap* ldap, const wchar_t* filter) {
  ldap->put_Filter(Bstr(filter).Get());
  ldap->put_Attributes(Bstr(L"sn;cn;userPassword").Get());
  ldap->put_Sort(Bstr(L"sn").Get());
  Variant result;
  ldap->Query(result.Get());
  std::vector<std::wstring> rows;
  if (!V_DISPATCH(result.Get())) return rows;
  ComPtr<IQuery> query;
  V_DISPATCH(result.Get())->QueryInterface(IID_IQuery, query.PutVoid());
  for (LONG c = 1; c <= 3; ++c) {
    Variant item, list;
    query->get_Item(c, item.Get());
    ComPtr<IQueryEntries> column;
    V_DISPATCH(item.Get())->QueryInterface(IID_IQueryEntries, column.PutVoid());
    column->ValuesList(list.Get());
    ComPtr<IQuerySub> sub;
    V_DISPATCH(list.Get())->QueryInterface(IID_IQuerySub, sub.PutVoid());
    LONG count = 0;
    sub->get_Count(&count);
    rows.resize(static_cast<size_t>(count));
    for (LONG r = 1; r <= count; ++r) {
      Variant row, values, sizes;
      sub->get_Item(r, row.Get());
      ComPtr<IQueryEntriesSub> cell;
      V_DISPATCH(row.Get())->QueryInterface(IID_IQueryEntriesSub, cell.PutVoid());
      cell->get_Value(values.Get());
      cell->ValueSize(sizes.Get());
      const auto* text = static_cast<VARIANT*>(V_ARRAY(values.Get())->pvData);
      const auto* size = static_cast<VARIANT*>(V_ARRAY(sizes.Get())->pvData);
      rows[static_cast<size_t>(r - 1)] +=
          std::wstring(V_BSTR(text)) + L"/" + std::to_wstring(V_I4(size)) + (c < 3 ? L"|" : L"");
    }
  }
  return rows;
}

TEST_F(DirectoryTest, TextBeyondAsciiReadsBackAsWrittenAndSortsByCharacter) {
  // The suite runs this in code page 1252 and again in 932. ou=Text holds two Japanese
  // names loaded as UTF-8: in Shift-JIS terms the bytes of the first sort after the
  // second. Each has a binary value that is not UTF-8, read through the code page as
  // always; cn is plain ASCII.
  if (const char* want = std::getenv("QUILLON_CODE_PAGE")) {
    ASSERT_EQ(CodePage().Id(), std::stoul(want)) << "the process runs in another code page";
  }
  const auto make = [this] { return StagingLdap(L"Text"); };
  const std::wstring loaded[] = {L"\x3042\x3044/6|Text-4/6|x/1", L"\x3046/3|Text-3/6|"};
  if (CodePage().Id() == 932) {
    AddPerson(make, L"Text-5", L"\x30AB\x30CA", "\xB1\xB2");
    EXPECT_EQ(ReadPeople(make().Get(), L"(|(cn=Text-3)(cn=Text-4)(cn=Text-5))"),
              (std::vector<std::wstring>{loaded[0], loaded[1] + L"\x30A2/2",
                                         L"\x30AB\x30CA/6|Text-5/6|\xFF71\xFF72/2"}));
    return;
  }
  ASSERT_EQ(CodePage().Id(), 1252u);
  AddPerson(make, L"Text-1", L"Z\x00F6llner", "\xB1\xB2");
  AddPerson(make, L"Text-2", L"M\x00FCller", "plain");
  EXPECT_EQ(ReadPeople(make().Get(), L"(|(cn=Text-1)(cn=Text-2)(cn=Text-3)(cn=Text-4))"),
            (std::vector<std::wstring>{L"M\x00FCller/7|Text-2/6|plain/5",
                                       L"Z\x00F6llner/8|Text-1/6|\x00B1\x00B2/2", loaded[0],
                                       loaded[1] + L"\x0192\x0041/2"}));
}

}  // namespace
}  // namespace quillon
