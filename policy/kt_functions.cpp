#include "policy/kt_functions.h"

#include <cstdio>

#include "module/ansi_text.h"
#include "module/system_message.h"
#include "policy/kt_reg.h"
#include "policy/policy_store.h"
#include "policy/policy_text.h"

namespace quillon {

namespace {

// INI reads start small, as nearly every value fits, and double until the text fits. The
// ceiling keeps a runaway file from exhausting memory; what fits below it is used.
constexpr DWORD kFirstProfileBuffer = 256;
constexpr DWORD kLastProfileBuffer = 16u << 20;

}  // namespace

std::string CKtFunctions::TrimCopy(std::string_view text) {
  return quillon::TrimCopy(text, CodePage());
}

int CKtFunctions::IsInList(std::string_view list, std::string_view item) {
  return quillon::IsInList(list, item, CodePage());
}

std::vector<std::string> CKtFunctions::SplitList(std::string_view text, char separator) {
  return quillon::SplitList(text, separator, CodePage());
}

std::string CKtFunctions::BeforeChar(std::string_view text, char c) {
  return quillon::BeforeChar(text, c, CodePage());
}

std::string CKtFunctions::AfterChar(std::string_view text, char c) {
  return quillon::AfterChar(text, c, CodePage());
}

std::string CKtFunctions::MatchPrefixLine(const std::vector<std::string>& lines,
                                          std::string_view text, char separator) {
  return quillon::MatchPrefixLine(lines, text, separator, CodePage());
}

std::string CKtFunctions::GetErrorText(DWORD code) {
  std::string message;
  if (SystemMessage(code, &message)) return message;
  char text[80];
  std::snprintf(text, sizeof(text), "The system cannot find error message for error number %d",
                static_cast<int>(code));
  return text;
}

void CKtFunctions::ReadProfileString(std::string* out, const char* section, const char* key,
                                     const std::string& file) {
  for (DWORD size = kFirstProfileBuffer;; size *= 2) {
    std::string buffer(size, '\0');
    const DWORD n = GetPrivateProfileStringA(section, key, "", buffer.data(), size, file.c_str());
    // size - 1 means the value was cut to fit.
    if (n == size - 1 && size < kLastProfileBuffer) continue;
    *out =
        n == 0 ? std::string() : quillon::TrimCopy(std::string_view(buffer.data(), n), CodePage());
    return;
  }
}

void CKtFunctions::ReadProfileSection(const char* section, const std::string& file,
                                      std::vector<std::string>* lines) {
  lines->clear();
  for (DWORD size = kFirstProfileBuffer;; size *= 2) {
    std::string buffer(size, '\0');
    const DWORD n = GetPrivateProfileSectionA(section, buffer.data(), size, file.c_str());
    // size - 2 means the section was cut to fit.
    if (n == size - 2 && size < kLastProfileBuffer) continue;
    // The block is lines ended by zero bytes; only its first n bytes are read.
    const CodePage cp;
    std::string_view block(buffer.data(), n < size ? n : size);
    while (!block.empty()) {
      const size_t end = block.find('\0');
      lines->push_back(quillon::TrimCopy(block.substr(0, end), cp));
      block = end == std::string_view::npos ? std::string_view() : block.substr(end + 1);
    }
    return;
  }
}

int CKtFunctions::LocateProductFile(std::string* out, const char* file_name) {
  std::string folder;
  if (!CKtReg().ReadString(&folder, HKEY_LOCAL_MACHINE, kPolicySubkey, kInstallationPathValue)) {
    *out = folder;
    return 0;
  }
  // An empty folder names no installation: searching "\Admin.ini" on the current drive
  // would find an unrelated file.
  if (folder.empty()) {
    *out = GetErrorText(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  std::string path = folder;
  if (!EndsWithChar(path, '\\', CodePage())) path += '\\';
  path += file_name;
  // One exact path: a wildcard in the folder matches nothing, and a folder counts as found.
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    *out = GetErrorText(GetLastError());
    return 0;
  }
  *out = path;
  return 1;
}

}  // namespace quillon
