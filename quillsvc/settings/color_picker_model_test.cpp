#include "quillsvc/settings/color_picker_model.h"

#include <gtest/gtest.h>

#include <set>

namespace quillet::settings {
namespace {

constexpr PickerRows kBoth{true, true};
constexpr PickerRows kNeither{false, false};

TEST(ColorPicker, ThePaletteHoldsFortyDistinctNamedColours) {
  std::set<uint32_t> colours;
  for (int i = 0; i < kPaletteSize; ++i) {
    colours.insert(PaletteEntry(i).colorRef);
    EXPECT_FALSE(PaletteEntry(i).name.empty());
  }
  EXPECT_EQ(colours.size(), 40u);
  EXPECT_EQ(PaletteEntry(1).colorRef, 0x00002AA5u);  // brown: red 165, green 42
  EXPECT_EQ(PaletteEntry(1).name, u"Brown");
  EXPECT_EQ(PaletteEntry(39).name, u"White");
}

TEST(ColorPicker, TheChosenCellFollowsTheColour) {
  EXPECT_EQ(ChosenCell(kAutomaticColor, kBoth), kAutomaticCell);
  EXPECT_EQ(ChosenCell(0x00FF0000, kBoth), 13);  // blue
  EXPECT_EQ(ChosenCell(0x00123456, kBoth), kMoreColorsCell);
  EXPECT_EQ(ChosenCell(0x00123456, kNeither), kNoCell);
  EXPECT_EQ(ChosenCell(kAutomaticColor, kNeither), kNoCell);
}

TEST(ColorPicker, KeysWalkTheGridIntoTheTextRowsAndWrap) {
  EXPECT_EQ(MoveCell(kNoCell, Move::kDown, kBoth), kAutomaticCell);
  EXPECT_EQ(MoveCell(kAutomaticCell, Move::kDown, kBoth), 0);
  EXPECT_EQ(MoveCell(3, Move::kDown, kBoth), 11);
  EXPECT_EQ(MoveCell(35, Move::kDown, kBoth), kMoreColorsCell);
  EXPECT_EQ(MoveCell(kMoreColorsCell, Move::kDown, kBoth), kAutomaticCell);
  EXPECT_EQ(MoveCell(3, Move::kUp, kBoth), kAutomaticCell);
  EXPECT_EQ(MoveCell(kAutomaticCell, Move::kUp, kBoth), kMoreColorsCell);
  EXPECT_EQ(MoveCell(39, Move::kRight, kBoth), kMoreColorsCell);
  EXPECT_EQ(MoveCell(kMoreColorsCell, Move::kRight, kBoth), kAutomaticCell);
  EXPECT_EQ(MoveCell(0, Move::kLeft, kBoth), kAutomaticCell);
  EXPECT_EQ(MoveCell(7, Move::kRight, kBoth), 8);  // rows continue
  // Without text rows the grid wraps on itself.
  EXPECT_EQ(MoveCell(39, Move::kRight, kNeither), 0);
  EXPECT_EQ(MoveCell(0, Move::kLeft, kNeither), 39);
  EXPECT_EQ(MoveCell(35, Move::kDown, kNeither), 3);
  EXPECT_EQ(MoveCell(3, Move::kUp, kNeither), 35);
  for (int cell = kAutomaticCell; cell < kPaletteSize; ++cell) {
    for (Move m : {Move::kLeft, Move::kRight, Move::kUp, Move::kDown}) {
      const int next = MoveCell(cell, m, kBoth);
      ASSERT_TRUE(next == kAutomaticCell || next == kMoreColorsCell || (next >= 0 && next < kPaletteSize));
    }
  }
}

TEST(ColorPicker, TheLayoutCentresTheGridBetweenTheTextRows) {
  const PickerLayout l = LayOut(200, 13, kBoth);
  EXPECT_EQ(l.width, 200 + 10);
  EXPECT_EQ(l.automatic.height(), 13 + 10);
  EXPECT_EQ(l.grid.width(), 8 * 18);
  EXPECT_EQ(l.grid.left, (210 - 144) / 2);
  EXPECT_EQ(l.grid.top, 23);
  EXPECT_EQ(l.height, 23 + 90 + 23);
  EXPECT_EQ(HitTest(l, 5, 5), kAutomaticCell);
  EXPECT_EQ(HitTest(l, 5, l.height - 1), kMoreColorsCell);
  const Rect c = l.Cell(13);
  EXPECT_EQ(HitTest(l, c.left, c.top), 13);
  EXPECT_EQ(HitTest(l, c.right - 1, c.bottom - 1), 13);
  EXPECT_EQ(HitTest(l, 1, 30), kNoCell);  // beside the centred grid
  const PickerLayout bare = LayOut(0, 0, kNeither);
  EXPECT_EQ(bare.width, 144);
  EXPECT_EQ(bare.height, 90);
}

TEST(ColorPicker, ThePopupStaysOnTheMonitor) {
  const Rect screen{0, 0, 1280, 1024};
  EXPECT_EQ(PlacePopup({100, 100, 150, 120}, 150, 140, screen).left, 100);
  EXPECT_EQ(PlacePopup({100, 100, 150, 120}, 150, 140, screen).top, 120);
  const Rect right = PlacePopup({1250, 100, 1280, 120}, 150, 140, screen);
  EXPECT_EQ(right.right, 1280);
  const Rect bottom = PlacePopup({100, 950, 150, 970}, 150, 140, screen);
  EXPECT_EQ(bottom.bottom, 950);  // above the button
  const Rect left = PlacePopup({-40, 100, 10, 120}, 150, 140, screen);
  EXPECT_EQ(left.left, 0);
}

}  // namespace
}  // namespace quillet::settings
