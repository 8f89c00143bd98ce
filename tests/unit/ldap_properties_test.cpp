// The Ldap object's state after creation and after each setter: what no script can read.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "test_support.h"

namespace quillon {
namespace {

using test::FieldsOf;
using test::NewLdap;

TEST(LdapProperties, FreshObject) {
  ComPtr<ILdap> ldap = NewLdap();
  const LdapFields& f = FieldsOf(ldap);
  EXPECT_EQ(f.is_error, 0);
  EXPECT_EQ(f.error_reason, "");
  EXPECT_EQ(f.component_name, "Quillon");
  EXPECT_EQ(f.current_operation, -1);
  EXPECT_EQ(f.port, -1);
  EXPECT_EQ(f.timeout, 0);
  EXPECT_EQ(f.max_rows, 0);
  EXPECT_EQ(f.filter, "(objectclass=*)");
  EXPECT_EQ(f.scope, 1);
  EXPECT_EQ(f.sort_ascending, 1);
  EXPECT_EQ(f.sort_case_sensitive, 1);
  EXPECT_TRUE(f.server_name.empty() && f.dn.empty() && f.new_rdn.empty() && f.sort.empty());
  EXPECT_TRUE(f.staged_attributes.empty() && f.staged_value_pool.empty());
  EXPECT_EQ(f.result_tree, nullptr);

  Bstr reason;
  ASSERT_EQ(ldap->get_ErrorReason(reason.Put()), S_OK);
  ASSERT_NE(reason.Get(), nullptr) << "an empty reason is an empty string, not a null one";
  EXPECT_EQ(reason.Length(), 0u);
}

TEST(LdapProperties, TextsAreStoredAsGivenUpToTheFirstZero) {
  ComPtr<ILdap> ldap = NewLdap();
  Bstr server(L"dir1\0evil", 9), user(L" cn=admin "), password(L""), attributes(L" cn;mail ");
  ldap->put_ServerName(server.Get());
  ldap->put_UserName(user.Get());
  ldap->put_Password(password.Get());
  ldap->put_Attributes(attributes.Get());
  const LdapFields& f = FieldsOf(ldap);
  EXPECT_EQ(f.server_name, "dir1");
  EXPECT_EQ(f.user_name, " cn=admin ");
  EXPECT_EQ(f.password, "");
  EXPECT_EQ(f.attributes, " cn;mail ");
  ldap->put_ServerName(nullptr);
  EXPECT_EQ(f.server_name, "");
}

TEST(LdapProperties, FilterAndSortAreTrimmedAndNeverEmptied) {
  ComPtr<ILdap> ldap = NewLdap();
  const LdapFields& f = FieldsOf(ldap);
  ldap->put_Filter(Bstr(L" \t(cn=Ann Lee)\r\n").Get());
  EXPECT_EQ(f.filter, "(cn=Ann Lee)");
  ldap->put_Filter(Bstr(L"  \t ").Get());
  ldap->put_Filter(nullptr);
  EXPECT_EQ(f.filter, "(cn=Ann Lee)");
  ldap->put_Sort(Bstr(L" sn ").Get());
  ldap->put_Sort(Bstr(L"").Get());
  EXPECT_EQ(f.sort, "sn");
}

TEST(LdapProperties, ScopeWords) {
  ComPtr<ILdap> ldap = NewLdap();
  const LdapFields& f = FieldsOf(ldap);
  const struct {
    const wchar_t* text;
    long scope;
  } cases[] = {{L"base", 0}, {L"BASE", 0},  {L"SubTree", 2}, {L"onelevel", 1},
               {L"one", 1},  {L" base", 1}, {L"", 1},        {L"subtree ", 1}};
  for (const auto& c : cases) {
    ldap->put_Scope(Bstr(L"base").Get());
    ldap->put_Scope(Bstr(c.text).Get());
    EXPECT_EQ(f.scope, c.scope) << "Scope \"" << testing::PrintToString(std::wstring(c.text))
                                << "\"";
  }
}

TEST(LdapProperties, ScopeUnderADoubleByteCodePage) {
  test::ScopedThreadLocale japanese(test::kJapanese);
  ComPtr<ILdap> ldap = NewLdap();
  ldap->put_Scope(Bstr(L"SUBTREE").Get());
  EXPECT_EQ(FieldsOf(ldap).scope, 2);
  // Fullwidth letters are other characters, not another case of the same word.
  ldap->put_Scope(Bstr(L"\xFF42\xFF41\xFF53\xFF45").Get());
  EXPECT_EQ(FieldsOf(ldap).scope, 1);
}

TEST(LdapProperties, NumbersAndTheirLimits) {
  ComPtr<ILdap> ldap = NewLdap();
  const LdapFields& f = FieldsOf(ldap);
  ldap->put_Port(-5);
  EXPECT_EQ(f.port, -1);
  ldap->put_Port(0);
  EXPECT_EQ(f.port, 0);
  ldap->put_Port(636);
  EXPECT_EQ(f.port, 636);
  ldap->put_Timeout(-1);
  EXPECT_EQ(f.timeout, 0);
  ldap->put_Timeout(30);
  EXPECT_EQ(f.timeout, 30);
  ldap->put_MaxRows(0x80000000u);
  EXPECT_LT(f.max_rows, 0) << "2^31 and above impose no limit";
  ldap->put_MaxRows(25);
  EXPECT_EQ(f.max_rows, 25);
  ldap->put_SortAscending(0);
  ldap->put_SortCaseSensitive(-7);
  EXPECT_EQ(f.sort_ascending, 0);
  EXPECT_EQ(f.sort_case_sensitive, -7);
}

class FilterFileTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    path_ =
        std::wstring(dir) + L"quillon-filter-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
  }
  void TearDown() override { DeleteFileW(path_.c_str()); }
  void Write(const std::string& bytes) {
    FILE* f = _wfopen(path_.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  std::string FilterAfterReading() {
    ComPtr<ILdap> ldap = NewLdap();
    ldap->put_Filter(Bstr(L"(previous=1)").Get());
    EXPECT_EQ(ldap->put_FilterFile(Bstr(path_.c_str()).Get()), S_OK);
    EXPECT_EQ(FieldsOf(ldap).is_error, 0);
    return FieldsOf(ldap).filter;
  }
  std::wstring path_;
};

TEST_F(FilterFileTest, TakesTheTextAsStoredWithItsLineBreak) {
  Write("(&(sn=Lee)(mail=*))\r\n");
  EXPECT_EQ(FilterAfterReading(), "(&(sn=Lee)(mail=*))\r\n");
}

TEST_F(FilterFileTest, StopsAtAZeroByte) {
  Write(std::string("(cn=a)\0(cn=b)", 13));
  EXPECT_EQ(FilterAfterReading(), "(cn=a)");
}

TEST_F(FilterFileTest, MissingEmptyOrZeroLeadingFilesKeepThePreviousFilter) {
  EXPECT_EQ(FilterAfterReading(), "(previous=1)") << "missing file";
  Write("");
  EXPECT_EQ(FilterAfterReading(), "(previous=1)") << "empty file";
  Write(std::string("\0(cn=a)", 7));
  EXPECT_EQ(FilterAfterReading(), "(previous=1)") << "leading zero byte";
}

TEST_F(FilterFileTest, AFileTooLargeFor32BitsIsNotReadInPart) {
  // A sparse file of 4 GiB + 7 bytes: its low 32 bits of size say 7.
  HANDLE h = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, "(cn=a)x", 7, &written, nullptr);
  LARGE_INTEGER size;
  size.QuadPart = 0x100000007LL;
  SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);
  EXPECT_EQ(FilterAfterReading(), "(previous=1)");
}

}  // namespace
}  // namespace quillon
