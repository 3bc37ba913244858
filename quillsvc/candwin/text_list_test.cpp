#include "quillsvc/candwin/text_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

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
  // Every row and its number drawn once, line by line where it should be and in its colour, the
  // rows in order.
  void ExpectRows(int32_t chosen) {
    const auto lines = surface_.log().TextLines();
    ASSERT_EQ(lines.size(), 2 * list_.ItemCount());
    float lastRow = -1;
    for (size_t i = 0; i < list_.ItemCount(); ++i) {
      SCOPED_TRACE(i);
      const float y = list_.bounds.y + 2 + list_.itemHeight * static_cast<float>(i);
      const Argb expected = static_cast<int32_t>(i) == chosen ? colors_.highlightForeground : colors_.foreground;
      const auto number = surface_.log().Texts(CTextList::NumberLabel(i));
      const auto row = surface_.log().Texts(list_.Item(i));
      ASSERT_EQ(number.size(), 1u);
      ASSERT_EQ(row.size(), 1u);
      EXPECT_FLOAT_EQ(number[0].points[0].x, list_.bounds.x + 2);
      EXPECT_FLOAT_EQ(number[0].points[0].y, y);
      EXPECT_FLOAT_EQ(row[0].points[0].x, list_.bounds.x + list_.numberWidth);
      EXPECT_FLOAT_EQ(row[0].points[0].y, y);
      EXPECT_EQ(number[0].color, expected);
      EXPECT_EQ(row[0].color, expected);
      const auto at = std::find_if(lines.begin(), lines.end(), [&](const Call& c) { return c.text == list_.Item(i); });
      EXPECT_GT(at - lines.begin(), lastRow);
      lastRow = static_cast<float>(at - lines.begin());
    }
  }

  TestFont font_{u"f", 16, FontStyle::kRegular, DrawStatus::kOk};  // 8 per character, 20 per line
  TestSurface surface_;
  CTextList list_{true};
  ElementColors colors_{0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004, 0xFF000005, 0xFF000006};
};

TEST_F(TextListTest, MeasuresRowsNumberColumnAndWidestItemAndFallsBackToFixedSizes) {
  // Empty: a number column two pixels high, and nothing drawn.
  list_.Measure(surface_, {0, 0}, font_);
  EXPECT_FLOAT_EQ(list_.bounds.width, 80.0f / 3);
  EXPECT_FLOAT_EQ(list_.bounds.height, 2);
  surface_.log().calls.clear();
  Draw();
  EXPECT_TRUE(surface_.log().calls.empty());

  Fill(3);  // "word", "wordx", "wordxx"
  list_.Measure(surface_, {4, 30}, font_);
  EXPECT_FLOAT_EQ(list_.itemHeight, 20);
  EXPECT_FLOAT_EQ(list_.numberWidth, 80.0f / 3);
  EXPECT_FLOAT_EQ(list_.bounds.width, 80.0f / 3 + 48);
  EXPECT_FLOAT_EQ(list_.bounds.height, 62);
  EXPECT_FLOAT_EQ(list_.bounds.x, 4);

  // A font whose measurements all fail (this one's are kept).
  TestFont unmeasured{u"f", 16, FontStyle::kRegular, DrawStatus::kOk};
  surface_.log().failIf = [](const Call& c) { return c.op == Op::kMeasure; };
  list_.Measure(surface_, {0, 0}, unmeasured);
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
  ExpectRows(3);
  // Rows of one line pitch go as three texts of several lines (before, at and after the selection),
  // each for the numbers and the rows.
  EXPECT_EQ(surface_.log().Of(Op::kText).size(), 6u);

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

  // The first and the last row selected: nothing before or after them.
  for (const int32_t chosen : {0, 9}) {
    list_.selected = chosen;
    surface_.log().calls.clear();
    Draw();
    ExpectRows(chosen);
    EXPECT_EQ(surface_.log().Of(Op::kText).size(), 4u);
  }
}

