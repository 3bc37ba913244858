#include "quillsvc/candwin/spin_box.h"

#include <gtest/gtest.h>

#include "quillsvc/candwin/test_surface.h"
#include "quillsvc/candwin/text_label.h"

namespace quillet {
namespace {

using testing::Op;
using testing::TestSurface;

ElementColors Palette() {
  ElementColors p;
  p.foreground = 0xFF000001;
  p.highlightForeground = 0xFF000002;
  p.background = 0xFF000003;
  p.highlightBackground = 0xFF000004;
  p.border = 0xFF000005;
  p.highlightBorder = 0xFF000006;
  return p;
}

TEST(SpinBoxTest, HorizontalArrowsPointOutwardsCentredInTheirHalves) {
  CHSpinBox h(true);
  h.bounds = {100, 10, 32, 20};
  const ArrowGeometry g = h.GetArrowGeometry();
  EXPECT_FLOAT_EQ(g.halves[0].width, 16);
  EXPECT_FLOAT_EQ(g.halves[1].x, 116);
  // Left arrow: base at x + 12 from y + 2 to y + 18 (16 high), apex at x + 4 (8 deep), mid-height.
  EXPECT_FLOAT_EQ(g.arrows[0][0].x, 112);
  EXPECT_FLOAT_EQ(g.arrows[0][0].y, 12);
  EXPECT_FLOAT_EQ(g.arrows[0][1].y, 28);
  EXPECT_FLOAT_EQ(g.arrows[0][2].x, 104);
  EXPECT_FLOAT_EQ(g.arrows[0][2].y, 20);
  // Right arrow: its mirror image in the second half.
  EXPECT_FLOAT_EQ(g.arrows[1][0].x, 120);
  EXPECT_FLOAT_EQ(g.arrows[1][2].x, 128);
}

TEST(SpinBoxTest, VerticalArrowsPointUpAndDown) {
  CVSpinBox v(true);
  v.bounds = {0, 0, 18, 40};
  const ArrowGeometry g = v.GetArrowGeometry();
  EXPECT_FLOAT_EQ(g.halves[0].height, 20);
  EXPECT_FLOAT_EQ(g.halves[1].y, 20);
  EXPECT_FLOAT_EQ(g.arrows[0][1].x - g.arrows[0][0].x, 14);  // 14 wide
  EXPECT_FLOAT_EQ(g.arrows[0][0].y - g.arrows[0][2].y, 7);   // 7 deep, pointing up
  EXPECT_FLOAT_EQ(g.arrows[1][2].y - g.arrows[1][0].y, 7);   // pointing down
  EXPECT_GT(g.arrows[1][0].y, 20);
  EXPECT_LT(g.arrows[1][2].y, 40);
}

TEST(SpinBoxTest, TheMiddleLineBelongsToTheFirstArrow) {
  CHSpinBox h(true);
  h.bounds = {0, 0, 32, 20};
  EXPECT_EQ(h.HitTest({16, 5}), 0);
  EXPECT_EQ(h.HitTest({16.5f, 5}), 1);
  EXPECT_EQ(h.HitTest({32, 5}), -1);
  CVSpinBox v(true);
  v.bounds = {0, 0, 18, 40};
  EXPECT_EQ(v.HitTest({5, 20}), 0);
  EXPECT_EQ(v.HitTest({5, 21}), 1);
  EXPECT_EQ(v.HitTest({5, 40}), -1);
}

TEST(SpinBoxTest, OnlyThePressedHalfTakesTheHighlight) {
  CHSpinBox h(true);
  h.bounds = {0, 0, 32, 20};
  h.pressed[1] = true;
  const ElementColors p = Palette();
  const ElementColors* palettes[] = {&p};
  TestSurface s;
  h.Draw(s, palettes, 1, nullptr);
  const auto fills = s.log().Of(Op::kFillRect);
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0].color, p.background);
  EXPECT_EQ(fills[1].color, p.highlightBackground);
  EXPECT_FLOAT_EQ(fills[1].rect.x, 16);
  const auto arrows = s.log().Of(Op::kPolygon);
  ASSERT_EQ(arrows.size(), 2u);
  EXPECT_EQ(arrows[0].color, p.foreground);
  EXPECT_EQ(arrows[1].color, p.highlightForeground);
  EXPECT_EQ(s.log().Of(Op::kFrameRect).at(0).color, p.border);
}

// Measuring is MeasureTextOnce's (surface_test); the label draws its text in its whole box.
TEST(TextLabelTest, DrawsItsTextInItsBoundsInTheForeground) {
  testing::TestFont font(u"f", 16, FontStyle::kRegular, DrawStatus::kOk);
  CTextLabel label(u"title", true);
  TestSurface s;
  label.Measure(s, {4, 30}, font);
  EXPECT_FLOAT_EQ(label.bounds.width, 40);
  label.bounds.width = 191;
  const ElementColors p = Palette();
  const ElementColors* palettes[] = {&p};
  label.Draw(s, palettes, 1, &font);
  const auto text = s.log().Texts(u"title");
  ASSERT_EQ(text.size(), 1u);
  EXPECT_EQ(text[0].op, Op::kTextInBox);
  EXPECT_FLOAT_EQ(text[0].rect.width, 191);
  EXPECT_EQ(text[0].color, p.foreground);
}

}  // namespace
}  // namespace quillet
