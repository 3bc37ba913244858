#include "quillsvc/candwin/sheet_tab.h"

#include <gtest/gtest.h>

#include "quillsvc/candwin/test_surface.h"

namespace quillet {
namespace {

using testing::Op;
using testing::TestFont;
using testing::TestSurface;

class SheetTabTest : public ::testing::Test {
 protected:
  // A strip at (4, 4) whose tabs begin 4 pixels in, as the manager makes it.
  void Add(std::initializer_list<std::u16string_view> captions) {
    for (std::u16string_view c : captions) strip_.AddTab(c);
    strip_.scrollX = -4;
  }
  void MeasureWithin(float width) {
    strip_.Measure(surface_, {4, 4}, font_);
    strip_.bounds.width = width;
  }
  float Left(size_t i) const { return strip_.Tab(i).bounds.x; }
  float TopRight(size_t i) const {
    const RectF& b = strip_.Tab(i).bounds;
    return b.x + b.width - b.height;
  }

  TestFont font_{u"f", 16, FontStyle::kRegular, DrawStatus::kOk};  // 8 per character, 20 high
  TestSurface surface_;
  CSheetTabTop strip_{true};
};

TEST_F(SheetTabTest, TabsWrapTheirCaptionInSlopesUpToAHundredPixels) {
  Add({u"ab", u"abcdefghij"});
  strip_.Measure(surface_, {4, 4}, font_);
  // 16 of text + 2 x (20 + 2) = 60; 80 of text would make 124, cut to 100.
  EXPECT_FLOAT_EQ(strip_.Tab(0).bounds.width, 60);
  EXPECT_FLOAT_EQ(strip_.Tab(1).bounds.width, 100);
  EXPECT_FLOAT_EQ(Left(0), 8);
  // Neighbours overlap by the height; the strip is the sum of (width - height), the last slope and 2.
  EXPECT_FLOAT_EQ(Left(1), 8 + 40);
  EXPECT_FLOAT_EQ(strip_.bounds.width, 40 + 80 + 20 + 2);
  EXPECT_FLOAT_EQ(strip_.bounds.height, 20);
}

TEST_F(SheetTabTest, AStripWithoutTabsShowsTab1) {
  strip_.Measure(surface_, {4, 4}, font_);
  ASSERT_EQ(strip_.TabCount(), 1u);
  EXPECT_EQ(strip_.Tab(0).caption, u"Tab1");
}

TEST_F(SheetTabTest, SelectingScrollsTabByTabIntoViewAndBack) {
  Add({u"aaaaaa", u"bbbbbb", u"cccccc", u"dddddd", u"eeeeee"});  // 48 + 44 = 92 wide, 72 apart
  MeasureWithin(150);
  EXPECT_EQ(strip_.SelectTab(4, surface_), 0);
  EXPECT_EQ(strip_.activeTab, 4);
  // Tab 4 begins at 8 + 4 x 72 = 296. Three whole tabs scrolled out put it at 80, its top-right corner
  // at 152, inside the strip's right edge at 154: scrolling stops there.
  EXPECT_EQ(strip_.firstVisibleTab, 3);
  EXPECT_FLOAT_EQ(strip_.scrollX, -4 + 3 * 72);
  EXPECT_FLOAT_EQ(TopRight(4), 152);

  strip_.SelectTab(0, surface_);
  EXPECT_EQ(strip_.firstVisibleTab, 0);
  EXPECT_FLOAT_EQ(strip_.scrollX, -4);
  EXPECT_FLOAT_EQ(Left(0), 8);
}

TEST_F(SheetTabTest, ATabWiderThanTheStripStopsScrollingAtTheLeftEdge) {
  Add({u"aaaaaa", u"bbbbbb"});
  MeasureWithin(60);
  strip_.SelectTab(1, surface_);
  EXPECT_EQ(strip_.firstVisibleTab, 1);
  EXPECT_FLOAT_EQ(Left(1), 8);  // at the left of the strip, though its corner is still outside
}

TEST_F(SheetTabTest, SelectingTheActiveTabOrOneOutOfRangeChangesNothing) {
  Add({u"a", u"b"});
  MeasureWithin(200);
  strip_.activeTab = 1;
  EXPECT_EQ(strip_.SelectTab(1, surface_), 1);
  EXPECT_EQ(strip_.SelectTab(2, surface_), 1);
  EXPECT_EQ(strip_.activeTab, 1);
  EXPECT_EQ(strip_.SelectTab(-1, surface_), 1);
  EXPECT_EQ(strip_.activeTab, 1);
}

TEST_F(SheetTabTest, OverlapsHitTheEarlierTabOrTheActiveOne) {
  Add({u"aaaaaa", u"bbbbbb", u"cccccc"});
  MeasureWithin(300);
  // Tabs 0 and 1 overlap below the point where tab 1's left slope crosses tab 0's right slope.
  const PointF overlap01{90, 20};
  const PointF overlap12{162, 20};
  EXPECT_EQ(strip_.HitTest(overlap01), 0);
  strip_.activeTab = 1;
  EXPECT_EQ(strip_.HitTest(overlap01), 1);
  EXPECT_EQ(strip_.HitTest(overlap12), 1);
  strip_.activeTab = 2;
  EXPECT_EQ(strip_.HitTest(overlap12), 2);
  EXPECT_EQ(strip_.HitTest(overlap01), 0);
  // Inside the strip's box, left of the first tab's slope.
  EXPECT_EQ(strip_.HitTest({9, 5}), -1);
}

TEST_F(SheetTabTest, ActiveTabIsDrawnLastInBoldItalicOverAnOpenBaseLine) {
  Add({u"aa", u"bb", u"cc"});
  MeasureWithin(300);
  strip_.activeTab = 1;
  std::array<ElementColors, 3> colors{};
  std::array<const ElementColors*, 3> palettes{};
  for (size_t i = 0; i < 3; ++i) {
    colors[i].background = 0xFF000010 + static_cast<Argb>(i);
    colors[i].border = 0xFF000020 + static_cast<Argb>(i);
    palettes[i] = &colors[i];
  }
  strip_.Draw(surface_, palettes.data(), 3, &font_);
  const auto fills = surface_.log().Of(Op::kPath);
  ASSERT_EQ(fills.size(), 3u);
  EXPECT_EQ(fills[0].color, colors[2].background);
  EXPECT_EQ(fills[1].color, colors[0].background);
  EXPECT_EQ(fills[2].color, colors[1].background);
  const auto captions = surface_.log().Of(Op::kTextInBox);
  ASSERT_EQ(captions.size(), 3u);
  EXPECT_EQ(captions[2].text, u"bb");
  EXPECT_EQ(captions[2].style, FontStyle::kBoldItalic);
  EXPECT_EQ(captions[0].style, FontStyle::kRegular);
  // The base line in the active tab's border colour, in two pieces leaving the active tab open.
  const auto lines = surface_.log().Of(Op::kLine);
  ASSERT_GE(lines.size(), 2u);
  const auto& right = lines[lines.size() - 2];
  const auto& left = lines[lines.size() - 1];
  const RectF& a = strip_.Tab(1).bounds;
  EXPECT_EQ(right.color, colors[1].border);
  EXPECT_FLOAT_EQ(right.points[0].x, a.right() - 1);
  EXPECT_FLOAT_EQ(right.points[1].x, strip_.bounds.right());
  EXPECT_FLOAT_EQ(left.points[0].x, strip_.bounds.x);
  EXPECT_FLOAT_EQ(left.points[1].x, a.x + 1);
  EXPECT_FLOAT_EQ(left.points[0].y, strip_.bounds.bottom());

  // Everything drawn lies inside the strip, unless a tab reaches out of it.
  EXPECT_TRUE(strip_.TabsInside());
  for (const auto& c : surface_.log().calls) {
    for (const PointF& p : c.points) {
      EXPECT_GE(p.x, strip_.bounds.x);
      EXPECT_LE(p.x, strip_.bounds.right());
    }
  }
  strip_.bounds.width = strip_.Tab(2).bounds.right() - strip_.bounds.x - 1;
  EXPECT_FALSE(strip_.TabsInside());
  strip_.bounds.width += 1;
  strip_.scrollX = 10;
  strip_.Relayout(surface_);
  EXPECT_FALSE(strip_.TabsInside());  // the first tab now starts left of the strip
}

}  // namespace
}  // namespace quillet
