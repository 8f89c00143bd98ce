#include "results/value_text.h"

namespace quillon {

namespace {

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::string_view TrimAsciiWhite(std::string_view text) {
  text = TrimLeadingWhite(text);
  while (!text.empty() && IsWhite(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

}  // namespace

bool IsUtf8BeyondAscii(std::string_view text) {
  bool beyond = false;
  for (size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const size_t n = Utf8SequenceLength(text, i);
    if (n == 0) return false;
    beyond = true;
    i += n;
  }
  return beyond;
}

BSTR ValueText(std::string_view text, const CodePage& cp) {
  if (!IsUtf8BeyondAscii(text)) return ToBstr(TrimWhite(text, cp), cp);
  // White space is ASCII, and no byte of a UTF-8 sequence is below 0x80: trimming bytes
  // never cuts a character.
  const std::wstring wide = ToWide(TrimAsciiWhite(text), CodePage(CP_UTF8));
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string SortText(std::string_view text, const CodePage& cp) {
  if (IsAscii(text) || IsUtf8BeyondAscii(text)) return std::string(text);
  return ToAnsi(std::wstring_view(ToWide(text, cp)), CodePage(CP_UTF8));
}

int CompareSortText(std::string_view a, std::string_view b, bool fold_case) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (fold_case) {
      if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
      if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
    }
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace quillon
