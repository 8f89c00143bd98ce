// How AttributeAdd and AttributeModify turn automation values into staged buffers and
// group them: what no request shows directly.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/staging.h"
#include "staging_support.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::ByReference;
using test::DefaultValueObject;
using test::FieldsOf;
using test::MakeByteArray;
using test::MakeObject;
using test::MakeText;

using Strings = std::vector<std::string>;

// The bytes that belong to a staged value.
std::string Bytes(const StagedValue& v) {
  return std::string(reinterpret_cast<const char*>(v.data), v.length);
}

class StagingTest : public testing::Test {
 protected:
  void SetUp() override { ldap_ = test::NewLdap(); }

  void Add(const wchar_t* name, const VARIANT& value, LONG size = -1) {
    ASSERT_EQ(ldap_->AttributeAdd(Bstr(name).Get(), value, size), S_OK);
  }
  void AddText(const wchar_t* name, const wchar_t* text, LONG size = -1) {
    Variant v;
    MakeText(v, text);
    Add(name, *v.Get(), size);
  }
  void Modify(const wchar_t* name, const VARIANT& value, LONG size, LONG add) {
    ASSERT_EQ(ldap_->AttributeModify(Bstr(name).Get(), value, size, add), S_OK);
  }
  const std::vector<StagedAttribute>& Staged() { return FieldsOf(ldap_).staged_attributes; }
  Strings Names() {
    Strings names;
    for (const StagedAttribute& a : Staged()) names.push_back(a.name);
    return names;
  }
  Strings Values(size_t record) {
    Strings values;
    for (const StagedValue& v : Staged()[record].values) values.push_back(Bytes(v));
    return values;
  }

  ComPtr<ILdap> ldap_;
};

TEST_F(StagingTest, AttributeAddJoinsTheEarliestRecordOfTheNameWithoutRegardToCase) {
  AddText(L"mail", L"a@x");
  AddText(L"cn", L" Ann ");
  AddText(L"CN", L"Bob", 7);
  AddText(L"MAIL", L"b@x");
  AddText(L"sn", L"Lee");
  EXPECT_EQ(Names(), (Strings{"mail", "cn", "sn"}))
      << "records keep the order of their first value";
  EXPECT_EQ(Values(0), (Strings{std::string("a@x\0", 4), std::string("b@x\0", 4)}));
  EXPECT_EQ(Values(1)[0], std::string(" Ann \0", 6)) << "staged untrimmed, with its zero byte";
  EXPECT_EQ(Staged()[1].sizes, (Strings{"-1", "7"})) << "each value's own declared size";
  EXPECT_EQ(FieldsOf(ldap_).staged_value_pool.size(), 5u);
}

TEST_F(StagingTest, AttributeModifyTextsStaySeparateWhileByteArraysJoin) {
  Variant text, bytes;
  MakeText(text, L"first");
  Modify(L"description", *text.Get(), -1, 0);
  Modify(L"Description", *text.Get(), -1, 1);
  MakeByteArray(bytes, "\x01\x02");
  Modify(L"jpegPhoto", *bytes.Get(), 2, 1);
  Modify(L"JPEGPHOTO", *bytes.Get(), 2, 0);
  Modify(L"DESCRIPTION", *bytes.Get(), 2, 1);
  ASSERT_EQ(Names(), (Strings{"description", "Description", "jpegPhoto"}));
  EXPECT_EQ(Staged()[0].add_flag, 0);
  EXPECT_EQ(Staged()[0].values.size(), 2u) << "a byte array joins the earliest record";
  EXPECT_EQ(Staged()[1].add_flag, 1);
  EXPECT_EQ(Staged()[2].add_flag, 1) << "the record keeps the flag of its first call";
  EXPECT_EQ(Staged()[2].values.size(), 2u);

  // The two methods share one list: an AttributeAdd value joins a Modify record.
  AddText(L"jpegphoto", L"x");
  EXPECT_EQ(Staged()[2].values.size(), 3u);
  EXPECT_EQ(Staged()[2].add_flag, 1);
}

