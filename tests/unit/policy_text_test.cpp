// The text rules of the policy store, without the store: lists, "name=value" lines, the
// numbers in the store, and how each behaves in the double-byte code page 932.
#include <gtest/gtest.h>

#include <climits>

#include "policy/kt_functions.h"
#include "policy/policy_text.h"
#include "test_support.h"

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

const CodePage kWestern(1252);
const CodePage kJapaneseCp(932);

// Code page 932 pairs whose second byte reads, alone, as an ASCII character.
constexpr char kHyou[] = "\x95\x5C";        // a kanji whose second byte is '\'
constexpr char kKatakanaA[] = "\x83\x41";   // second byte 'A'
constexpr char kKatakanaDi[] = "\x83\x61";  // the same lead byte, second byte 'a'

TEST(KtFunctions, ListMembershipTrimsElementsAndIgnoresCase) {
  EXPECT_EQ(IsInList("Add , Query", "query", kWestern), 1);
  EXPECT_EQ(IsInList("Add , Query", "ADD", kWestern), 1);
  EXPECT_EQ(IsInList("Add , Query", "Modify", kWestern), 0);
  EXPECT_EQ(IsInList("", "Add", kWestern), 0);
  EXPECT_EQ(IsInList("\tQuillon\t", "quillon", kWestern), 1);
  // Whole elements only: neither a longer name nor a shorter one counts.
  EXPECT_EQ(IsInList("Quillon2, Quil", "Quillon", kWestern), 0);
  EXPECT_EQ(IsInList("Modify", "ModifyDN", kWestern), 0);
  // The item is compared as given, not trimmed.
  EXPECT_EQ(IsInList("Add", " Add", kWestern), 0);
  // An empty element equals only an empty item; a trailing comma adds none.
  EXPECT_EQ(IsInList("Add,,Query", "", kWestern), 1);
  EXPECT_EQ(IsInList("Add,", "", kWestern), 0);
}

TEST(KtFunctions, SplitListTrimsEachPiece) {
  EXPECT_EQ(SplitList(" a , b ,, c ", ',', kWestern), (Lines{"a", "b", "", "c"}));
  EXPECT_EQ(SplitList("a,", ',', kWestern), (Lines{"a"}));
  EXPECT_EQ(SplitList("", ',', kWestern), Lines{});
  EXPECT_EQ(SplitList("   ", ',', kWestern), (Lines{""}));
}

TEST(KtFunctions, TextAroundTheFirstSeparator) {
  EXPECT_EQ(BeforeChar(" dir1 : 636 ", ':', kWestern), "dir1");
  EXPECT_EQ(AfterChar(" dir1 : 636 ", ':', kWestern), "636");
  EXPECT_EQ(BeforeChar(" dir1 ", ':', kWestern), "dir1");
  EXPECT_EQ(AfterChar(" dir1 ", ':', kWestern), "");
  EXPECT_EQ(BeforeChar(":636", ':', kWestern), "");
  EXPECT_EQ(AfterChar("a:b:c", ':', kWestern), "b:c");
}

TEST(KtFunctions, PrefixMatchTakesTheFirstLineInFileOrderIgnoringCase) {
  const Lines lines = {"A=D:\\Web\\Site1", "B=D:\\Web"};
  EXPECT_EQ(MatchPrefixLine(lines, "d:\\web\\site1\\x.asp", '=', kWestern), "A=D:\\Web\\Site1");
  EXPECT_EQ(MatchPrefixLine(lines, "D:\\Web\\Site2\\y.asp", '=', kWestern), "B=D:\\Web");
  // A later, more specific folder does not win, and no separator is needed after a folder.
  const Lines nested = {"Site1=D:\\Web\\Site1", "Site2=D:\\Web\\Site1\\Shop"};
  EXPECT_EQ(MatchPrefixLine(nested, "D:\\Web\\Site1\\Shop\\a.asp", '=', kWestern), nested[0]);
  EXPECT_EQ(MatchPrefixLine(nested, "D:\\Web\\Site10\\a.asp", '=', kWestern), nested[0]);
  EXPECT_EQ(MatchPrefixLine(lines, "E:\\other.asp", '=', kWestern), "");
}

