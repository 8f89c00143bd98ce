// Query against an in-memory response: what is asked of the library, how the response
// becomes columns and rows, that everything handed out is given back, and the results'
// collections as a script host uses them.
#include <gtest/gtest.h>

#include <random>

#include "memory_ldap.h"
#include "module/variant.h"
#include "results/result_builder.h"
#include "results/row_placement.h"
#include "results/value_text.h"
#include "session/attribute_list.h"
#include "session/connection.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::FieldsOf;
using test::MemoryEntry;
using Names = std::vector<std::string>;

Names Split(std::string_view text, std::string_view sort = "", UINT cp = 1252) {
  Names names;
  SplitAttributeList(text, ';', sort, &names, CodePage(cp));
  return names;
}

TEST(AttributeList, Syntax) {
  EXPECT_EQ(Split("cn;mail"), (Names{"cn", "mail"}));
  EXPECT_EQ(Split("cn;mail;"), (Names{"cn", "mail"}));
  EXPECT_EQ(Split("cn;;mail"), (Names{"cn", "mail"}));
  EXPECT_EQ(Split(";cn"), (Names{"cn"}));
  EXPECT_EQ(Split(" \t;; "), Names{});
  EXPECT_EQ(Split("cn;userCertificate;binary;mail"),
            (Names{"cn", "userCertificate;binary", "mail"}));
  EXPECT_EQ(Split("cn;BINARYx;mail"), (Names{"cn;BINARY", "mail"}));
  EXPECT_EQ(Split("cn;binaryData"), (Names{"cn;binary", "ata"}));
  EXPECT_EQ(Split("a\\;b;c"), (Names{"a;b", "c"}));
  EXPECT_EQ(Split("cn;a\\;"), (Names{"cn"}));
  EXPECT_EQ(Split("a\\;\\;b"), (Names{"a;;b"}));
  EXPECT_EQ(Split("cn;mail;sn", "MAIL"), (Names{"mail", "cn", "sn"}));
  EXPECT_EQ(Split("cn;mail;mail", "mail"), (Names{"mail", "mail", "cn"}));
}

TEST(AttributeList, DoubleByteCharactersAreNeverSplitOrEscaped) {
  // In code page 932 the second byte of 0x95 0x5C is a backslash when read alone.
  const std::string hyou = "\x95\x5C";
  EXPECT_EQ(Split("x" + hyou + ";y", "", 932), (Names{"x" + hyou, "y"}));
  EXPECT_EQ(Split("x" + hyou + ";y", "", 1252), (Names{"x\x95;y"})) << "the same bytes in 1252";
  EXPECT_EQ(Split(hyou + ";" + hyou, hyou, 932), (Names{hyou, hyou}));
  // The character after the binary option goes whole, though it is two bytes.
  EXPECT_EQ(Split("cn;binary" + hyou + "x;mail", "", 932), (Names{"cn;binary", "x", "mail"}));
  EXPECT_EQ(Split("cn;binary\x82\x60x;mail", "", 932), (Names{"cn;binary", "x", "mail"}));
}

// A column whose cells hold the given values (embedded zero bytes kept).
ResultTree TreeOf(const std::vector<std::vector<std::string>>& cells) {
  ResultTree tree;
  tree.columns.push_back(ResultColumn{"sort", {}, {}, false});
  ResultColumn& column = tree.columns[0];
  for (const auto& values : cells) {
    ResultCell cell{static_cast<uint32_t>(column.values.size()),
                    static_cast<uint32_t>(values.size())};
    for (const std::string& v : values) {
      column.values.push_back(
          ResultValue{tree.bytes.Copy(v.data(), v.size()), static_cast<unsigned long>(v.size())});
    }
    column.cells.push_back(cell);
  }
  return tree;
}

// The placement as written down: each row in arrival order walks the rows placed so
// far, comparing the text of its first value with text against the text of each placed
// row's first value.
std::vector<size_t> WalkRows(const std::vector<std::vector<std::string>>& cells, bool ascending,
                             bool case_sensitive, const CodePage& cp) {
  const auto text = [&](const std::string& v) { return SortText(v.c_str(), cp); };
  std::vector<size_t> placed;
  for (size_t row = 0; row < cells.size(); ++row) {
    std::string key;
    for (const std::string& v : cells[row]) {
      if (!text(v).empty()) {
        key = text(v);
        break;
      }
    }
    size_t stop = 0;
    while (stop < placed.size()) {
      const auto& other = cells[placed[stop]];
      const std::string other_key = other.empty() ? "" : text(other[0]);
      const int c = CompareSortText(other_key, key, !case_sensitive);
      if (ascending ? c > 0 : c < 0) break;
      ++stop;
    }
    placed.insert(placed.begin() + stop, row);
  }
  return placed;
}

