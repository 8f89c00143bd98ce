#include "session/escaping.h"

namespace quillon {

namespace {

void AppendHex(wchar_t c, std::wstring* out) {
  static const wchar_t kHex[] = L"0123456789abcdef";
  out->push_back(L'\\');
  out->push_back(kHex[(c >> 4) & 0xF]);
  out->push_back(kHex[c & 0xF]);
}

}  // namespace

std::wstring EscapeFilterText(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (c == L'*' || c == L'(' || c == L')' || c == L'\\' || c == L'\0') {
      AppendHex(c, &out);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::wstring EscapeDnText(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    const bool edge = i == 0 || i + 1 == text.size();
    if (c == L'\0' || (c == L' ' && edge)) {
      AppendHex(c, &out);
    } else if (std::wstring_view(L",+\"\\<>;=").find(c) != std::wstring_view::npos ||
               (c == L'#' && i == 0)) {
      out.push_back(L'\\');
      out.push_back(c);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string Base64(const unsigned char* data, size_t length) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((length + 2) / 3 * 4);
  for (size_t i = 0; i < length; i += 3) {
    const size_t left = length - i;
    const unsigned long group = (static_cast<unsigned long>(data[i]) << 16) |
                                (left > 1 ? static_cast<unsigned long>(data[i + 1]) << 8 : 0) |
                                (left > 2 ? data[i + 2] : 0);
    out.push_back(kDigits[(group >> 18) & 0x3F]);
    out.push_back(kDigits[(group >> 12) & 0x3F]);
    out.push_back(left > 1 ? kDigits[(group >> 6) & 0x3F] : '=');
    out.push_back(left > 2 ? kDigits[group & 0x3F] : '=');
  }
  return out;
}

}  // namespace quillon
