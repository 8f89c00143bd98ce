#include "tools/pagehost/site_path.h"

#include <windows.h>

#include <cwctype>

namespace pagehost {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool FromUtf8(const std::string& bytes, std::wstring* out) {
  out->clear();
  if (bytes.empty()) return true;
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                    static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return false;
  out->resize(n);
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                      out->data(), n);
  return true;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 (and CONIN$, CONOUT$) open devices under any folder
// and with any extension.
bool IsDeviceName(const std::wstring& name) {
  std::wstring base = name.substr(0, name.find(L'.'));
  while (!base.empty() && (base.back() == L' ')) base.pop_back();
  for (auto& c : base) c = towupper(c);
  if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
      base == L"CONOUT$" || base == L"CLOCK$") {
    return true;
  }
  return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
         base[3] >= L'0' && base[3] <= L'9';
}

// A name that stays where it is written: no separators, drives, streams, wildcards or
// control characters, and no trailing dot or blank.
bool IsPlainName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (wchar_t c : name) {
    if (c < 0x20 || wcschr(L"\\/:*?\"<>|", c)) return false;
  }
  if (name.back() == L'.' || name.back() == L' ') return false;
  return !IsDeviceName(name);
}

// Splits at '/' (and, for include names written the Windows way, at '\\').
std::vector<std::wstring> Split(const std::wstring& path, bool backslash_too) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (wchar_t c : path) {
    if (c == L'/' || (backslash_too && c == L'\\')) {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  return parts;
}

}  // namespace

bool PercentDecode(const std::string& in, bool plus_is_space, std::string* out) {
  out->clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '%') {
      const int hi = i + 2 < in.size() ? HexDigit(in[i + 1]) : -1;
      const int lo = hi >= 0 ? HexDigit(in[i + 2]) : -1;
      if (lo < 0) return false;
      *out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (in[i] == '+' && plus_is_space) {
      *out += ' ';
    } else {
      *out += in[i];
    }
  }
  return true;
}

int ResolveRequestPath(const std::string& encoded, SitePath* out) {
  out->clear();
  std::string bytes;
  std::wstring path;
  if (!PercentDecode(encoded, false, &bytes) || !FromUtf8(bytes, &path)) return 400;
  if (path.empty() || path[0] != L'/') return 400;
  const std::vector<std::wstring> parts = Split(path.substr(1), false);
  for (size_t i = 0; i < parts.size(); ++i) {
    // "/a//b" and a trailing "/" (a folder) keep their empty names out of the path.
    if (parts[i].empty()) continue;
    if (parts[i] == L"..") return 400;
    if (parts[i] == L".") continue;
    if (!IsPlainName(parts[i])) return IsDeviceName(parts[i]) ? 404 : 400;
    out->push_back(parts[i]);
  }
  return 0;
}

bool ResolveIncludePath(const SitePath& including_file, const std::wstring& name, bool is_virtual,
                        SitePath* out) {
  out->clear();
  if (name.empty()) return false;
  if (!is_virtual) {
    *out = including_file;
    if (!out->empty()) out->pop_back();  // the including file's folder
  }
  for (const std::wstring& part : Split(name, true)) {
    if (part.empty() || part == L".") continue;
    if (part == L"..") {
      if (out->empty()) return false;  // above the site root
      out->pop_back();
      continue;
    }
    if (!IsPlainName(part)) return false;
    out->push_back(part);
  }
  return !out->empty();
}

std::wstring JoinPath(const std::wstring& root, const SitePath& path) {
  std::wstring joined = root;
  for (const std::wstring& name : path) joined += L"\\" + name;
  return joined;
}

std::wstring UrlOf(const SitePath& path) {
  std::wstring url;
  for (const std::wstring& name : path) url += L"/" + name;
  return url.empty() ? L"/" : url;
}

FileKind KindOf(const std::wstring& name, std::string* content_type) {
  static const struct {
    const wchar_t* extension;
    const char* type;
  } kStatic[] = {
      {L".html", "text/html"},     {L".htm", "text/html"},     {L".css", "text/css"},
      {L".js", "text/javascript"}, {L".txt", "text/plain"},    {L".json", "application/json"},
      {L".png", "image/png"},      {L".jpg", "image/jpeg"},    {L".jpeg", "image/jpeg"},
      {L".gif", "image/gif"},      {L".svg", "image/svg+xml"}, {L".ico", "image/x-icon"},
      {L".webp", "image/webp"},    {L".woff2", "font/woff2"},
  };
  const size_t dot = name.rfind(L'.');
  const std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot);
  if (lstrcmpiW(extension.c_str(), L".asp") == 0) return FileKind::kPage;
  for (const auto& s : kStatic) {
    if (lstrcmpiW(extension.c_str(), s.extension) == 0) {
      *content_type = s.type;
      return FileKind::kStatic;
    }
  }
  // Includes (.inc), global.asa, configuration and everything else is never sent.
  return FileKind::kRefused;
}

}  // namespace pagehost