TEST(RowPlacement, RowPlacedByALaterValueLooksEmptyToLaterRows) {
  // jpegPhoto-like cells: the first row's first value starts with a zero byte.
  const std::vector<std::vector<std::string>> cells = {
      {std::string("\0B", 2), "y"}, {"c"}, {"d"}, {"b"}};
  const ResultTree tree = TreeOf(cells);
  const CodePage cp(1252);
  EXPECT_EQ(PlaceRows(tree.columns[0], true, true, cp), (std::vector<size_t>{0, 3, 1, 2}));
  EXPECT_EQ(PlaceRows(tree.columns[0], false, true, cp), (std::vector<size_t>{2, 1, 3, 0}));
}

TEST(RowPlacement, AgreesWithTheInsertionWalk) {
  // Random cells whose placing and placed keys often differ: empty cells, empty first
  // values, first values starting with a zero byte, case variants and double-byte text.
  std::mt19937 random(7);
  // Legacy text in the code page and UTF-8 text (\xC3\xA9 is an accented e).
  const std::string values[] = {
      "a",        "A",    "b",  "B",        "10",       "9",           "", std::string("\0z", 2),
      "\x83\x41", "\xB1", "ab", "\x82\x60", "\xC3\xA9", "\xE3\x81\x82"};
  for (UINT page : {932u, 1252u}) {
    const CodePage cp(page);
    for (int round = 0; round < 40; ++round) {
      std::vector<std::vector<std::string>> cells(1 + random() % 120);
      for (auto& cell : cells) {
        cell.resize(random() % 4);
        for (auto& v : cell) v = values[random() % 14];
      }
      const ResultTree tree = TreeOf(cells);
      for (int ascending = 0; ascending < 2; ++ascending) {
        for (int case_sensitive = 0; case_sensitive < 2; ++case_sensitive) {
          ASSERT_EQ(PlaceRows(tree.columns[0], ascending, case_sensitive, cp),
                    WalkRows(cells, ascending, case_sensitive, cp))
              << "code page " << page << " round " << round << " ascending " << ascending
              << " case " << case_sensitive;
        }
      }
    }
  }
}

