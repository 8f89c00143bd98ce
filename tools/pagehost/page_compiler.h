// A page turned into one script: its literal text becomes numbered blocks written with
// Response.WriteBlock, <%= e %> becomes Response.Write(e), code is kept as written, and
// includes are pasted in where they stand. Every line of the script remembers the file
// and line it came from, so an error names the page author's line, not ours.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tools/pagehost/site_path.h"

namespace pagehost {

enum class Language { kVBScript, kJScript };

struct SourceFile {
  SitePath path;
  std::wstring windows_path;
  FILETIME written{};
  ULONGLONG size = 0;
  std::vector<std::string> lines;  // as bytes, for the error block
};

struct ScriptLine {
  int file;  // index into CompiledPage::files
  int line;  // from 1
};

struct CompiledPage {
  Language language = Language::kVBScript;
  UINT code_page = CP_ACP;
  std::wstring script;
  std::vector<std::string> blocks;
  std::vector<ScriptLine> lines;  // one per line of script
  std::vector<SourceFile> files;  // [0] is the page itself
};

struct CompileError {
  std::wstring file;  // the site path ("/x/page.asp")
  int line = 0;
  std::string text;  // the line's text
  std::wstring description;
  int status = 500;  // 404 when the page itself is missing
};

inline constexpr int kMaxIncludeDepth = 16;

// Reads and compiles the page at `page` below `root`. False with the error filled in.
bool CompilePage(const std::wstring& root, const SitePath& page, CompiledPage* out,
                 CompileError* error);

// Whether every file the page was made from is still as it was read.
bool IsCurrent(const CompiledPage& page);

// Reads a whole file; false when it is missing, a folder, or unreadable.
bool ReadWholeFile(const std::wstring& path, std::string* bytes, FILETIME* written,
                   ULONGLONG* size);

// Compiled pages by path, made again when the page or one of its includes changes.
class PageCache {
 public:
  std::shared_ptr<const CompiledPage> Get(const std::wstring& root, const SitePath& page,
                                          CompileError* error);

 private:
  std::vector<std::pair<std::wstring, std::shared_ptr<const CompiledPage>>> pages_;
  SRWLOCK lock_ = SRWLOCK_INIT;
};

}  // namespace pagehost
