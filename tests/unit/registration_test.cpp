// Writing and removing the class's registry entries, in a private key of the real
// registry so that the registered component the other tests use is not disturbed.
#include "module/registration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/quillon_app.h"
#include "module/reg_key.h"

namespace quillon {
namespace {

class RegistrationTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    path_ = L"Software\\QuillonTests\\" + std::wstring(name.begin(), name.end());
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, root_.Put(), nullptr),
              ERROR_SUCCESS);
    entries_ = LdapRegistryEntries(&count_);
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); }

  std::wstring Read(const wchar_t* key, const wchar_t* name = nullptr) {
    wchar_t data[512] = {};
    DWORD size = sizeof(data);
    if (RegGetValueW(root_.Get(), key, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
      return L"<missing>";
    return data;
  }
  DWORD SubkeyCount() {
    DWORD n = 0;
    RegQueryInfoKeyW(root_.Get(), nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    return n;
  }

  std::wstring path_;
  RegKey root_;
  const RegistryEntry* entries_ = nullptr;
  size_t count_ = 0;
};

#define CLASS_KEY L"CLSID\\{3A21604A-75C7-4955-9ABF-55333D45F227}"

TEST_F(RegistrationTest, WritesTheTableWithTheModulePath) {
  ASSERT_EQ(WriteRegistryEntries(root_.Get(), entries_, count_, L"C:\\x\\Quillon.DLL"), S_OK);
  EXPECT_EQ(Read(L"Quillon.Ldap"), L"Ldap Class");
  EXPECT_EQ(Read(L"Quillon.Ldap\\CurVer"), L"Quillon.Ldap.1");
  EXPECT_EQ(Read(L"Quillon.Ldap.1\\CLSID"), L"{3A21604A-75C7-4955-9ABF-55333D45F227}");
  EXPECT_EQ(Read(CLASS_KEY L"\\InprocServer32"), L"C:\\x\\Quillon.DLL");
  EXPECT_EQ(Read(CLASS_KEY L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(Read(CLASS_KEY L"\\TypeLib"), L"{90AB047F-EBC7-4C79-A2A5-675D86AA07A5}");
  RegKey programmable;
  EXPECT_EQ(
      RegOpenKeyExW(root_.Get(), CLASS_KEY L"\\Programmable", 0, KEY_READ, programmable.Put()),
      ERROR_SUCCESS);
  ASSERT_EQ(RemoveRegistryEntries(root_.Get(), entries_, count_, Removal::kStopAtFirstFailure),
            S_OK);
  EXPECT_EQ(SubkeyCount(), 1u) << "only the CLSID key stays";
}

TEST_F(RegistrationTest, AFailedWriteRemovesTheWholeBlock) {
  // A key name over the registry's 255-character limit makes a real write fail after
  // the earlier rows were written.
  const std::wstring too_long = L"Quillon.Ldap\\" + std::wstring(300, L'k');
  std::vector<RegistryEntry> table(entries_, entries_ + count_);
  table.insert(table.begin() + 6, RegistryEntry{too_long.c_str(), nullptr, L"x", false});
  const HRESULT hr = WriteRegistryEntries(root_.Get(), table.data(), table.size(), L"C:\\q.dll");
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(Read(L"Quillon.Ldap"), L"<missing>");
  EXPECT_EQ(Read(CLASS_KEY), L"<missing>");
  EXPECT_EQ(SubkeyCount(), 1u) << "only the CLSID key stays";
}

TEST_F(RegistrationTest, UnregisteringStopsAtTheFirstFailedDeletion) {
  ASSERT_EQ(WriteRegistryEntries(root_.Get(), entries_, count_, L"C:\\q.dll"), S_OK);
  // Keys go deepest first: the class key's subkeys, then the keys one level down, the
  // first of them one whose name is too long to delete.
  const std::wstring too_long = L"Quillon.Ldap\\" + std::wstring(300, L'k');
  std::vector<RegistryEntry> table(entries_, entries_ + count_);
  table.insert(table.begin(), RegistryEntry{too_long.c_str(), nullptr, L"x", false});
  EXPECT_EQ(
      RemoveRegistryEntries(root_.Get(), table.data(), table.size(), Removal::kStopAtFirstFailure),
      HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(Read(CLASS_KEY L"\\ProgID"), L"<missing>") << "removed before the failure";
  EXPECT_EQ(Read(L"Quillon.Ldap\\CurVer"), L"Quillon.Ldap.1") << "nothing after it";
  EXPECT_EQ(Read(CLASS_KEY), L"Ldap Class");
  EXPECT_EQ(Read(L"Quillon.Ldap.1"), L"Ldap Class");
}

}  // namespace
}  // namespace quillon
