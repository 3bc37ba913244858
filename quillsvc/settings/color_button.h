// A push button of a dialog turned into a colour chooser: it shows the current colour with a
// drop-down arrow, and a click opens the colour pop-up (CColorPopup); its "More Colors..." row opens
// the system colour dialog. The button is owner-drawn, so its dialog forwards WM_DRAWITEM and the
// click (BN_CLICKED) to it; an accepted choice reaches the dialog as WM_NOTIFY with kColorAccepted,
// and the dialog reads the new colour with color().
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <optional>

#include "quillsvc/settings/color_picker_model.h"
#include "winui/theme_impl.h"

namespace quillet {

// The notification code of an accepted choice (also when it is the colour the button had).
constexpr UINT kColorAccepted = 0x8003;

class CColorButton : public winui::CThemeImpl<CColorButton> {
 public:
  CColorButton();
  ~CColorButton();

  // Attaches to a dialog's push button, which from then on draws itself.
  bool Subclass(HWND button);

  // A GDI colour value, or settings::kAutomaticColor.
  COLORREF color() const { return color_; }
  void SetColor(COLORREF color);

  // Forwarded by the dialog.
  void DrawItem(const DRAWITEMSTRUCT& item);
  void OnClicked();

 private:
  static LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);
  // Runs the pop-up and, for "More Colors...", the colour dialog: the chosen colour, or nullopt.
  std::optional<COLORREF> Choose();
  void NotifyAccepted();

  HWND button_ = nullptr;
  COLORREF color_ = settings::kAutomaticColor;
  COLORREF defaultColor_;  // drawn for "automatic"
  bool hot_ = false;
  bool pressed_ = false;
  bool popupOpen_ = false;
};

}  // namespace quillet