TEST_F(StagingTest, UnusableValuesStageNothingAndReportNothing) {
  VARIANT v;
  VariantInit(&v);
  Add(L"cn", v);  // Empty
  V_VT(&v) = VT_NULL;
  Add(L"cn", v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = 42;
  Add(L"cn", v);
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = VARIANT_TRUE;
  Modify(L"cn", v, -1, 0);
  Variant strings;
  V_VT(strings.Get()) = VT_ARRAY | VT_BSTR;
  V_ARRAY(strings.Get()) = SafeArrayCreateVector(VT_BSTR, 0, 1);
  Add(L"cn", *strings.Get(), 1);
  AddText(L"", L"no name");
  AddText(nullptr, L"no name");
  Variant none;
  MakeByteArray(none, "");
  Add(L"jpegPhoto", *none.Get(), 0);
  Variant broken;
  V_VT(broken.Get()) = VT_ARRAY | VT_UI1;  // no array behind it
  V_ARRAY(broken.Get()) = nullptr;
  Add(L"jpegPhoto", *broken.Get(), 0);
  EXPECT_TRUE(Staged().empty());
  EXPECT_TRUE(FieldsOf(ldap_).staged_value_pool.empty());
  EXPECT_EQ(FieldsOf(ldap_).is_error, 0);
}

TEST_F(StagingTest, NamesAreKeptAsGivenAndByteArraysTakeEvenAnEmptyOne) {
  AddText(L"  ", L"blank name");
  Variant bytes;
  MakeByteArray(bytes, "\x01");
  Add(L"", *bytes.Get(), 1);
  EXPECT_EQ(Names(), (Strings{"  ", ""}));
}

TEST_F(StagingTest, ByteArraysAreCopiedFromTheirFirstDimensionWithAHiddenZero) {
  Variant bytes;
  MakeByteArray(bytes, std::string("\xff\0A\x80", 4), 1);  // bounds 1 to 4
  Add(L"jpegPhoto", *bytes.Get(), 10);
  ASSERT_EQ(Staged().size(), 1u);
  const StagedValue& v = Staged()[0].values[0];
  EXPECT_EQ(Bytes(v), std::string("\xff\0A\x80", 4));
  EXPECT_EQ(v.data[4], 0) << "a zero byte after the value keeps text mode inside the buffer";
  EXPECT_EQ(Staged()[0].sizes, (Strings{"10"})) << "the declared size is recorded as given";
}

TEST_F(StagingTest, ByteArraysWhoseDataIsShorterThanTheirFirstDimensionStageNothing) {
  // A second dimension of no elements leaves no data behind a first dimension of four:
  // copying four bytes would read past the array's data.
  for (const ULONG second : {0ul, 4ul}) {
    SAFEARRAYBOUND bounds[2] = {{4 - second, 0}, {second, 1}};
    Variant v;
    V_VT(v.Get()) = VT_ARRAY | VT_UI1;
    V_ARRAY(v.Get()) = SafeArrayCreate(VT_UI1, 2, bounds);
    ASSERT_NE(V_ARRAY(v.Get()), nullptr);
    Add(L"jpegPhoto", *v.Get(), 4);
    Modify(L"jpegPhoto", *v.Get(), 4, 1);
  }
  EXPECT_TRUE(Staged().empty());
  EXPECT_TRUE(FieldsOf(ldap_).staged_value_pool.empty());
}

TEST_F(StagingTest, ByReferenceArgumentsStageWhatTheyPointAt) {
  Variant text, number, bytes;
  MakeText(text, L"Ann");
  V_VT(number.Get()) = VT_I4;
  MakeByteArray(bytes, "xy");
  Add(L"cn", ByReference(text));
  Add(L"cn", ByReference(number));
  Modify(L"photo", ByReference(bytes), 2, 0);
  BSTR direct = SysAllocString(L"Bob");
  VARIANT bstr_ref;
  V_VT(&bstr_ref) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&bstr_ref) = &direct;
  Add(L"sn", bstr_ref);
  SysFreeString(direct);
  EXPECT_EQ(Names(), (Strings{"cn", "photo", "sn"}));
  EXPECT_EQ(Values(0), (Strings{std::string("Ann\0", 4)}));
  EXPECT_EQ(Values(1), (Strings{"xy"}));
  EXPECT_EQ(Values(2), (Strings{std::string("Bob\0", 4)}));
  EXPECT_EQ(V_BSTR(text.Get()), std::wstring(L"Ann")) << "the script's variable is untouched";
}

