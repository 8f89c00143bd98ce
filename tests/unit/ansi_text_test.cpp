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
  EXPECT_EQ(ToAnsi(nullptr), "");
  Bstr with_zero(L"host\0tail", 9);
  EXPECT_EQ(ToAnsi(with_zero.Get()), "host");
  EXPECT_EQ(ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

TEST(AnsiText, UnmappedCharactersBecomeTheDefaultCharacter) {
  test::ScopedThreadLocale english(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  EXPECT_EQ(ToAnsi(L"a\x3042z"), "a?z");
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
  EXPECT_EQ(ToAnsi(L"\x30A2"), kKatakanaA);
  EXPECT_EQ(ToWide(kKatakanaA), L"\x30A2");
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
