// The colour button's pop-up: a palette of 40 named colours in an 8 x 5 grid with an "Automatic" row
// above and a "More Colors..." row below, each palette cell with its colour's name as a tooltip. It
// runs under its button, with the mouse captured, until a cell is accepted or the pop-up cancelled,
// and never takes the activation from the dialog.
#pragma once

#include <windows.h>

#include <optional>

#include "quillsvc/settings/color_picker_model.h"
#include "winui/gdi.h"
#include "winui/window_impl.h"

namespace quillet {

class CColorPopup : public winui::CWindowImpl<CColorPopup, winui::CWinTraits<WS_POPUP, WS_EX_TOOLWINDOW>> {
 public:
  static winui::WindowClassInfo GetWndClassInfo();

  // Shows the pop-up under `button`, the cell of `current` (a GDI colour value or
  // settings::kAutomaticColor) marked as chosen, and runs it: the accepted cell (0..39,
  // settings::kAutomaticCell or settings::kMoreColorsCell), or nullopt when it was cancelled or could
  // not be shown.
  std::optional<int> Run(HWND button, COLORREF current);

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  bool RunLoop();
  void Finish(bool accepted);
  void SetHot(int cell);
  RECT CellRect(int cell) const;
  void PaintCell(HDC dc, int cell, const RECT& rect);
  void Paint(HDC dc);

  settings::PickerRows rows_;  // both: neither text is empty
  settings::PickerLayout layout_;
  int hotCell_ = settings::kNoCell;
  int chosenCell_ = settings::kNoCell;
  bool finished_ = false;
  bool accepted_ = false;
  winui::UniqueFont font_;
  winui::UniquePalette palette_;
};

}  // namespace quillet
