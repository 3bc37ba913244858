#include "quillsvc/service/text_case.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(TextCaseTest, KeepTypedKeepsTheCaseOfWhatWasTyped) {
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"pro", u"program"), u"program");
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"Pro", u"program"), u"Program");
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"PRO", u"program"), u"PROgram");
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"pRo", u"Program"), u"pRogram");
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"PROGRAM", u"program"), u"PROGRAM");
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"", u"program"), u"program");
}

TEST(TextCaseTest, KeepTypedTakesTheWordWhenTheTypedTextDoesNotBeginIt) {
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"prx", u"program"), u"program");
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"programs", u"program"), u"program");
  // A commit text that differs from the key it was found by.
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"teh", u"the"), u"the");
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"cafe", u"caf\u00e9s"), u"caf\u00e9s");
  // A capital typed first, or every letter in capitals, survives the correction.
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"Teh", u"the"), u"The");
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"TEH", u"the"), u"THE");
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"\u00c9coel", u"\u00e9cole"), u"\u00c9cole");
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"\u0424\u043e\u0442\u043e", u"\u0444\u0430\u0442"), u"\u0424\u0430\u0442");
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"T", u"ab"), u"Ab");
  EXPECT_EQ(AdaptCase(CaseRule::KeepTyped, u"tEH", u"the"), u"the");
}

TEST(TextCaseTest, UpperRaisesOnlyAToZ) {
  EXPECT_EQ(AdaptCase(CaseRule::Upper, u"pro", u"program"), u"PROGRAM");
  EXPECT_EQ(AdaptCase(CaseRule::Upper, u"str", u"stra\u00dfe"), u"STRA\u00dfE");
  EXPECT_EQ(UpperAscii(u"\u00e9t\u00e9 \u03b1 x-1"), u"\u00e9T\u00e9 \u03b1 X-1");
}

TEST(TextCaseTest, CaseInsensitiveEqualityCoversEuropeanAlphabets) {
  EXPECT_TRUE(EqualIgnoringCase(u"\u00c9t\u00c9", u"\u00e9T\u00e9"));              // Latin-1
  EXPECT_TRUE(EqualIgnoringCase(u"\u0141\u00f3d\u017a", u"\u0142\u00d3D\u0179"));  // Latin Extended-A
  EXPECT_TRUE(EqualIgnoringCase(u"\u00ff", u"\u0178"));                            // ÿ and Ÿ
  EXPECT_TRUE(EqualIgnoringCase(u"\u039b\u03cc\u03b3\u03bf\u03c2", u"\u03bb\u038c\u0393\u039f\u03a3"));  // Greek
  EXPECT_TRUE(EqualIgnoringCase(u"\u0401\u0436", u"\u0451\u0416"));                                      // Cyrillic
  EXPECT_FALSE(EqualIgnoringCase(u"e", u"\u00e9"));  // accents count
  EXPECT_FALSE(EqualIgnoringCase(u"ab", u"abc"));
  // Letters the collation keeps apart from their usual partners.
  EXPECT_FALSE(EqualIgnoringCase(u"I", u"\u0131"));
  EXPECT_FALSE(EqualIgnoringCase(u"i", u"\u0130"));
  EXPECT_FALSE(EqualIgnoringCase(u"s", u"\u017f"));
  EXPECT_FALSE(EqualIgnoringCase(u"\u00b5", u"\u03bc"));
  EXPECT_FALSE(EqualIgnoringCase(u"\u00d7", u"\u00f7"));
  EXPECT_FALSE(EqualIgnoringCase(u"@", u"`"));
}

}  // namespace
}  // namespace quillet
