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

TEST(Utf16, FoldLowerTouchesOnlyAsciiCapitals) {
  EXPECT_EQ(FoldLower(u'A'), u'a');
  EXPECT_EQ(FoldLower(u'Z'), u'z');
  EXPECT_EQ(FoldLower(u'@'), u'@');
  EXPECT_EQ(FoldLower(u'\u00C9'), u'\u00C9');
}

}  // namespace
}  // namespace quillet