TEST(ValueText, ValidUtf8BeyondAsciiIsReadAsUtf8) {
  EXPECT_TRUE(IsUtf8BeyondAscii("M\xC3\xBCller"));
  EXPECT_TRUE(IsUtf8BeyondAscii("\xF0\x9F\x98\x80"));  // beyond the 16-bit range
  for (const char* bytes : {"plain", "", "M\xFCller", "\xC0\x80", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xE3\x81", "\x83\x41"}) {
    EXPECT_FALSE(IsUtf8BeyondAscii(bytes)) << "not UTF-8 beyond ASCII: " << bytes;
  }
  const auto text = [](std::string_view bytes, UINT cp) {
    Bstr b(ValueText(bytes, CodePage(cp)));
    return std::wstring(b.Get(), SysStringLen(b.Get()));
  };
  EXPECT_EQ(text(" M\xC3\xBCller\t", 932), L"M\x00FCller");
  EXPECT_EQ(text(" \xE3\x81\x82 ", 932), L"\x3042") << "space after a lead byte";
  EXPECT_EQ(text("M\xFCller ", 1252), L"M\x00FCller");
  EXPECT_EQ(SortText("M\xFCller", CodePage(1252)), "M\xC3\xBCller");
}

TEST(SortPosition, CodePageCharacterOrder) {
  // Half-width katakana (single byte 0xB1) sorts before a double-byte character (0x8341).
  EXPECT_LT(CompareMultibyte("\xB1", "\x83\x41", false, CodePage(932)), 0);
  EXPECT_GT(CompareMultibyte("\xB1", "\x83\x41", false, CodePage(1252)), 0);
  EXPECT_EQ(CompareMultibyte("ABC", "abc", true, CodePage(1252)), 0);
  EXPECT_GT(CompareMultibyte("_", "A", false, CodePage(1252)), 0);
  EXPECT_LT(CompareMultibyte("_", "A", true, CodePage(1252)), 0) << "folds to lower case";
}

class QueryTest : public testing::Test {
 protected:
  void SetUp() override {
    ldap_ = test::NewLdap();
    ldap_->put_ServerName(Bstr(L"dir").Get());
    ldap_->DN(Bstr(L"ou").Get(), Bstr(L"People").Get());
  }
  void TearDown() override {
    result_.Put();
    ldap_.Reset();
    EXPECT_EQ(lib_.outstanding, 0) << "everything the library handed out is given back";
  }
  void Set(HRESULT (STDMETHODCALLTYPE ILdap::*setter)(BSTR), const wchar_t* text) {
    (ldap_.Get()->*setter)(Bstr(text).Get());
  }
  IQuery* Run() {
    EXPECT_EQ(ldap_->Query(result_.Put()), S_OK);
    EXPECT_EQ(result_.Type(), VT_DISPATCH);
    query_.Reset();
    if (V_DISPATCH(result_.Get()))
      V_DISPATCH(result_.Get())->QueryInterface(IID_IQuery, query_.PutVoid());
    return query_.Get();
  }
  // Every column as "name: row values|...; ..."
  std::string Table() {
    std::string out;
    LONG columns = 0;
    query_->get_Count(&columns);
    for (LONG c = 1; c <= columns; ++c) {
      Variant item, rows;
      query_->get_Item(c, item.Get());
      ComPtr<IQueryEntries> column;
      V_DISPATCH(item.Get())->QueryInterface(IID_IQueryEntries, column.PutVoid());
      Bstr name;
      column->get_Attributes(name.Put());
      out += ToText(name.Get()) + ":";
      column->ValuesList(rows.Get());
      ComPtr<IQuerySub> list;
      V_DISPATCH(rows.Get())->QueryInterface(IID_IQuerySub, list.PutVoid());
      LONG count = 0;
      list->get_Count(&count);
      for (LONG r = 1; r <= count; ++r) {
        Variant row, values;
        list->get_Item(r, row.Get());
        ComPtr<IQueryEntriesSub> cell;
        V_DISPATCH(row.Get())->QueryInterface(IID_IQueryEntriesSub, cell.PutVoid());
        cell->get_Value(values.Get());
        SAFEARRAY* array = V_ARRAY(values.Get());
        out += " ";
        for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
          out += (i ? "|" : "") + ToText(V_BSTR(&static_cast<VARIANT*>(array->pvData)[i]));
        }
        if (!array->rgsabound[0].cElements) out += "-";
      }
      out += ";";
    }
    return out;
  }

  test::MemoryLdap lib_;
  ComPtr<ILdap> ldap_;
  Variant result_;
  ComPtr<IQuery> query_;
};

std::vector<MemoryEntry> People() {
  return {{"cn=b,ou=People", {{"cn", {"b"}}, {"mail", {"b1", "b2"}}}},
          {"cn=A,ou=People", {{"cn", {"A"}}, {"telephoneNumber", {"1"}}}},
          {"cn=a,ou=People", {{"cn", {"a"}}, {"mail", {"a1"}}}}};
}

TEST_F(QueryTest, SearchRequestCarriesBaseFilterScopeTrimmedNamesAndLimits) {
  lib_.entries = People();
  Set(&ILdap::put_Attributes, L" cn ; mail;");
  Set(&ILdap::put_Scope, L"subtree");
  ldap_->put_MaxRows(50);
  ldap_->put_Timeout(7);
  ASSERT_NE(Run(), nullptr);
  EXPECT_EQ(lib_.base, "ou=People");
  EXPECT_EQ(lib_.filter, "(objectclass=*)");
  EXPECT_EQ(lib_.scope, 2u);
  EXPECT_EQ(lib_.attrs, (Names{"cn", "mail"}));
  EXPECT_EQ(lib_.size_limit, 50u);
  EXPECT_EQ(lib_.time_limit, 7);
  EXPECT_EQ(Table(), "cn: b A a;mail: b1|b2 - a1;");
}

