// Helpers of the in-process policy tests. They write the real registry of the test's own
// Wine prefix and real INI files in the build tree, and undo both afterwards.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "policy/policy_store.h"

namespace quillon::test {

// The build tree's folders, in Windows form (Wine maps Z: to /).
inline std::string WindowsPath(std::string unix_path) {
  for (char& c : unix_path) {
    if (c == '/') c = '\\';
  }
  return "Z:" + unix_path;
}

// The policy store's registry key, emptied when made and removed when gone. Written in the
// 64-bit registry view, where an administrator's tools write it, also by the 32-bit tests.
class PolicyKey {
 public:
  PolicyKey() { Remove(); }
  ~PolicyKey() { Remove(); }
  PolicyKey(const PolicyKey&) = delete;
  PolicyKey& operator=(const PolicyKey&) = delete;

  void SetRaw(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPolicySubkey, 0, nullptr, 0, kWrite, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void SetString(const char* name, std::string_view text) {
    const std::string stored(text);  // with its terminator
    SetRaw(name, REG_SZ, stored.c_str(), static_cast<DWORD>(stored.size() + 1));
  }
  void SetDword(const char* name, DWORD value) { SetRaw(name, REG_DWORD, &value, sizeof(value)); }
  void Delete(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicySubkey, 0, kWrite, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, name);
      RegCloseKey(key);
    }
  }

 private:
  static constexpr REGSAM kWrite = KEY_WRITE | KEY_WOW64_64KEY;
  static void Remove() { RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kPolicySubkey, KEY_WOW64_64KEY, 0); }
};

// A folder of the build tree for one test's INI files, made empty.
class PolicyFolder {
 public:
  PolicyFolder() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    path_ =
        WindowsPath(QUILLON_POLICY_WORK_DIR) + "\\" + info->test_suite_name() + "." + info->name();
    CreateDirectoryA(WindowsPath(QUILLON_POLICY_WORK_DIR).c_str(), nullptr);
    CreateDirectoryA(path_.c_str(), nullptr);
    DeleteFileA((path_ + "\\Admin.ini").c_str());
    DeleteFileA((path_ + "\\WebSite.ini").c_str());
  }

  const std::string& Path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + "\\" + std::string(name); }

  // Writes the bytes as given: the INI files are ANSI text.
  void Write(std::string_view name, std::string_view content) const {
    HANDLE file = CreateFileA(File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, content.size());
  }
  void Remove(std::string_view name) const { DeleteFileA(File(name).c_str()); }

 private:
  std::string path_;
};

// A page request as the web server would show it: the stand-in context module on the DLL
// search path, and PATH_TRANSLATED set (or left unset for "no request").
class PageRequest {
 public:
  explicit PageRequest(const char* page_path = nullptr) {
    SetDllDirectoryA(WindowsPath(QUILLON_STANDIN_DIR).c_str());
    SetEnvironmentVariableA("PATH_TRANSLATED", page_path);
  }
  ~PageRequest() {
    SetEnvironmentVariableA("PATH_TRANSLATED", nullptr);
    SetEnvironmentVariableA("STANDIN_FAIL", nullptr);
    SetDllDirectoryA(nullptr);
  }
  PageRequest(const PageRequest&) = delete;
  PageRequest& operator=(const PageRequest&) = delete;

  // Makes one step of the stand-in fail (see tests/policy/mtxex/mtxex.cpp).
  void FailAt(const char* step) { SetEnvironmentVariableA("STANDIN_FAIL", step); }
};

}  // namespace quillon::test