TEST_F(TextListTest, RowsThatAreNotOneEvenLineAreDrawnOneByOne) {
  // A fallback font's character makes its row higher; a line break or a tab in a row would move the
  // rows under it; an empty row and one that cannot be measured have no height of a line.
  const std::u16string odd[] = {u"\u3042", u"two\nlines", u"tab\there", u"unmeasured", u""};
  for (const std::u16string& row : odd) {
    SCOPED_TRACE(std::string(row.begin(), row.end()));
    list_.RemoveAll();
    Fill(4);
    list_.Append(row);
    list_.selected = 1;
    surface_.log().failIf = [&](const Call& c) { return c.op == Op::kMeasure && c.text == u"unmeasured"; };
    list_.Measure(surface_, {4, 50}, font_);
    surface_.log().calls.clear();
    Draw();
    const auto texts = surface_.log().Of(Op::kText);
    ASSERT_EQ(texts.size(), 10u);
    EXPECT_EQ(texts[9].text, row);
    EXPECT_FLOAT_EQ(texts[9].points[0].y, 52 + 4 * list_.itemHeight);
    EXPECT_EQ(texts[3].color, colors_.highlightForeground);
  }
  EXPECT_FLOAT_EQ(list_.itemHeight, 20);
  list_.RemoveAll();
  list_.Append(u"");  // first: no height to compare the others with
  Fill(3);
  list_.Measure(surface_, {4, 50}, font_);
  EXPECT_FALSE(list_.RowsAsLines());
  list_.RemoveAll();
  list_.Append(u"\u3042");
  list_.Append(u"word");
  list_.Measure(surface_, {4, 50}, font_);
  EXPECT_FLOAT_EQ(list_.itemHeight, 30);  // every row as high as the highest

  // A list filled anew after its measurement is drawn row by row until measured again; without a
  // selection every row is in the normal colour.
  list_.RemoveAll();
  Fill(3);
  list_.Measure(surface_, {4, 50}, font_);
  list_.Append(u"late\nrow");
  list_.selected = -1;
  surface_.log().calls.clear();
  Draw();
  EXPECT_EQ(surface_.log().Of(Op::kText).size(), 8u);
  for (const Call& c : surface_.log().Of(Op::kText)) EXPECT_EQ(c.color, colors_.foreground);
}

// A corrected spelling carries the mark right after its text, inside its row and in its row's colour,
// whether the rows go as lines of one text or one by one; the mark widens the list when it ends the
// widest row.
TEST_F(TextListTest, OnlyMarkedRowsGetTheMarkAfterTheirTextInTheirRowsColour) {
  for (const bool oneByOne : {false, true}) {
    SCOPED_TRACE(oneByOne);
    list_.RemoveAll();
    list_.Append(u"word");
    list_.Append(u"wordx", true);
    list_.Append(u"wordxx");
    list_.Append(oneByOne ? u"\u3042" : u"wor", true);
    list_.selected = 1;
    list_.Measure(surface_, {4, 50}, font_);
    EXPECT_EQ(list_.RowsAsLines(), !oneByOne);
    EXPECT_FLOAT_EQ(list_.MarkWidth(), 0.96f * list_.itemHeight);
    EXPECT_FLOAT_EQ(list_.bounds.width, 80.0f / 3 + 40 + list_.MarkWidth()) << "\"wordx\" and its mark";
    surface_.log().calls.clear();
    Draw();
    const auto marks = surface_.log().Of(Op::kPolygon);
    ASSERT_EQ(marks.size(), 2u);
    const size_t rows[] = {1, 3};
    const float wordEnds[] = {40, oneByOne ? 8.0f : 24.0f};
    for (size_t m = 0; m < 2; ++m) {
      const float top = list_.bounds.y + 2 + list_.itemHeight * static_cast<float>(rows[m]);
      const float left = list_.bounds.x + list_.numberWidth + wordEnds[m];
      for (const PointF& p : marks[m].points) {
        EXPECT_GT(p.x, left);
        EXPECT_LT(p.x, left + list_.MarkWidth());
        EXPECT_GT(p.y, top);
        EXPECT_LT(p.y, top + list_.itemHeight);
      }
    }
    EXPECT_EQ(marks[0].color, colors_.highlightForeground);
    EXPECT_EQ(marks[1].color, colors_.foreground);
    EXPECT_EQ(surface_.log().Of(Op::kText).size(), oneByOne ? 8u : 6u) << "the rows' texts stay the words";
  }
  list_.RemoveAll();
  EXPECT_FALSE(list_.Marked(0));
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
