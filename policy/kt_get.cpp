#include "policy/kt_get.h"

#include <vector>

#include "module/ansi_text.h"
#include "policy/kt_functions.h"
#include "policy/kt_reg.h"
#include "policy/policy_store.h"
#include "policy/policy_text.h"
#include "policy/store_text.h"

namespace quillon {

void CKtGet::GetINIValue(std::string* out, const char* section, const char* key,
                         const std::string& file) {
  CKtFunctions().ReadProfileString(out, section, key, file);
}

void CKtGet::FindPrefixEntry(std::string* line, const char* section, const std::string& text,
                             const std::string& file) {
  FindPrefixEntry(line, section, StoreToWide(text), file);
}

void CKtGet::FindPrefixEntry(std::string* line, const char* section, std::wstring_view text,
                             const std::string& file) {
  CKtFunctions functions;
  std::vector<std::string> lines;
  functions.ReadProfileSection(section, file, &lines);
  *line = functions.MatchPrefixLine(lines, text, '=');
}

int CKtGet::GetRegistryValue(std::string* out, const std::string& full_key_path, int type,
                             const char* value) {
  // A path without a backslash names neither a root nor a subkey.
  std::string root_name;
  std::string subkey;
  const size_t at = FindChar(full_key_path, '\\', StoreCodePage());
  if (at != std::string::npos) {
    root_name = full_key_path.substr(0, at);
    subkey = full_key_path.substr(at + 1);
  }
  CKtReg reg;
  const HKEY root = reg.GetRootKey(root_name);
  if (type == kReadString) return reg.ReadString(out, root, subkey, value);
  if (type == kReadNumber) return reg.ReadDWORD(out, root, subkey, value);
  return 1;
}

}  // namespace quillon