TEST_F(QueryTest, WithoutAListEveryNameAppearsOnceAndTheSortNameLeads) {
  lib_.entries = People();
  Set(&ILdap::put_Sort, L"TELEPHONENUMBER");
  ldap_->put_SortAscending(0);
  ASSERT_NE(Run(), nullptr);
  EXPECT_TRUE(lib_.attrs_null);
  EXPECT_EQ(lib_.time_limit, -1) << "no client time-out without Timeout";
  EXPECT_EQ(Table(), "telephoneNumber: 1 - -;cn: A b a;mail: - b1|b2 a1;");
}

TEST_F(QueryTest, ListedSortNameMustMatchExactlyOrSortingStopsForGood) {
  lib_.entries = People();
  Set(&ILdap::put_Sort, L"mail");
  Set(&ILdap::put_Attributes, L"cn;MAIL");
  ASSERT_NE(Run(), nullptr);
  EXPECT_EQ(Table(), "MAIL: b1|b2 - a1;cn: b A a;");
  EXPECT_EQ(FieldsOf(ldap_).sort, "");
  Set(&ILdap::put_Attributes, L"cn;mail");
  ASSERT_NE(Run(), nullptr);
  EXPECT_EQ(Table(), "cn: b A a;mail: b1|b2 - a1;") << "still unsorted";
}

TEST_F(QueryTest, DnColumnValuesAndSizes) {
  lib_.entries = {
      {"cn=x,ou=People", {{"description", {" Smith "}}, {"photo", {std::string("ab\0cd", 5)}}}}};
  Set(&ILdap::put_Attributes, L"dn;description;photo");
  ASSERT_NE(Run(), nullptr);
  EXPECT_EQ(Table(), "dn: cn=x,ou=People;description: Smith;photo: ab;");
  const ResultTree& tree = *FieldsOf(ldap_).result_tree;
  EXPECT_EQ(tree.columns[1].ValuesOf(tree.columns[1].cells[0])[0].length, 7u);
  EXPECT_EQ(tree.columns[2].ValuesOf(tree.columns[2].cells[0])[0].length, 5u);
}

TEST_F(QueryTest, FailuresGiveANullResultAndFreeThePartialResponse) {
  lib_.entries = People();
  lib_.search_rc = LDAP_SIZELIMIT_EXCEEDED;
  EXPECT_EQ(Run(), nullptr);
  EXPECT_EQ(V_DISPATCH(result_.Get()), nullptr);
  EXPECT_EQ(FieldsOf(ldap_).error_reason, LdapErrorText(LDAP_SIZELIMIT_EXCEEDED));
  lib_.search_rc = 0;
  lib_.count_fails = true;
  EXPECT_EQ(Run(), nullptr);
  EXPECT_EQ(FieldsOf(ldap_).error_reason, LdapErrorText(-1));
  lib_.count_fails = false;
  lib_.no_response = true;
  EXPECT_EQ(Run(), nullptr) << "a success code without a response is never counted";
}

TEST_F(QueryTest, NoMatchIsAnErrorOnlyWithoutAList) {
  EXPECT_EQ(Run(), nullptr);
  EXPECT_EQ(FieldsOf(ldap_).error_reason, "No match result found");
  Set(&ILdap::put_Attributes, L"cn");
  ASSERT_NE(Run(), nullptr);
  EXPECT_EQ(FieldsOf(ldap_).is_error, 0);
  EXPECT_EQ(FieldsOf(ldap_).error_reason, "No match result found") << "the reason stays";
  EXPECT_EQ(Table(), "cn:;");
}

// Seven entries whose sort keys are spread over the pages, and a name that only the last
// page carries.
std::vector<MemoryEntry> Spread() {
  std::vector<MemoryEntry> entries;
  for (const char* key : {"g", "c", "e", "a", "c", "b", "f"}) {
    const std::string cn = key + std::to_string(entries.size());
    entries.push_back({"cn=" + cn, {{"cn", {cn}}, {"sn", {key}}}});
  }
  entries.back().attributes.push_back({"mail", {"late"}});
  return entries;
}