TEST_F(StagingTest, AnObjectIsStagedAsItsDefaultValue) {
  DefaultValueObject form(L"Ann Lee");
  DefaultValueObject dictionary(nullptr);
  {
    Variant v, w;
    MakeObject(v, &form);
    MakeObject(w, &dictionary);
    Add(L"cn", *v.Get(), 3);
    Add(L"cn", ByReference(v));  // a VBScript object variable
    Modify(L"sn", *w.Get(), -1, 0);
  }
  ASSERT_EQ(Names(), (Strings{"cn"})) << "an object without a default value stages nothing";
  EXPECT_EQ(Values(0), (Strings{std::string("Ann Lee\0", 8), std::string("Ann Lee\0", 8)}));
  EXPECT_EQ(Staged()[0].sizes, (Strings{"3", "-1"}));
  EXPECT_EQ(form.refs, 1u);
  EXPECT_EQ(dictionary.refs, 1u);
}

// An object whose default value is an object: a script class whose default property
// returns Me, or a wrapper around a form field.
class ObjectValuedObject : public DefaultValueObject {
 public:
  explicit ObjectValuedObject(IDispatch* value) : DefaultValueObject(nullptr), value_(value) {}
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET) || !result) {
      return DISP_E_MEMBERNOTFOUND;
    }
    IDispatch* value = value_ ? value_ : this;
    value->AddRef();
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = value;
    return S_OK;
  }

 private:
  IDispatch* value_;  // null: the object itself
};

TEST_F(StagingTest, AnObjectWhoseDefaultValueIsItselfStagesNothing) {
  // Converting it asks for its default value for ever: the stack ran out and took the
  // web server with it. A wrapped object one level down is still staged as its text.
  DefaultValueObject field(L"Ann");
  ObjectValuedObject wrapper(&field);
  ObjectValuedObject self(nullptr);
  {
    Variant v, w;
    MakeObject(v, &self);
    MakeObject(w, &wrapper);
    Add(L"cn", *v.Get());
    Modify(L"cn", ByReference(v), -1, 0);
    Add(L"sn", *w.Get());
  }
  ASSERT_EQ(Names(), (Strings{"sn"}));
  EXPECT_EQ(Values(0), (Strings{std::string("Ann\0", 4)}));
  EXPECT_EQ(self.refs, 1u);
  EXPECT_EQ(wrapper.refs, 1u);
  EXPECT_EQ(field.refs, 1u);
}

// A string staged with a declared size of 0 or more is binary data carried in a string:
// its UTF-16LE bytes, cut or zero-padded to the declared size.
TEST_F(StagingTest, StringsWithADeclaredSizeCarryTheirOwnBytes) {
  AddText(L"userPassword", L"AB", 6);
  AddText(L"userPassword", L"\x00e9\x20ac", 3);
  AddText(L"userPassword", nullptr, 2);
  EXPECT_EQ(Values(0), (Strings{std::string("A\0B\0\0\0\0", 7), std::string("\xe9\0\xac\0", 4),
                                std::string("\0\0\0", 3)}));
}

TEST(StagingRules, ClearEmptiesPoolAndList) {
  LdapFields f;
  const CodePage cp(1252);
  PlaceStagedValue(f, "cn", std::make_unique<unsigned char[]>(1), 1, -1, 0, true, cp);
  PlaceStagedValue(f, "CN", std::make_unique<unsigned char[]>(1), 1, -1, 0, true, cp);
  PlaceStagedValue(f, "cn", std::make_unique<unsigned char[]>(1), 1, -1, 0, false, cp);
  EXPECT_EQ(FindStagedAttribute(f, "Cn", cp), &f.staged_attributes[0]);
  EXPECT_EQ(f.staged_attributes.size(), 2u);
  ClearStagedAttributes(f);
  EXPECT_TRUE(f.staged_attributes.empty() && f.staged_value_pool.empty());
  EXPECT_EQ(FindStagedAttribute(f, "cn", cp), nullptr);
}

// In a double-byte code page a trail byte is never folded: two names that differ only in
// the case of a trail byte are different attributes.
TEST(StagingRules, FindComparesMultibyteNamesWhole) {
  LdapFields f;
  const CodePage sjis(932);
  PlaceStagedValue(f, "\x83\x41", std::make_unique<unsigned char[]>(1), 1, -1, 0, true, sjis);
  EXPECT_EQ(FindStagedAttribute(f, "\x83\x61", sjis), nullptr);
  EXPECT_NE(FindStagedAttribute(f, "\x83\x41", sjis), nullptr);
}

}  // namespace
}  // namespace quillon
