// Reading the policy store: the real registry of this test's Wine prefix and real INI
// files in the build tree.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "policy/kt_functions.h"
#include "policy/kt_get.h"
#include "policy/kt_reg.h"
#include "policy_test_support.h"

namespace quillon {
namespace {

using test::PolicyFolder;
using test::PolicyKey;

std::string ErrorText(DWORD code) {
  return CKtFunctions().GetErrorText(code);
}

struct Read {
  int result;
  std::string text;
};

Read ReadString(const char* value) {
  Read r{0, "untouched"};
  r.result = CKtReg().ReadString(&r.text, HKEY_LOCAL_MACHINE, kPolicySubkey, value);
  return r;
}

Read ReadDword(const char* value) {
  Read r{0, "untouched"};
  r.result = CKtReg().ReadDWORD(&r.text, HKEY_LOCAL_MACHINE, kPolicySubkey, value);
  return r;
}

TEST(PolicyStore, SystemTextsAndTheFallbackForCodesWithoutText) {
  EXPECT_EQ(ErrorText(ERROR_FILE_NOT_FOUND), "File not found.\r\n");
  EXPECT_EQ(ErrorText(0xE0000001),
            "The system cannot find error message for error number -536870911");
}

TEST(PolicyStore, RegistryTypesMustMatchTheRead) {
  PolicyKey key;
  key.SetString("Text", "1");
  key.SetDword("Number", 1);
  key.SetRaw("Expand", REG_EXPAND_SZ, "%TEMP%", 7);
  key.SetRaw("EmptyText", REG_SZ, "", 0);
  key.SetRaw("EmptyNumber", REG_DWORD, "", 0);
  for (const char* value : {"Number", "Expand", "EmptyText"}) {
    EXPECT_EQ(ReadString(value).result, 0) << value;
    EXPECT_EQ(ReadString(value).text, kTypeMismatchText) << value;
  }
  for (const char* value : {"Text", "EmptyNumber"}) {
    EXPECT_EQ(ReadDword(value).result, 0) << value;
    EXPECT_EQ(ReadDword(value).text, kTypeMismatchText) << value;
  }
}

TEST(PolicyStore, MissingKeysAndValuesGiveTheSystemText) {
  PolicyKey key;
  EXPECT_EQ(ReadString("InstallationPath").text, ErrorText(ERROR_FILE_NOT_FOUND));
  key.SetDword("Other", 0);
  const Read missing = ReadDword("EnableGardavo");
  EXPECT_EQ(missing.result, 0);
  EXPECT_EQ(missing.text, ErrorText(ERROR_FILE_NOT_FOUND));
}

TEST(PolicyStore, NumbersAreReadAsUnsignedDecimalText) {
  PolicyKey key;
  for (DWORD n : {0ul, 1ul, 65536ul, 4294967295ul}) {
    key.SetDword("EnableGardavo", n);
    const Read r = ReadDword("EnableGardavo");
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.text, std::to_string(n));
  }
}

TEST(PolicyStore, NumbersOfAnyOtherLengthThanFourBytesAreRefused) {
  PolicyKey key;
  const unsigned char eight[8] = {1, 0, 0, 0, 1, 0, 0, 0};
  key.SetRaw("Long", REG_DWORD, eight, sizeof(eight));
  key.SetRaw("Short", REG_DWORD, eight, 2);
  EXPECT_EQ(ReadDword("Long").text, kTypeMismatchText);
  EXPECT_EQ(ReadDword("Short").text, kTypeMismatchText);
}

TEST(PolicyStore, StringsAreReadWholeAndEndAtTheirFirstZero) {
  PolicyKey key;
  const std::string long_text(300, 'x');
  key.SetString("Long", long_text);
  key.SetRaw("Unterminated", REG_SZ, "dir1:636", 8);
  key.SetRaw("Embedded", REG_SZ, "dir1\0junk", 10);
  key.SetRaw("Full", REG_SZ, std::string(256, 'y').data(), 256);  // no room for a zero
  EXPECT_EQ(ReadString("Long").text, long_text);
  EXPECT_EQ(ReadString("Unterminated").text, "dir1:636");
  EXPECT_EQ(ReadString("Embedded").text, "dir1");
  EXPECT_EQ(ReadString("Full").text, std::string(256, 'y'));
  EXPECT_EQ(ReadString("Full").result, 1);
  // Junk far beyond any setting is refused, not allocated.
  key.SetString("Huge", std::string(70000, 'z'));
  EXPECT_EQ(ReadString("Huge").result, 0);
  EXPECT_EQ(ReadString("Huge").text, ErrorText(ERROR_MORE_DATA));
}

TEST(PolicyStore, RootKeysByNameInAnyCase) {
  CKtReg reg;
  EXPECT_EQ(reg.GetRootKey("Hkey_Local_Machine"), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reg.GetRootKey("hkey_dyn_data"), HKEY_DYN_DATA);
  EXPECT_EQ(reg.GetRootKey("HKLM"), nullptr);
  EXPECT_EQ(reg.GetRootKey(""), nullptr);
}

TEST(PolicyStore, ValuesByFullKeyPath) {
  PolicyKey key;
  key.SetString("LDAPServerInfo", "dir1:636");
  key.SetDword("EnableGardavo", 7);
  CKtGet get;
  std::string text;
  EXPECT_EQ(get.GetRegistryValue(&text, kPolicyKeyPath, kReadString, "LDAPServerInfo"), 1);
  EXPECT_EQ(text, "dir1:636");
  EXPECT_EQ(get.GetRegistryValue(&text, "hkey_local_machine\\software\\tesmarin\\varnex",
                                 kReadNumber, "EnableGardavo"),
            1);
  EXPECT_EQ(text, "7");
  // Another selector reads nothing and leaves the output alone.
  text = "untouched";
  EXPECT_EQ(get.GetRegistryValue(&text, kPolicyKeyPath, 2, "EnableGardavo"), 1);
  EXPECT_EQ(text, "untouched");
  // An unknown root, or a path without a backslash, cannot be opened.
  EXPECT_EQ(get.GetRegistryValue(&text, "HKLM\\SOFTWARE\\Tesmarin\\Varnex", kReadString,
                                 "LDAPServerInfo"),
            0);
  EXPECT_EQ(text, ErrorText(ERROR_INVALID_HANDLE));
  EXPECT_EQ(get.GetRegistryValue(&text, "HKEY_LOCAL_MACHINE", kReadString, "LDAPServerInfo"), 0);
}

TEST(PolicyStore, IniValuesAreTrimmedAndGrowPastTheFirstBuffer) {
  PolicyFolder folder;
  const std::string long_value(300, 'q');
  const std::string edge_value(255, 'e');  // fills the first buffer exactly
  folder.Write("Admin.ini",
               "[Settings]\r\nInstalled=  Quillon , Other  \r\ninstalled=Second\r\n"
               "Long=" +
                   long_value + "\r\nEdge=" + edge_value + "\r\n");
  CKtGet get;
  std::string value;
  const std::string file = folder.File("Admin.ini");
  get.GetINIValue(&value, "SETTINGS", "INSTALLED", file);
  EXPECT_EQ(value, "Quillon , Other");  // the first of two keys, names in any case
  get.GetINIValue(&value, "Settings", "Long", file);
  EXPECT_EQ(value, long_value);
  get.GetINIValue(&value, "Settings", "Edge", file);
  EXPECT_EQ(value, edge_value);
  for (const auto& [section, key, path] :
       std::vector<std::tuple<const char*, const char*, std::string>>{
           {"Settings", "Applied", file},
           {"Other", "Installed", file},
           {"Settings", "Installed", folder.File("Missing.ini")}}) {
    value = "untouched";
    get.GetINIValue(&value, section, key, path);
    EXPECT_EQ(value, "") << section << "/" << key;
  }
}

TEST(PolicyStore, IniSectionsAreReadWholeInFileOrder) {
  PolicyFolder folder;
  std::string content = "[Path]\r\n";
  std::vector<std::string> expected;
  for (int i = 0; i < 40; ++i) {  // far more than 256 bytes
    expected.push_back("Site" + std::to_string(i) + "=D:\\Web\\Site" + std::to_string(i));
    content += "  " + expected.back() + "  \r\n";
  }
  content += "[Security]\r\nSite1=Quillon\r\n";
  folder.Write("WebSite.ini", content);
  std::vector<std::string> lines = {"stale"};
  CKtFunctions().ReadProfileSection("path", folder.File("WebSite.ini"), &lines);
  EXPECT_EQ(lines, expected);
  CKtFunctions().ReadProfileSection("Site1", folder.File("WebSite.ini"), &lines);
  EXPECT_TRUE(lines.empty());
}

TEST(PolicyStore, SiteEntryIsTheFirstLineWhoseFolderBeginsThePath) {
  PolicyFolder folder;
  folder.Write("WebSite.ini",
               "[Path]\r\nSite1=D:\\Web\\Site1\r\nSite2=D:\\Web\\Site1\\Shop\r\n"
               "NoFolder\r\nSite3=\r\n");
  CKtGet get;
  std::string line;
  get.FindPrefixEntry(&line, "Path", "d:\\web\\SITE1\\Shop\\a.asp", folder.File("WebSite.ini"));
  EXPECT_EQ(line, "Site1=D:\\Web\\Site1");
  get.FindPrefixEntry(&line, "Path", "E:\\a.asp", folder.File("WebSite.ini"));
  EXPECT_EQ(line, "Site3=");
  get.FindPrefixEntry(&line, "Path", "E:\\a.asp", folder.File("Missing.ini"));
  EXPECT_EQ(line, "");
}

TEST(PolicyStore, PolicyFilesAreFoundWithOrWithoutATrailingBackslash) {
  PolicyKey key;
  PolicyFolder folder;
  folder.Write("Admin.ini", "[Settings]\r\n");
  CKtFunctions functions;
  std::string path;
  for (const std::string& installed : {folder.Path(), folder.Path() + "\\"}) {
    key.SetString("InstallationPath", installed);
    EXPECT_EQ(functions.LocateProductFile(&path, "Admin.ini"), 1) << installed;
    EXPECT_EQ(path, folder.Path() + "\\Admin.ini");
  }
  EXPECT_EQ(functions.LocateProductFile(&path, "WebSite.ini"), 0);
  EXPECT_EQ(path, ErrorText(ERROR_FILE_NOT_FOUND));
}

TEST(PolicyStore, PolicyFilesAreNotFoundWithoutAnInstallationFolder) {
  PolicyKey key;
  CKtFunctions functions;
  std::string path;
  EXPECT_EQ(functions.LocateProductFile(&path, "Admin.ini"), 0);
  EXPECT_EQ(path, ErrorText(ERROR_FILE_NOT_FOUND));  // the registry's text
  key.SetDword("InstallationPath", 1);
  EXPECT_EQ(functions.LocateProductFile(&path, "Admin.ini"), 0);
  EXPECT_EQ(path, kTypeMismatchText);
  // An empty folder would name the current drive's root: not an installation.
  key.SetString("InstallationPath", "");
  EXPECT_EQ(functions.LocateProductFile(&path, "Admin.ini"), 0);
  // A wildcard is not a search pattern here.
  PolicyFolder folder;
  folder.Write("Admin.ini", "[Settings]\r\n");
  key.SetString("InstallationPath", folder.Path().substr(0, folder.Path().size() - 2) + "*");
  EXPECT_EQ(functions.LocateProductFile(&path, "Admin.ini"), 0);
}

// A policy installed under the system folder governs 32-bit pages too: the 32-bit
// component sees the real System32, not the 32-bit files the system shows it there.
TEST(PolicyStore, PolicyFilesUnderTheSystemFolderAreFoundByBothWidths) {
  char windows[MAX_PATH];
  ASSERT_GT(GetSystemWindowsDirectoryA(windows, MAX_PATH), 0u);
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  // The test writes through the folder name that reaches the real System32 from its width.
  const std::string real = std::string(windows) + (wow64 ? "\\Sysnative" : "\\System32");
  const std::string installed = std::string(windows) + "\\System32\\QuillonPolicyTest";
  const std::string written = real + "\\QuillonPolicyTest";
  CreateDirectoryA(written.c_str(), nullptr);
  const std::string ini = written + "\\Admin.ini";
  ASSERT_TRUE(WritePrivateProfileStringA("Settings", "Installed", "Quillon", ini.c_str()));
  PolicyKey key;
  key.SetString("InstallationPath", installed);
  std::string path;
  EXPECT_EQ(CKtFunctions().LocateProductFile(&path, "Admin.ini"), 1) << path;
  EXPECT_EQ(path, installed + "\\Admin.ini");
  std::string value;
  CKtGet().GetINIValue(&value, "Settings", "Installed", path);
  EXPECT_EQ(value, "Quillon");
  DeleteFileA(ini.c_str());
  RemoveDirectoryA(written.c_str());
}

}  // namespace
}  // namespace quillon
