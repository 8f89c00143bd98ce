#include "module/ansi_text.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace quillon {
namespace {

// In code page 932 the katakana A is the pair 0x83 0x41: its second byte is an upper-case
// 'A' when read alone.
constexpr char kKatakanaA[] = "\x83\x41";
constexpr char kKatakanaDi[] = "\x83\x61";  // its second byte is a lower-case a

TEST(AnsiText, ConversionStopsAtFirstZeroAndTreatsNullAsEmpty) {
  EXPECT_EQ(ToText(static_cast<const wchar_t*>(nullptr)), "");
  Bstr with_zero(L"host\0tail", 9);
  EXPECT_EQ(ToText(with_zero.Get()), "host");
  EXPECT_EQ(TextToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

// The component's text is UTF-8 whatever the thread's code page: nothing becomes '?'.
TEST(AnsiText, TheComponentsTextKeepsEveryCharacter) {
  test::ScopedThreadLocale english(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  EXPECT_EQ(ToText(L"a\x3042z"), "a\xE3\x81\x82z");
  EXPECT_EQ(ToText(L"\x0141\xD83D\xDE00"), "\xC5\x81\xF0\x9F\x98\x80");  // Ł, an emoji
  EXPECT_EQ(TextToWide("\xF0\x9F\x98\x80"), L"\xD83D\xDE00");
  // UTF-8 characters are whole to the byte rules: no trail byte is white or folds.
  const CodePage utf8 = TextCodePage();
  EXPECT_EQ(TrimWhite(" \xC2\xA0x\xE3\x81\x82 ", utf8), "\xC2\xA0x\xE3\x81\x82");
  EXPECT_EQ(utf8.CharLength("\xF0\x9F\x98\x80", 0), 4u);
  EXPECT_EQ(utf8.CharLength("\xC3(", 0), 1u) << "a broken sequence is a byte of its own";
  EXPECT_TRUE(EqualsNoCase("M\xC3\xBCLLER", "m\xC3\xBCller", utf8));
  EXPECT_FALSE(EqualsNoCase("\xC3\x84", "\xC3\xA4", utf8)) << "only A-Z fold";
}

TEST(AnsiText, NoLookAlikeStandsInForACharacterTheCodePageLacks) {
  // Best-fit mapping would give "Shop" and "cafe": a different text that looks the same.
  EXPECT_EQ(ToAnsi(L"\xFF33hop", CodePage(1252)), "?hop");
  EXPECT_EQ(ToAnsi(L"caf\x00E9", CodePage(932)), "caf?");
  EXPECT_EQ(ToAnsi(L"\xFF33", CodePage(932)), "\x82\x72") << "full-width S is in 932";
}

TEST(AnsiText, ConvertsInTheThreadsCodePage) {
  test::ScopedThreadLocale japanese(test::kJapanese);
  EXPECT_EQ(CodePage().Id(), 932u);
  EXPECT_EQ(ToAnsi(L"\x30A2", CodePage()), kKatakanaA);
  EXPECT_EQ(ToWide(kKatakanaA, CodePage()), L"\x30A2");
}

TEST(AnsiText, TrimsTheWhiteSpaceClassOnly) {
  const CodePage cp(1252);
  EXPECT_EQ(TrimWhite(" \t\r\n\v\f(cn=a b)\f\v\n\r\t ", cp), "(cn=a b)");
  EXPECT_EQ(TrimWhite("   ", cp), "");
  EXPECT_EQ(TrimWhite("\xA0x\xA0", cp), "\xA0x\xA0");  // no-break space is not white
}

TEST(AnsiText, TrimKeepsADoubleByteCharacterWhole) {
  const CodePage cp(932);
  const std::string text = std::string(" ") + kKatakanaA + " ";
  EXPECT_EQ(TrimWhite(text, cp), kKatakanaA);
  // A lead byte alone at the end is kept as a character of its own.
  EXPECT_EQ(TrimWhite("x\x83", cp), "x\x83");
}

TEST(AnsiText, CaseFoldingNeverTouchesATrailByte) {
  EXPECT_TRUE(EqualsNoCase("SubTree", "subtree", CodePage(932)));
  EXPECT_FALSE(EqualsNoCase(kKatakanaA, kKatakanaDi, CodePage(932)));
  // In a single-byte code page the same bytes are two letters each and fold.
  EXPECT_TRUE(EqualsNoCase(kKatakanaA, kKatakanaDi, CodePage(1252)));
  EXPECT_FALSE(EqualsNoCase("base", "base ", CodePage(1252)));
}

}  // namespace
}  // namespace quillon
