#include "quillsvc/candwin/surface.h"

#include <gtest/gtest.h>

#include <string>

#include "quillsvc/candwin/test_surface.h"

namespace quillet {
namespace {

using testing::Call;
using testing::Op;
using testing::TestFont;
using testing::TestSurface;

size_t Measured(TestSurface& s) { return s.log().Of(Op::kMeasure).size(); }

TEST(MeasureTextOnceTest, ATextIsMeasuredOncePerFontAndItsBoxFollowsTheOrigin) {
  TestSurface s;
  TestFont font(u"f", 16, FontStyle::kRegular, DrawStatus::kOk);
  RectF box;
  ASSERT_TRUE(MeasureTextOnce(s, u"word", font, {4, 30}, &box));
  ASSERT_TRUE(MeasureTextOnce(s, u"word", font, {10, 50}, &box));
  EXPECT_EQ(Measured(s), 1u);
  EXPECT_FLOAT_EQ(box.x, 10);
  EXPECT_FLOAT_EQ(box.y, 50);
  EXPECT_FLOAT_EQ(box.width, 32);
  EXPECT_FLOAT_EQ(box.height, 20);

  // Another font measures for itself.
  TestFont larger(u"f", 32, FontStyle::kRegular, DrawStatus::kOk);
  ASSERT_TRUE(MeasureTextOnce(s, u"word", larger, {0, 0}, &box));
  EXPECT_EQ(Measured(s), 2u);
  EXPECT_FLOAT_EQ(box.width, 64);

  // A failure is recorded and not kept.
  s.log().failIf = [](const Call& c) { return c.op == Op::kMeasure; };
  EXPECT_FALSE(MeasureTextOnce(s, u"other", font, {0, 0}, &box));
  EXPECT_EQ(s.TakeStatus(), DrawStatus::kGenericError);
  s.log().failIf = nullptr;
  ASSERT_TRUE(MeasureTextOnce(s, u"other", font, {0, 0}, &box));
  EXPECT_EQ(Measured(s), 4u);
  EXPECT_FLOAT_EQ(box.width, 40);
}

TEST(MeasureTextOnceTest, TheLeastRecentlyUsedTextMakesRoom) {
  TestSurface s;
  TestFont font(u"f", 16, FontStyle::kRegular, DrawStatus::kOk);
  RectF box;
  for (size_t i = 0; i < TextSizeCache::kCapacity; ++i) {
    ASSERT_TRUE(MeasureTextOnce(s, u"text" + std::u16string(i, u'x'), font, {0, 0}, &box));
  }
  ASSERT_TRUE(MeasureTextOnce(s, u"text", font, {0, 0}, &box));  // used again: now the newest
  ASSERT_TRUE(MeasureTextOnce(s, u"new", font, {0, 0}, &box));   // drops "textx", the oldest
  EXPECT_EQ(font.measured().size(), TextSizeCache::kCapacity);
  const size_t before = Measured(s);
  ASSERT_TRUE(MeasureTextOnce(s, u"text", font, {0, 0}, &box));
  EXPECT_EQ(Measured(s), before);
  ASSERT_TRUE(MeasureTextOnce(s, u"textx", font, {0, 0}, &box));
  EXPECT_EQ(Measured(s), before + 1);
  EXPECT_FLOAT_EQ(box.width, 40);
}

TEST(FontTest, AnotherStyleIsMadeOnceAndKept) {
  TestFont font(u"f", 16, FontStyle::kRegular, DrawStatus::kOk);
  const Font* bold = font.Styled(FontStyle::kBoldItalic);
  ASSERT_NE(bold, nullptr);
  EXPECT_EQ(bold->style(), FontStyle::kBoldItalic);
  EXPECT_EQ(font.Styled(FontStyle::kBoldItalic), bold);
  EXPECT_EQ(font.Styled(FontStyle::kBold)->style(), FontStyle::kBold);
}

}  // namespace
}  // namespace quillet
