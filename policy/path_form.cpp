#include "policy/path_form.h"

#include <windows.h>

namespace quillon {

namespace {

// GetLongPathNameW of path, or false when the path does not exist or cannot be expanded.
bool LongPathOf(const std::wstring& path, std::wstring* out) {
  const DWORD needed = GetLongPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return false;
  std::wstring buffer(needed, L'\0');
  const DWORD n = GetLongPathNameW(path.c_str(), buffer.data(), needed);
  if (n == 0 || n >= needed) return false;
  buffer.resize(n);
  *out = std::move(buffer);
  return true;
}

}  // namespace

std::wstring LongForm(const std::wstring& path) {
  if (path.find(L'~') == std::wstring::npos) return path;
  std::wstring long_path;
  if (LongPathOf(path, &long_path)) return long_path;
  // The page itself need not exist for its folder to be known.
  const size_t last = path.rfind(L'\\');
  if (last == std::wstring::npos || last == 0) return path;
  if (!LongPathOf(path.substr(0, last), &long_path)) return path;
  return long_path + path.substr(last);
}

}  // namespace quillon