TEST_F(QueryTest, PagesGiveThePlainResultSortedOverAllOfThem) {
  lib_.entries = Spread();
  for (const wchar_t* attributes : {L"cn;sn", L""}) {
    SCOPED_TRACE(testing::Message() << "Attributes '" << ToText(attributes) << "'");
    Set(&ILdap::put_Attributes, attributes);
    Set(&ILdap::put_Sort, L"sn");
    ldap_->put_SortAscending(0);
    lib_.page_sizes.clear();
    ASSERT_NE(Run(), nullptr);
    const std::string plain = Table();
    EXPECT_TRUE(lib_.page_sizes.empty()) << "PageSize 0 sends no page control";
    ComPtr<ILdap2> ldap2;
    ldap_.As(IID_ILdap2, &ldap2);
    ldap2->put_PageSize(2);
    ASSERT_NE(Run(), nullptr);
    EXPECT_EQ(Table(), plain);
    EXPECT_EQ(lib_.page_sizes, (std::vector<ULONG>{2, 2, 2, 2}));
    EXPECT_FALSE(lib_.critical) << "a server without paging must still answer";
    ldap2->put_PageSize(0);
  }
  EXPECT_EQ(lib_.outstanding, 0) << "every page, control and cookie given back";
}

TEST_F(QueryTest, PagedSearchKeepsThePlainLimitsAndServersWithoutPaging) {
  lib_.entries = Spread();
  Set(&ILdap::put_Attributes, L"cn");
  ComPtr<ILdap2> ldap2;
  ldap_.As(IID_ILdap2, &ldap2);
  ldap2->put_PageSize(2);
  ldap_->put_MaxRows(3);
  EXPECT_EQ(Run(), nullptr);
  EXPECT_EQ(FieldsOf(ldap_).error_reason, LdapErrorText(LDAP_SIZELIMIT_EXCEEDED));
  EXPECT_EQ(lib_.page_sizes.size(), 2u) << "no page read after the limit is passed";
  ldap_->put_MaxRows(7);
  ASSERT_NE(Run(), nullptr);
  EXPECT_EQ(Table(), "cn: g0 c1 e2 a3 c4 b5 f6;");

  lib_.paging = false;  // the server ignores the control and sends everything at once
  lib_.searches = 0;
  ASSERT_NE(Run(), nullptr);
  EXPECT_EQ(Table(), "cn: g0 c1 e2 a3 c4 b5 f6;");
  EXPECT_EQ(lib_.searches, 1);

  // Timeout bounds the whole search, not each page: three pages of 0.6 s exceed 1 s.
  lib_.paging = true;
  lib_.search_delay_ms = 600;
  lib_.time_limits.clear();
  ldap2->put_PageSize(3);
  ldap_->put_Timeout(1);
  EXPECT_EQ(Run(), nullptr);
  EXPECT_EQ(FieldsOf(ldap_).error_reason, LdapErrorText(LDAP_TIMEOUT));
  EXPECT_EQ(lib_.time_limits.size(), 2u);
  EXPECT_EQ(lib_.time_limits[1], 0) << "the second page gets what is left of the second";
  EXPECT_EQ(lib_.outstanding, 0);
}

