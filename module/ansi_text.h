// Text conversions and the multibyte-aware trimming and comparing that every subsystem
// shares. The component's own text (properties, names, DNs, staged text values, error
// texts) is UTF-8 from the automation boundary to the LDAP library's wide calls, so no
// character a page passes is lost or replaced. Code pages remain where bytes come in a
// code page: the policy store's registry values and INI files (the system's ANSI code
// page), and values or filter files whose bytes are not UTF-8 (the thread's). In a
// double-byte code page the second byte of a character is never looked at as a
// character of its own; in UTF-8 no byte of a longer character is below 0x80.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace quillon {

// The ANSI code page of the calling thread's locale, with its lead-byte ranges.
class CodePage {
 public:
  CodePage();  // the calling thread's
  explicit CodePage(UINT id);

  UINT Id() const { return id_; }
  bool IsLeadByte(unsigned char c) const;
  // No lead bytes at all: every byte is a character.
  bool IsSingleByte() const { return info_.LeadByte[0] == 0; }
  // Length in bytes of the character starting at text[i]: 1 or 2 in a double-byte code
  // page (a lead byte at the very end counts as a character of its own), up to 4 in UTF-8
  // (a byte that starts no valid sequence counts as a character of its own).
  size_t CharLength(std::string_view text, size_t i) const;

 private:
  UINT id_;
  CPINFO info_{};
};

// The component's own text: UTF-8.
CodePage TextCodePage();
// UTF-16 up to its first zero character (null gives empty text), or over its full length,
// as the component's text.
std::string ToText(const wchar_t* text);
std::string ToText(std::wstring_view text);
// The component's text as UTF-16, and as a new BSTR (never null but when memory runs out).
std::wstring TextToWide(std::string_view text);
BSTR TextToBstr(std::string_view text);
// Length of the valid UTF-8 sequence (no overlong forms, no surrogates, nothing past
// U+10FFFF) that starts at text[i], or 0.
size_t Utf8SequenceLength(std::string_view text, size_t i);

// UTF-16 up to its first zero character into ANSI; characters without a mapping
// become the code page's default character (never a look-alike: no best-fit mapping);
// null gives empty text.
std::string ToAnsi(const wchar_t* text, const CodePage& cp);
// UTF-16 over its full length into the code page, the same way.
std::string ToAnsi(std::wstring_view text, const CodePage& cp);
// ANSI over its full length into UTF-16.
std::wstring ToWide(std::string_view text, const CodePage& cp);
// A new BSTR from ANSI text (never null: empty text gives an empty string).
BSTR ToBstr(std::string_view text, const CodePage& cp);

// The multibyte space class: space, tab, line feed, vertical tab, form feed, return.
inline bool IsWhite(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view TrimWhite(std::string_view text, const CodePage& cp);
std::string_view TrimLeadingWhite(std::string_view text);

// Equality without regard to the case of single-byte letters; double-byte characters
// compare byte for byte, and a trail byte is never folded.
bool EqualsNoCase(std::string_view a, std::string_view b, const CodePage& cp);

// Orders two texts character by character: a double-byte character counts as the
// 16-bit value of its two bytes, a single byte as itself, so the code page's character
// values decide (plain byte order would put half-width katakana after kanji in code page
// 932). With fold_case, single-byte letters compare as lower case. Negative, 0 or
// positive, like strcmp.
int CompareMultibyte(std::string_view a, std::string_view b, bool fold_case, const CodePage& cp);

}  // namespace quillon
