// CKtGet: the settings getters the permission checks use, built on CKtReg and
// CKtFunctions. Stateless.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

class CKtGet {
 public:
  virtual ~CKtGet() = default;

  // One INI value, trimmed; empty when missing.
  void GetINIValue(std::string* out, const char* section, const char* key, const std::string& file);
  // The first line of the section whose value (after "=") begins text; empty when none.
  // Text in the store's code page, or in UTF-16 (a page path as the web server gives it).
  void FindPrefixEntry(std::string* line, const char* section, const std::string& text,
                       const std::string& file);
  void FindPrefixEntry(std::string* line, const char* section, std::wstring_view text,
                       const std::string& file);
  // A value by the full key path (root name, backslash, subkey). Type selector 0 reads a
  // string, 1 a number as decimal text; any other selector reads nothing and answers 1
  // with the output untouched.
  int GetRegistryValue(std::string* out, const std::string& full_key_path, int type,
                       const char* value);
};

}  // namespace quillon
