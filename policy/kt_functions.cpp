#include "policy/kt_functions.h"

#include <cstdio>

#include "module/ansi_text.h"
#include "module/system_message.h"
#include "policy/handles.h"
#include "policy/kt_reg.h"
#include "policy/native_files.h"
#include "policy/path_form.h"
#include "policy/policy_store.h"
#include "policy/policy_text.h"
#include "policy/store_text.h"

namespace quillon {

namespace {

// INI reads start small, as nearly every value fits, and double until the text fits. The
// ceiling keeps a runaway file from exhausting memory; what fits below it is used.
constexpr DWORD kFirstProfileBuffer = 256;
constexpr DWORD kLastProfileBuffer = 16u << 20;

// The codes that say a path names no file at all: the policy is then not set up. Any other
// failure to look (no right to list the folder, a network share that does not answer)
// leaves open whether an administrator's policy is there.
bool NamesNoFile(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string CKtFunctions::TrimCopy(std::string_view text) {
  return quillon::TrimCopy(text, StoreCodePage());
}

int CKtFunctions::IsInList(std::string_view list, std::string_view item) {
  return quillon::IsInList(list, item, StoreCodePage());
}

std::vector<std::string> CKtFunctions::SplitList(std::string_view text, char separator) {
  return quillon::SplitList(text, separator, StoreCodePage());
}

std::string CKtFunctions::BeforeChar(std::string_view text, char c) {
  return quillon::BeforeChar(text, c, StoreCodePage());
}

std::string CKtFunctions::AfterChar(std::string_view text, char c) {
  return quillon::AfterChar(text, c, StoreCodePage());
}

std::string CKtFunctions::MatchPrefixLine(const std::vector<std::string>& lines,
                                          std::string_view text, char separator) {
  return MatchPrefixLine(lines, StoreToWide(text), separator);
}

std::string CKtFunctions::MatchPrefixLine(const std::vector<std::string>& lines,
                                          std::wstring_view text, char separator) {
  return quillon::MatchPrefixLine(lines, text, separator, StoreCodePage(), LongForm);
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
    const NativeFileView native;
    const DWORD n = native.Ready() ? GetPrivateProfileStringA(section, key, "", buffer.data(),
                                                             size, file.c_str())
                                   : 0;
    // size - 1 means the value was cut to fit.
    if (n == size - 1 && size < kLastProfileBuffer) continue;
    *out = n == 0 ? std::string()
                  : quillon::TrimCopy(std::string_view(buffer.data(), n), StoreCodePage());
    return;
  }
}

void CKtFunctions::ReadProfileSection(const char* section, const std::string& file,
                                      std::vector<std::string>* lines) {
  lines->clear();
  for (DWORD size = kFirstProfileBuffer;; size *= 2) {
    std::string buffer(size, '\0');
    const NativeFileView native;
    const DWORD n =
        native.Ready() ? GetPrivateProfileSectionA(section, buffer.data(), size, file.c_str()) : 0;
    // size - 2 means the section was cut to fit.
    if (n == size - 2 && size < kLastProfileBuffer) continue;
    // The block is lines ended by zero bytes; only its first n bytes are read.
    const CodePage& cp = StoreCodePage();
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
  const PolicyFile file = FindPolicyFile(file_name);
  *out = file.exists ? file.path : file.why;
  return file.exists ? 1 : 0;
}

PolicyFile CKtFunctions::FindPolicyFile(const char* file_name) {
  PolicyFile file;
  std::string folder;
  if (!CKtReg().ReadString(&folder, HKEY_LOCAL_MACHINE, kPolicySubkey, kInstallationPathValue)) {
    file.why = folder;
    return file;
  }
  // An empty folder names no installation: searching "\Admin.ini" on the current drive
  // would find an unrelated file.
  if (folder.empty()) {
    file.why = GetErrorText(ERROR_PATH_NOT_FOUND);
    return file;
  }
  file.path = folder;
  if (!EndsWithChar(file.path, '\\', StoreCodePage())) file.path += '\\';
  file.path += file_name;
  const NativeFileView native;
  if (!native.Ready()) {
    file.why = GetErrorText(GetLastError());
    file.state = PolicyFile::kUnreadable;
    return file;
  }
  // One exact path: a wildcard in the folder matches nothing, and a folder counts as found.
  if (GetFileAttributesA(file.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    file.why = GetErrorText(code);
    if (!NamesNoFile(code)) file.state = PolicyFile::kUnreadable;
    return file;
  }
  file.exists = true;
  // Opened as the profile functions open it, sharing everything, so that only what would
  // stop them reading it counts.
  OpenFile opened(CreateFileA(file.path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!opened.Valid()) {
    file.why = GetErrorText(GetLastError());
    file.state = PolicyFile::kUnreadable;
    return file;
  }
  file.state = PolicyFile::kReadable;
  return file;
}

}  // namespace quillon
