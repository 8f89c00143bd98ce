// CKtReg: reads one value of the policy store's registry key. Stateless; callers make a
// local object for the duration of one call. Reads answer 1 with the value, or 0 with the
// error text, in the output.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace quillon {

class CKtReg {
 public:
  virtual ~CKtReg() = default;

  // The predefined root key of that name (any case); null for any other name, with which
  // the later open fails.
  HKEY GetRootKey(std::string_view name);

  // A REG_SZ value, read whole (a value longer than 255 characters is not cut).
  int ReadString(std::string* out, HKEY root, const std::string& subkey, const char* value);
  // A REG_DWORD value of exactly 4 bytes, as unsigned decimal text.
  int ReadDWORD(std::string* out, HKEY root, const std::string& subkey, const char* value);
};

}  // namespace quillon
