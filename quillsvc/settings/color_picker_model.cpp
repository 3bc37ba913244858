#include "quillsvc/settings/color_picker_model.h"

#include <algorithm>

namespace quillet::settings {
namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

constexpr PaletteColor kPalette[kPaletteSize] = {
    {Rgb(0, 0, 0), u"Black"},
    {Rgb(165, 42, 0), u"Brown"},
    {Rgb(0, 64, 64), u"Dark Olive Green"},
    {Rgb(0, 85, 0), u"Dark Green"},
    {Rgb(0, 0, 94), u"Dark Teal"},
    {Rgb(0, 0, 139), u"Dark blue"},
    {Rgb(75, 0, 130), u"Indigo"},
    {Rgb(40, 40, 40), u"Dark grey"},
    {Rgb(139, 0, 0), u"Dark red"},
    {Rgb(255, 104, 32), u"Orange"},
    {Rgb(139, 139, 0), u"Dark yellow"},
    {Rgb(0, 147, 0), u"Green"},
    {Rgb(56, 142, 142), u"Teal"},
    {Rgb(0, 0, 255), u"Blue"},
    {Rgb(123, 123, 192), u"Blue-grey"},
    {Rgb(102, 102, 102), u"Grey - 40"},
    {Rgb(255, 0, 0), u"Red"},
    {Rgb(255, 173, 91), u"Light orange"},
    {Rgb(50, 205, 50), u"Lime"},
    {Rgb(60, 179, 113), u"Sea green"},
    {Rgb(127, 255, 212), u"Aqua"},
    {Rgb(125, 158, 192), u"Light blue"},
    {Rgb(128, 0, 128), u"Violet"},
    {Rgb(127, 127, 127), u"Grey - 50"},
    {Rgb(255, 192, 203), u"Pink"},
    {Rgb(255, 215, 0), u"Gold"},
    {Rgb(255, 255, 0), u"Yellow"},
    {Rgb(0, 255, 0), u"Bright green"},
    {Rgb(64, 224, 208), u"Turquoise"},
    {Rgb(192, 255, 255), u"Skyblue"},
    {Rgb(72, 0, 72), u"Plum"},
    {Rgb(192, 192, 192), u"Light grey"},
    {Rgb(255, 228, 225), u"Rose"},
    {Rgb(210, 180, 140), u"Tan"},
    {Rgb(255, 255, 224), u"Light yellow"},
    {Rgb(152, 251, 152), u"Pale green "},
    {Rgb(175, 238, 238), u"Pale turquoise"},
    {Rgb(104, 131, 139), u"Pale blue"},
    {Rgb(230, 230, 250), u"Lavender"},
    {Rgb(255, 255, 255), u"White"},
};

// Cells in the order Left and Right walk them: the automatic row, the palette, the more-colours row.
int First(PickerRows rows) { return rows.automatic ? kAutomaticCell : 0; }
int Last(PickerRows rows) { return rows.moreColors ? kMoreColorsCell : kPaletteSize - 1; }

}  // namespace

const PaletteColor& PaletteEntry(int cell) { return kPalette[std::clamp(cell, 0, kPaletteSize - 1)]; }

int ChosenCell(uint32_t color, PickerRows rows) {
  if (color == kAutomaticColor) return rows.automatic ? kAutomaticCell : kNoCell;
  for (int i = 0; i < kPaletteSize; ++i) {
    if (kPalette[i].colorRef == color) return i;
  }
  return rows.moreColors ? kMoreColorsCell : kNoCell;
}

int MoveCell(int cell, Move move, PickerRows rows) {
  if (cell == kNoCell) return First(rows);
  if (move == Move::kLeft || move == Move::kRight) {
    const bool right = move == Move::kRight;
    if (cell == kAutomaticCell) return right ? 0 : Last(rows);
    if (cell == kMoreColorsCell) return right ? First(rows) : kPaletteSize - 1;
    if (right) return cell + 1 < kPaletteSize ? cell + 1 : (rows.moreColors ? kMoreColorsCell : First(rows));
    return cell > 0 ? cell - 1 : (rows.automatic ? kAutomaticCell : Last(rows));
  }
  const bool down = move == Move::kDown;
  if (cell == kAutomaticCell) return down ? 0 : (rows.moreColors ? kMoreColorsCell : kPaletteSize - kPaletteColumns);
  if (cell == kMoreColorsCell) return down ? (rows.automatic ? kAutomaticCell : 0) : kPaletteSize - kPaletteColumns;
  const int next = cell + (down ? kPaletteColumns : -kPaletteColumns);
  if (next >= 0 && next < kPaletteSize) return next;
  if (down) return rows.moreColors ? kMoreColorsCell : (rows.automatic ? kAutomaticCell : cell % kPaletteColumns);
  return rows.automatic ? kAutomaticCell
                        : (rows.moreColors ? kMoreColorsCell : kPaletteSize - kPaletteColumns + cell % kPaletteColumns);
}

Rect PickerLayout::Cell(int cell) const {
  const int c = std::clamp(cell, 0, kPaletteSize - 1);
  Rect r;
  r.left = grid.left + (c % kPaletteColumns) * kCellSize;
  r.top = grid.top + (c / kPaletteColumns) * kCellSize;
  r.right = r.left + kCellSize;
  r.bottom = r.top + kCellSize;
  return r;
}

PickerLayout LayOut(int textWidth, int textHeight, PickerRows rows) {
  PickerLayout l;
  const int rowHeight = textHeight + 2 * kTextMargin + 2 * kTextPadding;
  const int rowWidth = textWidth + 2 * kTextMargin + 2 * kTextPadding;
  const int gridWidth = kPaletteColumns * kCellSize;
  const int gridHeight = kPaletteRows * kCellSize;
  l.width = std::max(gridWidth, (rows.automatic || rows.moreColors) ? rowWidth : 0);
  int y = 0;
  if (rows.automatic) {
    l.automatic = {0, y, l.width, y + rowHeight};
    y += rowHeight;
  }
  const int left = (l.width - gridWidth) / 2;
  l.grid = {left, y, left + gridWidth, y + gridHeight};
  y += gridHeight;
  if (rows.moreColors) {
    l.moreColors = {0, y, l.width, y + rowHeight};
    y += rowHeight;
  }
  l.height = y;
  return l;
}

int HitTest(const PickerLayout& l, int x, int y) {
  if (l.automatic.height() > 0 && l.automatic.Contains(x, y)) return kAutomaticCell;
  if (l.moreColors.height() > 0 && l.moreColors.Contains(x, y)) return kMoreColorsCell;
  if (!l.grid.Contains(x, y)) return kNoCell;
  return ((y - l.grid.top) / kCellSize) * kPaletteColumns + (x - l.grid.left) / kCellSize;
}

Rect PlacePopup(const Rect& button, int width, int height, const Rect& workArea) {
  int left = button.left;
  int top = button.bottom;
  if (left + width > workArea.right) left = workArea.right - width;
  if (left < workArea.left) left = workArea.left;
  if (top + height > workArea.bottom) top = button.top - height;
  if (top < workArea.top) top = workArea.top;
  return {left, top, left + width, top + height};
}

}  // namespace quillet::settings
