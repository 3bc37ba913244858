#include "common/utf16.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(Utf16, RoundTripsEveryPlane) {
  const std::u16string text = u"caf\u00e9 \u4e2d \U0001F600 don't";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(ToUtf8(u"\u00e9"), "\xc3\xa9");
}

TEST(Utf16, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(FromUtf8("a\xff"
                     "b"),
            u"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\xc3"), u"\uFFFD");                      // truncated sequence
  EXPECT_EQ(FromUtf8("\xed\xa0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t{0xD800})), "\xef\xbf\xbd");
}

// One case for each kind of pair the simple lowering knows, and one past them.
TEST(Utf16, SimpleLowerPairsLatinLettersOnly) {
  EXPECT_EQ(SimpleLower(u'Q'), u'q');
  EXPECT_EQ(SimpleLower(0x00C0), 0x00E0);  // A grave
  EXPECT_EQ(SimpleLower(0x00D7), 0x00D7);  // multiplication sign
  EXPECT_EQ(SimpleLower(0x0100), 0x0101);
  EXPECT_EQ(SimpleLower(0x0130), u'i');
  EXPECT_EQ(SimpleLower(0x0139), 0x013A);  // L acute: pairs start on odd code points here
  EXPECT_EQ(SimpleLower(0x014A), 0x014B);  // eng: even again
  EXPECT_EQ(SimpleLower(0x0178), 0x00FF);
  EXPECT_EQ(SimpleLower(0x017F), 0x017F);
  EXPECT_EQ(SimpleLower(0x0391), 0x0391);  // outside the covered blocks
}

}  // namespace
}  // namespace quillet
