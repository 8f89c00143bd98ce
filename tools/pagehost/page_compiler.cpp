#include "tools/pagehost/page_compiler.h"

#include <cctype>
#include <cstring>

namespace pagehost {

namespace {

// Pieces of the page in order, includes expanded.
struct Piece {
  enum Kind { kLiteral, kCode, kExpression } kind;
  std::string bytes;
  int file;
  int line;
};

std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

int CountLines(const std::string& bytes, size_t from, size_t to) {
  int n = 0;
  for (size_t i = from; i < to; ++i) n += bytes[i] == '\n';
  return n;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

size_t SkipBlanks(const std::string& s, size_t at) {
  while (at < s.size() && isspace(static_cast<unsigned char>(s[at]))) ++at;
  return at;
}

// <!-- #include file="x" --> or virtual="x" at `at` (which starts "<!--"). Sets the end of
// the directive; false when this comment is not an include.
bool MatchInclude(const std::string& s, size_t at, bool* is_virtual, std::string* name,
                  size_t* end) {
  size_t p = SkipBlanks(s, at + 4);
  if (Lower(s.substr(p, 8)) != "#include") return false;
  p = SkipBlanks(s, p + 8);
  const std::string word = Lower(s.substr(p, 7));
  if (word == "virtual") {
    *is_virtual = true;
    p += 7;
  } else if (word.compare(0, 4, "file") == 0) {
    *is_virtual = false;
    p += 4;
  } else {
    return false;
  }
  p = SkipBlanks(s, p);
  if (p >= s.size() || s[p] != '=') return false;
  p = SkipBlanks(s, p + 1);
  if (p >= s.size() || s[p] != '"') return false;
  const size_t close = s.find('"', p + 1);
  if (close == std::string::npos) return false;
  *name = s.substr(p + 1, close - p - 1);
  const size_t stop = s.find("-->", close);
  if (stop == std::string::npos) return false;
  *end = stop + 3;
  return true;
}

class Compiler {
 public:
  Compiler(const std::wstring& root, CompiledPage* out, CompileError* error)
      : root_(root), out_(out), error_(error) {}

  bool Run(const SitePath& page) {
    if (!Load(page, -1, 0)) return false;
    if (!ReadDirective()) return false;
    if (!Scan(0, 0, directive_end_)) return false;
    Generate();
    return true;
  }

 private:
  bool Fail(int file, int line, const std::wstring& description) {
    if (file >= 0) {
      const SourceFile& f = out_->files[file];
      error_->file = UrlOf(f.path);
      error_->line = line;
      if (line >= 1 && static_cast<size_t>(line) <= f.lines.size())
        error_->text = f.lines[line - 1];
    }
    error_->description = description;
    return false;
  }

  // Reads a file into files[]; `from` and `line` say which include asked for it.
  bool Load(const SitePath& path, int from, int line) {
    SourceFile f;
    f.path = path;
    f.windows_path = JoinPath(root_, path);
    std::string bytes;
    if (!ReadWholeFile(f.windows_path, &bytes, &f.written, &f.size)) {
      if (from < 0) {
        error_->status = 404;
        error_->file = UrlOf(path);
        error_->description = L"The page does not exist.";
        return false;
      }
      return Fail(from, line, L"The include file \"" + UrlOf(path) + L"\" was not found.");
    }
    f.lines = SplitLines(bytes);
    out_->files.push_back(std::move(f));
    contents_.push_back(std::move(bytes));
    return true;
  }

  // <%@ Language="JScript" CodePage=65001 %> may come first in the page, after blanks.
  bool ReadDirective() {
    const std::string& s = contents_[0];
    const size_t at = SkipBlanks(s, 0);
    if (s.compare(at, 3, "<%@") != 0) return true;
    const size_t close = s.find("%>", at);
    if (close == std::string::npos) return Fail(0, 1, L"The directive <%@ has no closing %>.");
    std::string text = s.substr(at + 3, close - at - 3);
    for (char& c : text)
      if (c == '"') c = ' ';
    size_t p = 0;
    while ((p = SkipBlanks(text, p)) < text.size()) {
      const size_t eq = text.find('=', p);
      if (eq == std::string::npos) break;
      std::string key = Lower(text.substr(p, eq - p));
      while (!key.empty() && isspace(static_cast<unsigned char>(key.back()))) key.pop_back();
      size_t v = SkipBlanks(text, eq + 1), vend = v;
      while (vend < text.size() && !isspace(static_cast<unsigned char>(text[vend]))) ++vend;
      const std::string value = text.substr(v, vend - v);
      p = vend;
      const int line = 1 + CountLines(s, 0, at);
      if (key == "language") {
        const std::string l = Lower(value);
        if (l == "vbscript" || l == "vbs") {
          out_->language = Language::kVBScript;
        } else if (l == "jscript" || l == "javascript" || l == "ecmascript") {
          out_->language = Language::kJScript;
        } else {
          return Fail(0, line, L"The language of the page must be VBScript or JScript.");
        }
      } else if (key == "codepage") {
        CPINFO info;
        const UINT page = static_cast<UINT>(strtoul(value.c_str(), nullptr, 10));
        if (!GetCPInfo(page, &info))
          return Fail(0, line, L"The page's code page is not installed.");
        out_->code_page = page;
      }  // EnableSessionState, LCID, Transaction: accepted and ignored
    }
    directive_end_ = close + 2;
    directive_lines_ = CountLines(s, 0, directive_end_);
    return true;
  }

  void AddLiteral(std::string bytes, int file, int line) {
    if (bytes.empty()) return;
    if (!pieces_.empty() && pieces_.back().kind == Piece::kLiteral) {
      pieces_.back().bytes += bytes;
      return;
    }
    pieces_.push_back({Piece::kLiteral, std::move(bytes), file, line});
  }

  bool Scan(int file, int depth, size_t start) {
    const std::string s = contents_[file];  // a copy: Load may grow contents_
    int line = 1 + (file == 0 ? directive_lines_ : 0);
    size_t at = start;
    while (at < s.size()) {
      const size_t code = s.find("<%", at);
      const size_t comment = s.find("<!--", at);
      const size_t next = std::min(code, comment);
      if (next == std::string::npos) {
        AddLiteral(s.substr(at), file, line);
        break;
      }
      AddLiteral(s.substr(at, next - at), file, line);
      line += CountLines(s, at, next);
      if (next == comment) {
        bool is_virtual = false;
        std::string name;
        size_t end = 0;
        if (!MatchInclude(s, next, &is_virtual, &name, &end)) {
          AddLiteral("<!--", file, line);
          at = next + 4;
          continue;
        }
        if (!Include(file, line, depth, name, is_virtual)) return false;
        line += CountLines(s, next, end);
        at = end;
        continue;
      }
      const size_t close = s.find("%>", next + 2);
      if (close == std::string::npos)
        return Fail(file, line, L"A script block <% has no closing %>.");
      if (s[next + 2] == '@')
        return Fail(file, line, L"The <%@ directive must come first in the page.");
      const bool expression = s[next + 2] == '=';
      pieces_.push_back({expression ? Piece::kExpression : Piece::kCode,
                         s.substr(next + (expression ? 3 : 2), close - next - (expression ? 3 : 2)),
                         file, line});
      line += CountLines(s, next, close);
      at = close + 2;
    }
    return true;
  }

  bool Include(int file, int line, int depth, const std::string& name, bool is_virtual) {
    if (depth + 1 > kMaxIncludeDepth) {
      return Fail(file, line,
                  L"Includes are nested more than 16 deep (does a file include itself?).");
    }
    SitePath path;
    const std::wstring wide = FromPage(name);
    if (!ResolveIncludePath(out_->files[file].path, wide, is_virtual, &path)) {
      return Fail(file, line, L"The include file \"" + wide + L"\" is not inside the site.");
    }
    if (!Load(path, file, line)) return false;
    return Scan(static_cast<int>(out_->files.size()) - 1, depth + 1, 0);
  }

  std::wstring FromPage(const std::string& bytes) const {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(out_->code_page, 0, bytes.data(),
                                      static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring w(n > 0 ? n : 0, L'\0');
    if (n > 0)
      MultiByteToWideChar(out_->code_page, 0, bytes.data(), static_cast<int>(bytes.size()),
                          w.data(), n);
    return w;
  }

  void StartLine(int file, int line) {
    if (!out_->script.empty()) out_->script += L'\n';
    out_->lines.push_back({file, line});
  }

  void AddText(const std::wstring& text, int file, int line) {
    for (wchar_t c : text) {
      if (c == L'\n') {
        out_->script += L'\n';
        out_->lines.push_back({file, ++line});
      } else if (c != L'\r') {
        out_->script += c;
      }
    }
  }

  void Generate() {
    const bool vb = out_->language == Language::kVBScript;
    for (Piece& p : pieces_) {
      StartLine(p.file, p.line);
      if (p.kind == Piece::kLiteral) {
        const std::wstring n = std::to_wstring(out_->blocks.size());
        out_->script += vb ? L"Response.WriteBlock " + n : L"Response.WriteBlock(" + n + L");";
        out_->blocks.push_back(std::move(p.bytes));
      } else if (p.kind == Piece::kExpression) {
        out_->script += L"Response.Write(";
        AddText(FromPage(p.bytes), p.file, p.line);
        out_->script += vb ? L")" : L");";
      } else {
        AddText(FromPage(p.bytes), p.file, p.line);
      }
    }
  }

  std::wstring root_;
  CompiledPage* out_;
  CompileError* error_;
  std::vector<std::string> contents_;
  std::vector<Piece> pieces_;
  size_t directive_end_ = 0;
  int directive_lines_ = 0;
};

}  // namespace

bool ReadWholeFile(const std::wstring& path, std::string* bytes, FILETIME* written,
                   ULONGLONG* size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(file, &info) &&
            !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            GetFileType(file) == FILE_TYPE_DISK;
  if (ok) {
    *written = info.ftLastWriteTime;
    *size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    bytes->assign(static_cast<size_t>(*size), '\0');
    DWORD got = 0;
    ok = *size == 0 ||
         (ReadFile(file, bytes->data(), static_cast<DWORD>(*size), &got, nullptr) && got == *size);
  }
  CloseHandle(file);
  return ok;
}

bool CompilePage(const std::wstring& root, const SitePath& page, CompiledPage* out,
                 CompileError* error) {
  *out = CompiledPage();
  return Compiler(root, out, error).Run(page);
}

bool IsCurrent(const CompiledPage& page) {
  for (const SourceFile& f : page.files) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(f.windows_path.c_str(), GetFileExInfoStandard, &data)) return false;
    const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (CompareFileTime(&data.ftLastWriteTime, &f.written) != 0 || size != f.size) return false;
  }
  return true;
}

std::shared_ptr<const CompiledPage> PageCache::Get(const std::wstring& root, const SitePath& page,
                                                   CompileError* error) {
  const std::wstring key = JoinPath(root, page);
  std::shared_ptr<const CompiledPage> found;
  AcquireSRWLockShared(&lock_);
  for (const auto& [k, v] : pages_) {
    if (lstrcmpiW(k.c_str(), key.c_str()) == 0) found = v;
  }
  ReleaseSRWLockShared(&lock_);
  if (found && IsCurrent(*found)) return found;
  auto made = std::make_shared<CompiledPage>();
  if (!CompilePage(root, page, made.get(), error)) return nullptr;
  AcquireSRWLockExclusive(&lock_);
  bool replaced = false;
  for (auto& [k, v] : pages_) {
    if (lstrcmpiW(k.c_str(), key.c_str()) == 0) {
      v = made;
      replaced = true;
    }
  }
  if (!replaced) pages_.emplace_back(key, made);
  ReleaseSRWLockExclusive(&lock_);
  return made;
}

}  // namespace pagehost
