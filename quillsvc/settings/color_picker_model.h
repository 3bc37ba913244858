// The colour picker's pop-up without its window: the palette of 40 named colours, which cell a colour
// shows as chosen, moving between cells with the keyboard, the layout of the rows and cells, hit
// testing, and where the pop-up goes on the screen. Colours are GDI colour values (0x00BBGGRR).
#pragma once

#include <cstdint>
#include <string_view>

namespace quillet::settings {

constexpr uint32_t kAutomaticColor = 0xFF000000;
constexpr int kPaletteColumns = 8;
constexpr int kPaletteSize = 40;
constexpr int kPaletteRows = kPaletteSize / kPaletteColumns;

// Cell numbers besides the palette's 0..39.
constexpr int kAutomaticCell = -3;
constexpr int kMoreColorsCell = -2;
constexpr int kNoCell = -1;

struct PaletteColor {
  uint32_t colorRef;
  std::u16string_view name;  // the cell's tooltip
};
const PaletteColor& PaletteEntry(int cell);  // cell 0..39

// Which rows the pop-up has: either text may be empty, which removes its row.
struct PickerRows {
  bool automatic = true;
  bool moreColors = true;
};

// The cell shown as chosen for `color`: "Automatic" for kAutomaticColor, the palette cell holding it,
// else "More Colors..." (when those rows exist; kNoCell otherwise).
int ChosenCell(uint32_t color, PickerRows rows);

enum class Move { kLeft, kRight, kUp, kDown };
// The cell a key moves to from `cell`: by one cell left or right, by a row up or down; past the grid
// the text rows are entered when present, and past them the movement wraps around.
int MoveCell(int cell, Move move, PickerRows rows);

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

constexpr int kSwatchSize = 14;
constexpr int kCellMargin = 2;
constexpr int kCellSize = kSwatchSize + 2 * kCellMargin;  // 18
constexpr int kTextMargin = 3;
constexpr int kTextPadding = 2;

struct PickerLayout {
  Rect automatic;  // empty without the row
  Rect grid;       // the 8 x 5 cells, centred
  Rect moreColors;
  int width = 0;
  int height = 0;
  Rect Cell(int cell) const;  // a palette cell's rectangle
};
// `textWidth`, `textHeight`: the larger extent of the two texts in the pop-up's font.
PickerLayout LayOut(int textWidth, int textHeight, PickerRows rows);
// The cell at a point of the pop-up's client area, or kNoCell.
int HitTest(const PickerLayout& layout, int x, int y);

// Where the pop-up of `size` goes: under the button's left edge, kept inside the work area of the
// button's monitor (moved left or right as needed; above the button when it would run past the bottom).
Rect PlacePopup(const Rect& button, int width, int height, const Rect& workArea);

}  // namespace quillet::settings
