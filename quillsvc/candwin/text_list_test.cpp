#include "quillsvc/candwin/text_list.h"

#include <gtest/gtest.h>

#include "quillsvc/candwin/test_surface.h"

namespace quillet {
namespace {

using testing::Call;
using testing::Op;
using testing::TestFont;
using testing::TestSurface;

class TextListTest : public ::testing::Test {
 protected:
  void Fill(size_t n) {
    for (size_t i = 0; i < n; ++i) list_.Append(u"word" + std::u16string(i, u'x'));
  }
  void Draw() {
    const ElementColors* palettes[] = {&colors_};
    list_.Draw(surface_, palettes, 1, &font_);
  }

  TestFont font_{u"f", 16, FontStyle::kRegular, DrawStatus::kOk};  // 8 per character, 20 per line
  TestSurface surface_;
  CTextList list_{true};
  ElementColors colors_{0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004, 0xFF000005, 0xFF000006};
};

TEST_F(TextListTest, MeasuresRowsNumberColumnAndWidestItem) {
  Fill(3);  // "word", "wordx", "wordxx"
  list_.Measure(surface_, {4, 30}, font_);
  EXPECT_FLOAT_EQ(list_.itemHeight, 20);
  EXPECT_FLOAT_EQ(list_.numberWidth, 80.0f / 3);
  EXPECT_FLOAT_EQ(list_.bounds.width, 80.0f / 3 + 48);
  EXPECT_FLOAT_EQ(list_.bounds.height, 62);
  EXPECT_FLOAT_EQ(list_.bounds.x, 4);
}

TEST_F(TextListTest, AnEmptyListIsANumberColumnTwoPixelsHighAndDrawsNothing) {
  list_.Measure(surface_, {0, 0}, font_);
  EXPECT_FLOAT_EQ(list_.bounds.width, 80.0f / 3);
  EXPECT_FLOAT_EQ(list_.bounds.height, 2);
  surface_.log().calls.clear();
  Draw();
  EXPECT_TRUE(surface_.log().calls.empty());
}

TEST_F(TextListTest, MeasuringFailuresFallBackToFixedSizes) {
  Fill(2);
  surface_.log().failIf = [](const Call& c) { return c.op == Op::kMeasure; };
  list_.Measure(surface_, {0, 0}, font_);
  EXPECT_FLOAT_EQ(list_.itemHeight, 20);
  EXPECT_FLOAT_EQ(list_.numberWidth, 30);
  EXPECT_FLOAT_EQ(list_.bounds.width, 30);  // no item widened it
  EXPECT_NE(surface_.TakeStatus(), DrawStatus::kOk);
}

TEST_F(TextListTest, TenRowsAreNumberedAndOnlyTheSelectedOneIsHighlighted) {
  Fill(10);
  EXPECT_FALSE(list_.Append(u"eleventh"));
  EXPECT_EQ(list_.ItemCount(), 10u);
  list_.selected = 3;
  list_.Measure(surface_, {4, 50}, font_);
  surface_.log().calls.clear();
  Draw();

  const auto texts = surface_.log().Of(Op::kText);
  ASSERT_EQ(texts.size(), 20u);
  for (size_t i = 0; i < 10; ++i) {
    const Call& number = texts[2 * i];
    const Call& row = texts[2 * i + 1];
    EXPECT_EQ(number.text, CTextList::NumberLabel(i));
    EXPECT_EQ(row.text, list_.Item(i));
    EXPECT_FLOAT_EQ(number.points[0].x, 6);
    EXPECT_FLOAT_EQ(row.points[0].x, 4 + list_.numberWidth);
    EXPECT_FLOAT_EQ(row.points[0].y, 52 + 20.0f * static_cast<float>(i));
    const Argb expected = i == 3 ? colors_.highlightForeground : colors_.foreground;
    EXPECT_EQ(number.color, expected);
    EXPECT_EQ(row.color, expected);
  }
  EXPECT_EQ(texts[0].text, u" 1");
  EXPECT_EQ(texts[18].text, u"10");

  // Background and border first, then the selection bar on row 3.
  const auto fills = surface_.log().Of(Op::kFillRect);
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0].color, colors_.background);
  EXPECT_EQ(fills[1].color, colors_.highlightBackground);
  EXPECT_FLOAT_EQ(fills[1].rect.y, 50 + 2 + 60);
  EXPECT_FLOAT_EQ(fills[1].rect.height, 18);
  EXPECT_FLOAT_EQ(fills[1].rect.width, list_.bounds.width - 4);
  const auto frames = surface_.log().Of(Op::kFrameRect);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].color, colors_.border);
  EXPECT_EQ(frames[1].color, colors_.highlightBorder);
}

TEST_F(TextListTest, RowsAreHitByTheirHeightFromTheTopWithoutThePadding) {
  Fill(3);
  list_.Measure(surface_, {4, 50}, font_);
  EXPECT_EQ(list_.HitTest({10, 50}), 0);
  EXPECT_EQ(list_.HitTest({10, 69.9f}), 0);
  EXPECT_EQ(list_.HitTest({10, 70}), 1);
  EXPECT_EQ(list_.HitTest({10, 111.9f}), 3);  // beyond the items: the manager checks the count
  EXPECT_EQ(list_.HitTest({10, 112}), -1);    // the bottom edge is outside
  EXPECT_EQ(list_.HitTest({list_.bounds.right(), 60}), -1);
  EXPECT_EQ(list_.HitTest({3.9f, 60}), -1);
}

}  // namespace
}  // namespace quillet
