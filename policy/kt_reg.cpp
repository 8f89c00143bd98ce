#include "policy/kt_reg.h"

#include <cstdio>
#include <vector>

#include "module/ansi_text.h"
#include "module/reg_key.h"
#include "policy/kt_functions.h"
#include "policy/policy_store.h"
#include "policy/store_text.h"

namespace quillon {

namespace {

// Registry strings go through a buffer of at least this size, terminator included.
constexpr DWORD kStringBufferSize = 256;
// No setting of the store comes near this; a larger value is junk and is not allocated.
constexpr DWORD kLargestString = 64 * 1024;

struct ValueInfo {
  DWORD type = 0;
  DWORD size = 0;
};

// Opens the key for reading and learns the value's type and size. On failure the output
// holds the system's text for the code the registry returned.
// Always the 64-bit registry view: a 32-bit process would otherwise be sent to
// SOFTWARE\WOW6432Node, and a policy the administrator wrote once would not govern 32-bit
// application pools. On 32-bit Windows the flag is ignored.
bool OpenAndInspect(RegKey* key, ValueInfo* info, std::string* out, HKEY root,
                    const std::string& subkey, const char* value) {
  LONG rc = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key->Put());
  if (rc == ERROR_SUCCESS) {
    rc = RegQueryValueExA(key->Get(), value, nullptr, &info->type, nullptr, &info->size);
  }
  if (rc != ERROR_SUCCESS) {
    *out = CKtFunctions().GetErrorText(static_cast<DWORD>(rc));
    return false;
  }
  return true;
}

}  // namespace

HKEY CKtReg::GetRootKey(std::string_view name) {
  static const struct {
    const char* name;
    HKEY key;
  } kRoots[] = {
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
      {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKEY_USERS", HKEY_USERS},
      {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
      {"HKEY_DYN_DATA", HKEY_DYN_DATA},
  };
  for (const auto& root : kRoots) {
    if (SameName(name, root.name, StoreCodePage())) return root.key;
  }
  return nullptr;
}

int CKtReg::ReadString(std::string* out, HKEY root, const std::string& subkey, const char* value) {
  RegKey key;
  ValueInfo info;
  if (!OpenAndInspect(&key, &info, out, root, subkey, value)) return 0;
  if (info.size == 0 || info.type != REG_SZ) {
    *out = kTypeMismatchText;
    return 0;
  }
  if (info.size > kLargestString) {
    *out = CKtFunctions().GetErrorText(ERROR_MORE_DATA);
    return 0;
  }
  // Room for the whole value plus a terminator of our own: a stored string need not end
  // with one, and a long one is read whole rather than cut or refused.
  DWORD size = info.size < kStringBufferSize ? kStringBufferSize : info.size + 1;
  std::vector<char> buffer(size, '\0');
  --size;
  const LONG rc = RegQueryValueExA(key.Get(), value, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer.data()), &size);
  if (rc != ERROR_SUCCESS) {
    *out = CKtFunctions().GetErrorText(static_cast<DWORD>(rc));
    return 0;
  }
  *out = buffer.data();  // up to the first zero byte
  return 1;
}

int CKtReg::ReadDWORD(std::string* out, HKEY root, const std::string& subkey, const char* value) {
  RegKey key;
  ValueInfo info;
  if (!OpenAndInspect(&key, &info, out, root, subkey, value)) return 0;
  // A REG_DWORD of any other length than 4 is malformed: refused rather than half read.
  if (info.size != sizeof(DWORD) || info.type != REG_DWORD) {
    *out = kTypeMismatchText;
    return 0;
  }
  DWORD number = 0;
  DWORD size = sizeof(number);
  const LONG rc =
      RegQueryValueExA(key.Get(), value, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size);
  if (rc != ERROR_SUCCESS) {
    *out = CKtFunctions().GetErrorText(static_cast<DWORD>(rc));
    return 0;
  }
  char text[16];
  std::snprintf(text, sizeof(text), "%lu", static_cast<unsigned long>(number));
  *out = text;
  return 1;
}

}  // namespace quillon
