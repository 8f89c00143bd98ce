// The permission decision, row by row, against a real store: the registry of this test's
// Wine prefix, INI files in the build tree, and the stand-in web server for the page.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "module/ansi_text.h"
#include "policy/hosting_policy.h"
#include "policy/kt_functions.h"
#include "policy/permission_checks.h"
#include "policy_test_support.h"
#include "session/ldap_fields.h"
#include "tests/unit/test_support.h"

namespace quillon {
namespace {

using test::PageRequest;
using test::PolicyFolder;
using test::PolicyKey;

const std::string kComponentRefusal =
    "Please contact your hosting administrator, as you are not allowed to use Quillon component";

std::string MethodRefusalFor(const char* method) {
  return std::string("Please contact your hosting administrator, as you are not allowed to use ") +
         method + " method of Quillon component";
}

constexpr long kAllOperations[] = {kOpAdd, kOpDelete, kOpModify, kOpModifyDN, kOpQuery};

// A store in force: installed and applied for Quillon, the switch on, and one site, Site1,
// whose pages lie under <folder>\Web\Site1 and which may Query and Add.
class PolicyDecision : public testing::Test {
 protected:
  void SetUp() override {
    key_.SetString("InstallationPath", folder_.Path());
    key_.SetDword("EnableGardavo", 1);
    WriteAdmin("Quillon", "Quillon");
    WriteSites("Site1=Quillon", "Quillon=Query, Add");
  }

  std::string Site1() const { return folder_.Path() + "\\Web\\Site1"; }

  void WriteAdmin(const std::string& installed, const std::string& applied) {
    folder_.Write("Admin.ini",
                  "[Settings]\r\nInstalled=" + installed + "\r\nApplied=" + applied + "\r\n");
  }
  void WriteSites(const std::string& security_line, const std::string& site_line) {
    folder_.Write("WebSite.ini", "[Path]\r\nSite1=" + Site1() + "\r\n[Security]\r\n" +
                                     security_line + "\r\n[Site1]\r\n" + site_line + "\r\n");
  }

  // The answer for one operation from the page at page_path (null: no request).
  std::string Check(long operation, const char* page_path) {
    PageRequest request(page_path);
    fields_.current_operation = operation;
    return CheckHostingPolicy(fields_);
  }
  std::string CheckFromSite1(long operation) {
    return Check(operation, (Site1() + "\\shop\\default.asp").c_str());
  }

