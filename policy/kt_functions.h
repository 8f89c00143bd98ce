// CKtFunctions: the text, INI-file, error-text and file-location helpers of the policy
// store. Stateless; the text rules are thin calls of the pure functions in policy_text.h
// in the code page the store is read in (store_text.h), never the calling thread's.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// One policy file in the installation folder. Absent means the file is not there (or no
// folder is named): the policy is not set up. Unreadable means it is there but cannot be
// opened for reading (no read right, a sharing violation, a folder of that name), or that
// whether it is there cannot be told for another reason than "not found".
struct PolicyFile {
  enum State { kAbsent, kReadable, kUnreadable };
  State state = kAbsent;
  bool exists = false;  // an entry of that path was found, readable or not
  std::string path;     // the full path, when a folder is named
  std::string why;      // the system's text, when absent or unreadable
};

class CKtFunctions {
 public:
  virtual ~CKtFunctions() = default;

  std::string TrimCopy(std::string_view text);
  int IsInList(std::string_view list, std::string_view item);
  std::vector<std::string> SplitList(std::string_view text, char separator);
  std::string BeforeChar(std::string_view text, char c);
  std::string AfterChar(std::string_view text, char c);
  // Values are compared in their long form (path_form.h), with text as given.
  std::string MatchPrefixLine(const std::vector<std::string>& lines, std::string_view text,
                              char separator);
  std::string MatchPrefixLine(const std::vector<std::string>& lines, std::wstring_view text,
                              char separator);

  // The system's message for a code, as the system gives it (line break included), or a
  // fixed text naming the code when the system has none.
  std::string GetErrorText(DWORD code);

  // One INI value, trimmed; empty when the file, section or key is missing.
  void ReadProfileString(std::string* out, const char* section, const char* key,
                         const std::string& file);
  // The lines of one INI section in file order, each trimmed; empty when missing.
  void ReadProfileSection(const char* section, const std::string& file,
                          std::vector<std::string>* lines);

  // The full path of file_name in the folder named by "InstallationPath", when an entry
  // of that path exists; otherwise 0 with the error text.
  int LocateProductFile(std::string* out, const char* file_name);
  // The same, and whether the file can be read.
  PolicyFile FindPolicyFile(const char* file_name);
};

}  // namespace quillon
