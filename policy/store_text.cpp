#include "policy/store_text.h"

#include <windows.h>

namespace quillon {

const CodePage& StoreCodePage() {
  static const CodePage store(GetACP());
  return store;
}

std::wstring StoreToWide(std::string_view text, const CodePage& cp) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(cp.Id(), 0, text.data(), length, nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(cp.Id(), 0, text.data(), length, out.data(), n);
  return out;
}

std::string WideToStore(std::wstring_view text) {
  if (text.empty()) return {};
  const UINT cp = StoreCodePage().Id();
  // UTF-7 and UTF-8 take no flags (and have no best fit to forbid).
  const DWORD flags = (cp == CP_UTF7 || cp == CP_UTF8) ? 0 : WC_NO_BEST_FIT_CHARS;
  const int length = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(cp, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, flags, text.data(), length, out.data(), n, nullptr, nullptr);
  return out;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool SameName(std::string_view a, std::string_view b, const CodePage& cp) {
  return SameName(StoreToWide(a, cp), StoreToWide(b, cp));
}

bool StartsWithName(std::wstring_view text, std::wstring_view prefix) {
  return prefix.size() <= text.size() && SameName(text.substr(0, prefix.size()), prefix);
}

}  // namespace quillon