  PolicyKey key_;
  PolicyFolder folder_;
  LdapFields fields_;
};

TEST_F(PolicyDecision, MethodNamesAndRefusalTexts) {
  EXPECT_EQ(MethodName(kOpAdd), "Add");
  EXPECT_EQ(MethodName(kOpDelete), "Delete");
  EXPECT_EQ(MethodName(kOpModify), "Modify");
  EXPECT_EQ(MethodName(kOpModifyDN), "ModifyDN");
  EXPECT_EQ(MethodName(kOpQuery), "Query");
  EXPECT_EQ(MethodName(kNoOperation), "");
  EXPECT_EQ(MethodName(5), "");
  EXPECT_EQ(ComponentRefusal("Quillon"), kComponentRefusal);
  EXPECT_EQ(MethodRefusal("Delete", "Quillon"), MethodRefusalFor("Delete"));
}

TEST_F(PolicyDecision, WithoutPolicyFilesEverythingPasses) {
  folder_.Remove("WebSite.ini");
  EXPECT_EQ(Check(kOpDelete, nullptr), "");
  EXPECT_EQ(fields_.policy_files_missing, 1);
  key_.Delete("InstallationPath");
  EXPECT_EQ(Check(kOpDelete, nullptr), "");
  EXPECT_EQ(fields_.policy_files_missing, 1);
  key_.SetString("InstallationPath", "");
  EXPECT_EQ(Check(kOpDelete, nullptr), "");
  EXPECT_EQ(fields_.policy_files_missing, 1);
  // Once both files are there again, the next check sees them: nothing was cached.
  key_.SetString("InstallationPath", folder_.Path() + "\\");
  WriteSites("Site1=Quillon", "Quillon=Query");
  EXPECT_EQ(Check(kOpDelete, nullptr).empty(), false);
  EXPECT_EQ(fields_.policy_files_missing, 0);
  EXPECT_EQ(fields_.admin_policy_path, folder_.Path() + "\\Admin.ini");
  EXPECT_EQ(fields_.site_policy_path, folder_.Path() + "\\WebSite.ini");
}

TEST_F(PolicyDecision, NotInstalledSwitchedOffOrNotAppliedPasses) {
  key_.Delete("EnableGardavo");  // would refuse, were the policy installed
  WriteAdmin("Other, Quillon2", "Quillon");
  EXPECT_EQ(Check(kOpDelete, nullptr), "");
  WriteAdmin("", "Quillon");
  EXPECT_EQ(Check(kOpDelete, nullptr), "");

  WriteAdmin(" other , QUILLON ", "Quillon");
  for (DWORD off : {0ul, 65536ul}) {
    key_.SetDword("EnableGardavo", off);
    EXPECT_EQ(Check(kOpDelete, nullptr), "") << off;
  }
  key_.SetDword("EnableGardavo", 1);
  WriteAdmin("Quillon", "Other");
  EXPECT_EQ(Check(kOpDelete, nullptr), "");
}

TEST_F(PolicyDecision, AnUnreadableSwitchRefusesWithTheReadsText) {
  fields_.error_reason = "earlier";
  key_.Delete("EnableGardavo");
  const std::string missing = Check(kOpQuery, nullptr);
  EXPECT_EQ(missing, CKtFunctions().GetErrorText(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(fields_.error_reason, missing);
  key_.SetString("EnableGardavo", "1");
  EXPECT_EQ(Check(kOpQuery, nullptr), "The type you specified mismatch with registry value type");
}

TEST_F(PolicyDecision, TheSwitchIsOnWhenItsLowSixteenBitsAreNot) {
  // On, the page's site decides: Delete is not among Site1's methods.
  for (DWORD on : {1ul, 4294967295ul, 65537ul}) {
    key_.SetDword("EnableGardavo", on);
    EXPECT_EQ(CheckFromSite1(kOpDelete), MethodRefusalFor("Delete")) << on;
  }
}

TEST_F(PolicyDecision, AnUnknownPageIsRefused) {
  const std::string answer = Check(kOpQuery, nullptr);  // no context module on the path
  EXPECT_FALSE(answer.empty());
  EXPECT_EQ(answer, fields_.error_reason);
  EXPECT_EQ(answer, fields_.policy_refusal_text);
  EXPECT_EQ(answer.find("Please contact"), std::string::npos);
}

TEST_F(PolicyDecision, APageUnderNoSiteIsRefusedTheComponent) {
  EXPECT_EQ(Check(kOpQuery, "E:\\Elsewhere\\a.asp"), kComponentRefusal);
  EXPECT_EQ(fields_.error_reason, kComponentRefusal);
}

TEST_F(PolicyDecision, ASiteWithoutTheComponentInSecurityIsRefusedIt) {
  WriteSites("Site1=Other, Quillon2", "Quillon=All");
  EXPECT_EQ(CheckFromSite1(kOpQuery), kComponentRefusal);
  WriteSites("Site2=Quillon", "Quillon=All");
  EXPECT_EQ(CheckFromSite1(kOpQuery), kComponentRefusal);
}

TEST_F(PolicyDecision, TheSitesMethodListDecides) {
  fields_.error_reason = "earlier";
  EXPECT_EQ(CheckFromSite1(kOpQuery), "");
  EXPECT_EQ(CheckFromSite1(kOpAdd), "");
  EXPECT_EQ(fields_.error_reason, "earlier") << "an allowed check leaves ErrorReason alone";
  EXPECT_EQ(fields_.policy_refusal_text, Site1()) << "receives the site's folder";
  EXPECT_EQ(CheckFromSite1(kOpDelete), MethodRefusalFor("Delete"));
  EXPECT_EQ(CheckFromSite1(kOpModify), MethodRefusalFor("Modify"));
  EXPECT_EQ(CheckFromSite1(kOpModifyDN), MethodRefusalFor("ModifyDN"));
  // Case is ignored in the page path and in the method list.
  std::string lower = Site1() + "\\A.ASP";
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  WriteSites("Site1=quillon", "Quillon=qUERY");
  EXPECT_EQ(Check(kOpQuery, lower.c_str()), "");
}

TEST_F(PolicyDecision, AllCountsOnlyAsTheWholeValue) {
  WriteSites("Site1=Quillon", "Quillon= all ");
  for (long op : kAllOperations) EXPECT_EQ(CheckFromSite1(op), "") << op;
  WriteSites("Site1=Quillon", "Quillon=Query, All");
  EXPECT_EQ(CheckFromSite1(kOpQuery), "");
  EXPECT_EQ(CheckFromSite1(kOpAdd), MethodRefusalFor("Add"));
}

TEST_F(PolicyDecision, ASiteSectionWithoutTheComponentRefusesEveryMethod) {
  WriteSites("Site1=Quillon", "Other=All");
  for (long op : kAllOperations) {
    EXPECT_EQ(CheckFromSite1(op), MethodRefusalFor(MethodName(op).c_str())) << op;
  }
}

TEST_F(PolicyDecision, TheFirstMatchingSiteInFileOrderDecides) {
  // Site2's folder is more specific, but Site1 comes first; Site1's folder also takes in
  // Site10, as no separator is required after a folder.
  folder_.Write("WebSite.ini", "[Path]\r\nSite1=" + Site1() + "\r\nSite2=" + Site1() +
                                   "\\Shop\r\n[Security]\r\nSite1=Quillon\r\nSite2=Quillon\r\n"
                                   "[Site1]\r\nQuillon=Query\r\n[Site2]\r\nQuillon=All\r\n");
  EXPECT_EQ(Check(kOpDelete, (Site1() + "\\Shop\\a.asp").c_str()), MethodRefusalFor("Delete"));
  EXPECT_EQ(Check(kOpQuery, (Site1() + "0\\a.asp").c_str()), "");
}

TEST_F(PolicyDecision, EveryCheckRereadsTheStore) {
  EXPECT_EQ(CheckFromSite1(kOpDelete), MethodRefusalFor("Delete"));
  WriteSites("Site1=Quillon", "Quillon=Delete");
  EXPECT_EQ(CheckFromSite1(kOpDelete), "");
  key_.SetDword("EnableGardavo", 0);
  WriteSites("Site1=Quillon", "Quillon=Query");
  EXPECT_EQ(CheckFromSite1(kOpDelete), "");
}

// Spellings of a page's path that name a site's folder, against a store in code page
// 1252. Each site below is allowed less than the broader line after it, so a spelling that
// slipped past its site would reach Delete.
class PolicySpelling : public PolicyDecision {
 protected:
  void SetUp() override {
    PolicyDecision::SetUp();
    area_ = folder_.Path() + "\\ShopAreaLong";
    CreateDirectoryA(area_.c_str(), nullptr);
    folder_.Write("WebSite.ini",
                  "[Path]\r\nCaf\xE9=D:\\Web\\Main\\Caf\xE9\\\r\nMain=D:\\Web\\Main\\\r\n"
                  "Shop=D:\\Web\\Shop\\\r\nWeb=D:\\Web\\\r\nArea=" +
                      area_ + "\\\r\nWork=" + folder_.Path() +
                      "\\\r\n[Security]\r\nCaf\xE9=Quillon\r\nMain=Quillon\r\n"
                      "Shop=Quillon\r\nWeb=Quillon\r\nArea=Quillon\r\nWork=Quillon\r\n"
                      "[Caf\xE9]\r\nQuillon=Query\r\n[Main]\r\nQuillon=All\r\n[Shop]\r\n"
                      "Quillon=All\r\n[Web]\r\nQuillon=Query\r\n[Area]\r\nQuillon=Query\r\n"
                      "[Work]\r\nQuillon=All\r\n");
  }
  void TearDown() override { RemoveDirectoryA(area_.c_str()); }

  // Delete from the page whose UTF-16 path the web server gives.
  std::string DeleteFrom(const std::wstring& page) {
    PageRequest request;
    SetEnvironmentVariableW(L"PATH_TRANSLATED", page.c_str());
    fields_.current_operation = kOpDelete;
    return CheckHostingPolicy(fields_);
  }

  std::string area_;
};

TEST_F(PolicySpelling, CapitalsOutsideAsciiNameTheSameFolder) {
  EXPECT_EQ(DeleteFrom(L"D:\\Web\\Main\\CAF\x00C9\\list.asp"), MethodRefusalFor("Delete"));
  EXPECT_EQ(DeleteFrom(L"D:\\Web\\Main\\other.asp"), "");
}

TEST_F(PolicySpelling, TheThreadsLocaleDoesNotChangeHowTheStoreReads) {
  // A page that switched its thread to Japanese: 0xE9 is a lead byte in code page 932.
  test::ScopedThreadLocale japanese(test::kJapanese);
  EXPECT_EQ(DeleteFrom(L"D:\\Web\\Main\\Caf\x00E9\\list.asp"), MethodRefusalFor("Delete"));
}

TEST_F(PolicySpelling, AFullWidthLetterIsAnotherFolder) {
  EXPECT_EQ(DeleteFrom(L"D:\\Web\\\xFF33hop\\x.asp"), MethodRefusalFor("Delete"));
  EXPECT_EQ(DeleteFrom(L"D:\\Web\\Shop\\x.asp"), "");
}

TEST_F(PolicySpelling, AShortNameIsTheLongFolder) {
  std::wstring long_name = ToWide(area_, CodePage(CP_ACP));
  wchar_t short_name[MAX_PATH];
  ASSERT_GT(GetShortPathNameW(long_name.c_str(), short_name, MAX_PATH), 0u);
  if (long_name == short_name) GTEST_SKIP() << "this file system makes no short names";
  EXPECT_EQ(DeleteFrom(std::wstring(short_name) + L"\\x.asp"), MethodRefusalFor("Delete"));
}

// A policy file that exists but cannot be read (here: a folder of that name, which no
// account can read as a file) fails closed once the switch is on.
TEST_F(PolicyDecision, APolicyFileThatCannotBeReadRefusesEveryMethod) {
  for (const char* name : {"Admin.ini", "WebSite.ini"}) {
    const std::string saved = name == std::string("Admin.ini") ? "[Settings]\r\nInstalled=Quillon"
                                                                 "\r\nApplied=Quillon\r\n"
                                                               : "";
    folder_.Remove(name);
    ASSERT_TRUE(CreateDirectoryA(folder_.File(name).c_str(), nullptr)) << name;
    for (long op : kAllOperations) EXPECT_EQ(CheckFromSite1(op), kComponentRefusal) << name;
    key_.SetDword("EnableGardavo", 0);
    EXPECT_EQ(CheckFromSite1(kOpDelete), "") << "the switch off: not in force";
    key_.SetDword("EnableGardavo", 1);
    RemoveDirectoryA(folder_.File(name).c_str());
    if (!saved.empty()) folder_.Write(name, saved);
  }
}

// Code page 932 on a Japanese server: site folders with double-byte characters, read
// through the ANSI profile functions of a process whose code page is 932. (Folder names
// outside ASCII cannot be made here: Wine under a locale that Linux lacks maps file names
// to ASCII. The trailing-backslash rule is checked on its own in KtFunctions.)
TEST(PolicyMultibyteDecision, DoubleByteSiteFolders) {
  if (GetACP() != 932) GTEST_SKIP() << "needs the process code page 932 (LC_ALL=ja_JP.SJIS)";
  test::ScopedThreadLocale japanese(test::kJapanese);
  PolicyKey key;
  PolicyFolder folder;
  key.SetString("InstallationPath", folder.Path());
  key.SetDword("EnableGardavo", 1);
  const std::string site = "D:\\Web\\\x83\x41";  // katakana A, second byte 'A'
  folder.Write("Admin.ini", "[Settings]\r\nInstalled=Quillon\r\nApplied=Quillon\r\n");
  folder.Write("WebSite.ini", "[Path]\r\nS1=" + site +
                                  "\r\nS2=D:\\Web\\\r\n[Security]\r\n"
                                  "S1=Quillon\r\nS2=Quillon\r\n[S1]\r\nQuillon=Query\r\n[S2]\r\n"
                                  "Quillon=Delete\r\n");
  LdapFields fields;
  fields.current_operation = kOpQuery;
  PageRequest request;
  SetEnvironmentVariableW(L"PATH_TRANSLATED", L"d:\\web\\\x30A2\\a.asp");
  EXPECT_EQ(CheckHostingPolicy(fields), "");
  EXPECT_EQ(fields.policy_files_missing, 0);
  EXPECT_EQ(fields.policy_refusal_text, site);
  // Katakana di has the same first byte and 'a' as second: another folder.
  SetEnvironmentVariableW(L"PATH_TRANSLATED", L"d:\\web\\\x30C2\\a.asp");
  EXPECT_EQ(CheckHostingPolicy(fields), MethodRefusalFor("Query"));
}

// Greek capitals are double-byte characters in code page 932; the folder they spell is the
// same in small letters, whatever locale the page's thread is in.
TEST(PolicyMultibyteDecision, DoubleByteCapitalsNameTheSameFolder) {
  if (GetACP() != 932) GTEST_SKIP() << "needs the process code page 932 (LC_ALL=ja_JP.SJIS)";
  PolicyKey key;
  PolicyFolder folder;
  key.SetString("InstallationPath", folder.Path());
  key.SetDword("EnableGardavo", 1);
  folder.Write("Admin.ini", "[Settings]\r\nInstalled=Quillon\r\nApplied=Quillon\r\n");
  // Alpha=D:\Web\<capital alpha>\ may only Query; the rest of D:\Web may do anything.
  folder.Write("WebSite.ini",
               "[Path]\r\nAlpha=D:\\Web\\\x83\x9F\\\r\nWeb=D:\\Web\\\r\n[Security]\r\n"
               "Alpha=Quillon\r\nWeb=Quillon\r\n[Alpha]\r\nQuillon=Query\r\n[Web]\r\n"
               "Quillon=All\r\n");
  for (LANGID language :
       {test::kJapanese, static_cast<LANGID>(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US))}) {
    test::ScopedThreadLocale thread_locale(language);
    LdapFields fields;
    fields.current_operation = kOpDelete;
    PageRequest request;
    SetEnvironmentVariableW(L"PATH_TRANSLATED", L"d:\\web\\\x03B1\\a.asp");
    EXPECT_EQ(CheckHostingPolicy(fields), MethodRefusalFor("Delete")) << language;
  }
}

}  // namespace
}  // namespace quillon
