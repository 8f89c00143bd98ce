#include "module/ansi_text.h"

#include <oleauto.h>

#include <atomic>
#include <cwchar>

namespace quillon {

namespace {

UINT AnsiCodePageOf(LCID locale) {
  UINT cp = 0;
  if (GetLocaleInfoW(locale, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                     reinterpret_cast<LPWSTR>(&cp), sizeof(cp) / sizeof(WCHAR)) == 0 ||
      cp == 0) {
    cp = GetACP();
  }
  return cp;
}

unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

// The code page of each thread locale met so far, shared by all threads: results convert
// every value of a search, and the lookup costs more than the conversion. The table is the
// module's own data, so the DLL leaves nothing behind when it unloads (thread-local
// storage from the C++ runtime would leave a block for every thread that ever converted
// text, and a slot of the threading library, on every unload). Entries go from free to
// filling to ready and never back; a full table just means no caching.
enum : int { kFree, kFilling, kReady };
struct KnownLocale {
  std::atomic<int> state;
  LCID locale;
  UINT code_page;
  CPINFO info;
};
KnownLocale g_known_locales[8];

}  // namespace

CodePage::CodePage() {
  const LCID locale = GetThreadLocale();
  for (KnownLocale& known : g_known_locales) {
    int state = known.state.load(std::memory_order_acquire);
    if (state == kReady && known.locale == locale) {
      id_ = known.code_page;
      info_ = known.info;
      return;
    }
    // Entries are claimed in order: past the first free one there is nothing to find.
    if (state != kFree) continue;
    *this = CodePage(AnsiCodePageOf(locale));
    if (known.state.compare_exchange_strong(state, kFilling)) {
      known.locale = locale;
      known.code_page = id_;
      known.info = info_;
      known.state.store(kReady, std::memory_order_release);
    }
    return;
  }
  *this = CodePage(AnsiCodePageOf(locale));
}

CodePage::CodePage(UINT id) : id_(id) {
  if (!GetCPInfo(id_, &info_)) info_ = CPINFO{};
}

bool CodePage::IsLeadByte(unsigned char c) const {
  for (int i = 0; i + 1 < MAX_LEADBYTES && info_.LeadByte[i]; i += 2) {
    if (c >= info_.LeadByte[i] && c <= info_.LeadByte[i + 1]) return true;
  }
  return false;
}

size_t CodePage::CharLength(std::string_view text, size_t i) const {
  if (id_ == CP_UTF8) {
    const size_t n = Utf8SequenceLength(text, i);
    return n ? n : 1;
  }
  return (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = byte(i);
  if (c < 0x80) return 1;
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

CodePage TextCodePage() {
  return CodePage(CP_UTF8);
}

std::string ToText(const wchar_t* text) {
  return ToAnsi(text, TextCodePage());
}

std::string ToText(std::wstring_view text) {
  return ToAnsi(text, TextCodePage());
}

std::wstring TextToWide(std::string_view text) {
  return ToWide(text, TextCodePage());
}

BSTR TextToBstr(std::string_view text) {
  return ToBstr(text, TextCodePage());
}

std::string ToAnsi(const wchar_t* text, const CodePage& cp) {
  if (!text) return {};
  return ToAnsi(std::wstring_view(text, wcslen(text)), cp);
}

std::string ToAnsi(std::wstring_view wide, const CodePage& cp) {
  if (wide.empty()) return {};
  const wchar_t* text = wide.data();
  const int wide_length = static_cast<int>(wide.size());
  // A character the code page lacks must not turn into a different one that looks alike
  // (a full-width S into S); code pages that take no flags (UTF-8, some ISO-2022 forms)
  // have no best-fit mapping to refuse.
  DWORD flags = (cp.Id() == CP_UTF7 || cp.Id() == CP_UTF8) ? 0 : WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(cp.Id(), flags, text, wide_length, nullptr, 0, nullptr, nullptr);
  if (n <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    n = WideCharToMultiByte(cp.Id(), flags, text, wide_length, nullptr, 0, nullptr, nullptr);
  }
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp.Id(), flags, text, wide_length, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring ToWide(std::string_view text, const CodePage& code_page) {
  if (text.empty()) return {};
  const UINT cp = code_page.Id();
  const int length = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(cp, 0, text.data(), length, nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(cp, 0, text.data(), length, out.data(), n);
  return out;
}

BSTR ToBstr(std::string_view text, const CodePage& cp) {
  const int length = static_cast<int>(text.size());
  const int n = length ? MultiByteToWideChar(cp.Id(), 0, text.data(), length, nullptr, 0) : 0;
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(n > 0 ? n : 0));
  if (out && n > 0) MultiByteToWideChar(cp.Id(), 0, text.data(), length, out, n);
  return out;
}

std::string_view TrimLeadingWhite(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && IsWhite(static_cast<unsigned char>(text[start]))) ++start;
  return text.substr(start);
}

std::string_view TrimWhite(std::string_view text, const CodePage& cp) {
  text = TrimLeadingWhite(text);
  // Walk forward so that a trail byte is never mistaken for white space.
  size_t end = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t n = cp.CharLength(text, i);
    if (n > 1 || !IsWhite(static_cast<unsigned char>(text[i]))) end = i + n;
    i += n;
  }
  return text.substr(0, end);
}

bool EqualsNoCase(std::string_view a, std::string_view b, const CodePage& cp) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const size_t na = cp.CharLength(a, i);
    const size_t nb = cp.CharLength(b, j);
    if (na != nb) return false;
    if (na == 1) {
      if (FoldAscii(a[i]) != FoldAscii(b[j])) return false;
    } else if (a.compare(i, na, b, j, nb) != 0) {
      return false;
    }
    i += na;
    j += nb;
  }
  return i == a.size() && j == b.size();
}

int CompareMultibyte(std::string_view a, std::string_view b, bool fold_case, const CodePage& cp) {
  // Sorting compares keys n log n times: in a single-byte code page the exact order is the
  // byte order, which the library compares fastest. UTF-8's byte order is the order of
  // its characters' values.
  if (!fold_case && (cp.IsSingleByte() || cp.Id() == CP_UTF8)) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const size_t na = cp.CharLength(a, i);
    const size_t nb = cp.CharLength(b, j);
    unsigned ca = static_cast<unsigned char>(a[i]);
    unsigned cb = static_cast<unsigned char>(b[j]);
    // In UTF-8 the first bytes of two characters already order them, unless equal.
    if (cp.Id() == CP_UTF8 && (na > 1 || nb > 1) && ca == cb) {
      const int c = a.substr(i, na).compare(b.substr(j, nb));
      if (c != 0) return c < 0 ? -1 : 1;
      i += na;
      j += nb;
      continue;
    }
    if (na == 2 && cp.Id() != CP_UTF8) ca = (ca << 8) | static_cast<unsigned char>(a[i + 1]);
    if (nb == 2 && cp.Id() != CP_UTF8) cb = (cb << 8) | static_cast<unsigned char>(b[j + 1]);
    if (fold_case) {
      if (na == 1) ca = FoldAscii(static_cast<unsigned char>(ca));
      if (nb == 1) cb = FoldAscii(static_cast<unsigned char>(cb));
    }
    if (ca != cb) return ca < cb ? -1 : 1;
    i += na;
    j += nb;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace quillon
