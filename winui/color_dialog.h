// The system's colour dialog, starting from a given colour.
#pragma once

#include <windows.h>
// after windows.h
#include <commdlg.h>

namespace quillet::winui {

class CColorDialog {
 public:
  explicit CColorDialog(COLORREF initial) : color_(initial) {}

  // IDOK with color() set to the choice, or IDCANCEL.
  INT_PTR DoModal(HWND owner);
  COLORREF color() const { return color_; }

 private:
  COLORREF color_;
  COLORREF custom_[16] = {};
};

}  // namespace quillet::winui