TEST_F(QueryTest, CollectionsAsAScriptHostUsesThem) {
  lib_.entries = People();
  Set(&ILdap::put_Attributes, L"cn;mail");
  IQuery* query = Run();
  ASSERT_NE(query, nullptr);
  EXPECT_EQ(query->get_Count(nullptr), E_POINTER);
  Variant item;
  EXPECT_EQ(query->get_Item(0, item.Get()), E_INVALIDARG);
  EXPECT_EQ(item.Type(), VT_UNKNOWN);
  EXPECT_EQ(query->get_Item(3, item.Put()), E_INVALIDARG);
  EXPECT_EQ(query->get_Item(1, nullptr), E_POINTER);

  ComPtr<IUnknown> unknown;
  ASSERT_EQ(query->get__NewEnum(unknown.Put()), S_OK);
  ComPtr<IEnumVARIANT> items;
  ASSERT_EQ(unknown.As(IID_IEnumVARIANT, &items), S_OK);
  query_.Reset();
  result_.Put();
  ldap_.Reset();  // the enumerator alone keeps the items and the tree alive
  VARIANT got[3];
  ULONG fetched = 0;
  EXPECT_EQ(items->Next(3, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 2u);
  for (ULONG i = 0; i < fetched; ++i) VariantClear(&got[i]);
  EXPECT_EQ(items->Reset(), S_OK);
  EXPECT_EQ(items->Skip(1), S_OK);
  ComPtr<IEnumVARIANT> clone;
  ASSERT_EQ(items->Clone(clone.Put()), S_OK);
  EXPECT_EQ(items->Skip(2), S_FALSE);
  EXPECT_EQ(clone->Next(1, got, &fetched), S_OK) << "the clone starts where its source stood";
  ComPtr<IQueryEntries> column;
  V_DISPATCH(&got[0])->QueryInterface(IID_IQueryEntries, column.PutVoid());
  VariantClear(&got[0]);
  Bstr name;
  column->get_Attributes(name.Put());
  EXPECT_STREQ(name.Get(), L"mail");
  Variant first, second;
  column->ValuesList(first.Get());
  column->ValuesList(second.Get());
  EXPECT_NE(V_DISPATCH(first.Get()), V_DISPATCH(second.Get())) << "a new collection each call";
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  column.Reset();
  items.Reset();
  clone.Reset();
  unknown.Reset();
  first.Put();
  second.Put();
  EXPECT_EQ(DllCanUnloadNow(), S_OK) << "every result object and enumerator counted";
}

// The frequent reads a script makes are answered without the type library's dispatcher;
// they must behave exactly as the dispatched call, failures included.
TEST_F(QueryTest, DirectReadsThroughIDispatchMatchTheDispatcher) {
  lib_.entries = People();
  Set(&ILdap::put_Attributes, L"cn;mail");
  IQuery* query = Run();
  ASSERT_NE(query, nullptr);
  auto invoke = [](IDispatch* object, DISPID id, VARIANT* args, UINT count, VARIANT* out) {
    DISPPARAMS params{args, nullptr, count, 0};
    EXCEPINFO exception{};
    return object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, out,
                          &exception, nullptr);
  };
  LONG two = 2;
  VARIANT index[4];
  for (VARIANT& v : index) VariantInit(&v);
  V_VT(&index[0]) = VT_I2;
  V_I2(&index[0]) = 2;
  V_VT(&index[1]) = VT_BYREF | VT_I4;
  V_I4REF(&index[1]) = &two;
  V_VT(&index[2]) = VT_BSTR;
  V_BSTR(&index[2]) = SysAllocString(L"2");
  for (int i = 0; i < 3; ++i) {
    Variant column;
    ASSERT_EQ(invoke(query, DISPID_VALUE, &index[i], 1, column.Get()), S_OK) << "form " << i;
    ComPtr<IQueryEntries> entries;
    V_DISPATCH(column.Get())->QueryInterface(IID_IQueryEntries, entries.PutVoid());
    Bstr name;
    entries->get_Attributes(name.Put());
    EXPECT_STREQ(name.Get(), L"mail");
  }
  VariantClear(&index[2]);
  V_VT(&index[3]) = VT_I4;
  V_I4(&index[3]) = 0;
  Variant none;
  EXPECT_NE(invoke(query, DISPID_VALUE, &index[3], 1, none.Get()), S_OK) << "Item(0) still fails";

  Variant column, rows, row, by_dispatch, by_vtable;
  query->get_Item(2, column.Get());
  ComPtr<IQueryEntries> entries;
  V_DISPATCH(column.Get())->QueryInterface(IID_IQueryEntries, entries.PutVoid());
  entries->ValuesList(rows.Get());
  ComPtr<IQuerySub> list;
  V_DISPATCH(rows.Get())->QueryInterface(IID_IQuerySub, list.PutVoid());
  list->get_Item(1, row.Get());
  ASSERT_EQ(invoke(V_DISPATCH(row.Get()), 1, nullptr, 0, by_dispatch.Get()), S_OK);
  ComPtr<IQueryEntriesSub> cell;
  V_DISPATCH(row.Get())->QueryInterface(IID_IQueryEntriesSub, cell.PutVoid());
  cell->get_Value(by_vtable.Get());
  EXPECT_EQ(by_dispatch.Type(), VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(VarCmp(&static_cast<VARIANT*>(V_ARRAY(by_dispatch.Get())->pvData)[1],
                   &static_cast<VARIANT*>(V_ARRAY(by_vtable.Get())->pvData)[1], 0, 0),
            VARCMP_EQ);
  Variant sizes;
  ASSERT_EQ(invoke(V_DISPATCH(row.Get()), 2, nullptr, 0, sizes.Get()), S_OK);
  EXPECT_EQ(V_I4(&static_cast<VARIANT*>(V_ARRAY(sizes.Get())->pvData)[0]), 2);
}

}  // namespace
}  // namespace quillon
