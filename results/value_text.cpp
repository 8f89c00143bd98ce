#include "results/value_text.h"

namespace quillon {

namespace {

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Length of the valid UTF-8 sequence at text[i], or 0.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = byte(i);
  size_t n;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;   // overlong
    if (c == 0xED) high = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;   // overlong
    if (c == 0xF4) high = 0x8F;  // past U+10FFFF
  } else {
    return 0;
  }
  if (i + n > text.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < n; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return n;
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

BSTR ValueText(std::string_view text, bool ansi_only, const CodePage& cp) {
  if (ansi_only || !IsUtf8BeyondAscii(text)) return ToBstr(TrimWhite(text, cp), cp);
  // White space is ASCII, and no byte of a UTF-8 sequence is below 0x80: trimming bytes
  // never cuts a character.
  const std::wstring wide = ToWide(TrimAsciiWhite(text), CodePage(CP_UTF8));
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string SortText(std::string_view text, bool ansi_only, const CodePage& cp) {
  if (IsAscii(text) || (!ansi_only && IsUtf8BeyondAscii(text))) return std::string(text);
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