TEST(KtFunctions, PrefixMatchComparesOnlyTheTrimmedValue) {
  // The line comes back unchanged; its value is trimmed only for the comparison.
  EXPECT_EQ(MatchPrefixLine({"S = D:\\Web "}, "D:\\Web\\a.asp", '=', kWestern), "S = D:\\Web ");
  // The value is cut at the first separator only.
  EXPECT_EQ(MatchPrefixLine({"S=D:\\a=b"}, "D:\\a=b\\x", '=', kWestern), "S=D:\\a=b");
  // An empty value matches every text; a line without separator, or an empty one, never.
  EXPECT_EQ(MatchPrefixLine({"", "D:\\Web", "C="}, "D:\\Web\\a.asp", '=', kWestern), "C=");
  // The name plays no part, and a value longer than the text cannot match.
  EXPECT_EQ(MatchPrefixLine({"D:\\Web=E:\\x"}, "D:\\Web\\a.asp", '=', kWestern), "");
  EXPECT_EQ(MatchPrefixLine({"S=D:\\Web\\Site1"}, "D:\\Web", '=', kWestern), "");
}

TEST(KtFunctions, LeadingNumbersReadLikeTheCLibrary) {
  EXPECT_EQ(ParseLeadingInt("636"), 636);
  EXPECT_EQ(ParseLeadingInt(" \t+42abc"), 42);
  EXPECT_EQ(ParseLeadingInt("-7"), -7);
  EXPECT_EQ(ParseLeadingInt("abc"), 0);
  EXPECT_EQ(ParseLeadingInt("--1"), 0);
  EXPECT_EQ(ParseLeadingInt(""), 0);
  EXPECT_EQ(ParseLeadingInt("4294967295"), INT32_MAX);
  EXPECT_EQ(ParseLeadingInt("-99999999999999999999999"), INT32_MIN);
}

TEST(KtFunctions, SearchesNeverStopOnASecondByte) {
  const std::string folder = std::string("C:\\") + kHyou;
  EXPECT_FALSE(EndsWithChar(folder, '\\', kJapaneseCp));
  EXPECT_TRUE(EndsWithChar(folder + "\\", '\\', kJapaneseCp));
  EXPECT_TRUE(EndsWithChar(folder, '\\', kWestern));  // one byte per character there
  EXPECT_FALSE(EndsWithChar("", '\\', kJapaneseCp));
  EXPECT_EQ(FindChar(std::string(kHyou) + "\\x", '\\', kJapaneseCp), 2u);
  // A key path split at its first backslash keeps a kanji of the root name whole.
  EXPECT_EQ(BeforeChar(std::string("a") + kHyou + "\\b", '\\', kJapaneseCp),
            std::string("a") + kHyou);
}

TEST(KtFunctions, DoubleByteNamesCompareWholeAndTrimWhole) {
  const std::string name = kKatakanaA;
  EXPECT_EQ(IsInList(" Add , " + name + " ", name, kJapaneseCp), 1);
  // The second bytes 'A' and 'a' are not letters in code page 932, so never fold.
  EXPECT_EQ(IsInList(name, kKatakanaDi, kJapaneseCp), 0);
  EXPECT_EQ(IsInList(name, kKatakanaDi, kWestern), 1);
  const Lines lines = {"S=D:\\" + name, "T=D:\\"};
  EXPECT_EQ(MatchPrefixLine(lines, std::string("d:\\") + kKatakanaDi + "\\a", '=', kJapaneseCp),
            "T=D:\\");
  EXPECT_EQ(MatchPrefixLine(lines, "d:\\" + name + "\\a", '=', kJapaneseCp), lines[0]);
  EXPECT_EQ(TrimCopy(" " + name + "\t", kJapaneseCp), name);
}

// The store is read in the system's code page, so a page that switches its thread's
// locale reads it the same: in 932 these are two katakana, in 1252 "\x83A" and "\x83a".
TEST(KtFunctions, HelperObjectsReadTheStoreInTheSystemsCodePage) {
  const int expected = GetACP() == 932 ? 0 : 1;
  for (LANGID language :
       {test::kJapanese, static_cast<LANGID>(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US))}) {
    test::ScopedThreadLocale thread_locale(language);
    EXPECT_EQ(CKtFunctions().IsInList(kKatakanaA, kKatakanaDi), expected) << language;
  }
}

}  // namespace
}  // namespace quillon
