// A push button of a dialog turned into a colour chooser: it shows the current colour with a
// drop-down arrow, and a click opens a pop-up palette of 40 named colours with an "Automatic" row
// above and a "More Colors..." row below (the latter opens the system colour dialog). The button is
// owner-drawn, so its dialog forwards WM_DRAWITEM and the click (BN_CLICKED) to it; it reports to the
// dialog with WM_NOTIFY (NMCOLORBUTTON).
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <string>

#include "quillsvc/settings/color_picker_model.h"
#include "winui/gdi.h"
#include "winui/theme_impl.h"
#include "winui/window_impl.h"

namespace quillet {

// Notifications, with the colour of the moment.
constexpr UINT kColorChanged = 0x8000;
constexpr UINT kColorDropDown = 0x8001;
constexpr UINT kColorCloseUp = 0x8002;
constexpr UINT kColorAccepted = 0x8003;
constexpr UINT kColorCancelled = 0x8004;

struct NMCOLORBUTTON {
  NMHDR hdr;
  COLORREF color;
  BOOL colorValid;
};

// The pop-up is this object's window; the button is a dialog's window, subclassed.
class CColorButton : public winui::CWindowImpl<CColorButton, winui::CWinTraits<WS_POPUP, WS_EX_TOOLWINDOW>>,
                     public winui::CThemeImpl<CColorButton> {
 public:
  CColorButton();
  ~CColorButton();

  static winui::WindowClassInfo GetWndClassInfo();

  // Attaches to a dialog's push button, which from then on draws itself.
  bool Subclass(HWND button);
  HWND button() const { return button_; }

  // A GDI colour value, or settings::kAutomaticColor.
  COLORREF color() const { return color_; }
  void SetColor(COLORREF color);

  // Forwarded by the dialog.
  void DrawItem(const DRAWITEMSTRUCT& item);
  void OnClicked();

  // The pop-up's window messages.
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  static LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);
  void Notify(UINT code);
  // Shows the pop-up and runs it until a choice is made or cancelled. True with *chosen on a choice.
  bool RunPopup(COLORREF* chosen);
  bool RunLoop();
  void SetHot(int cell);
  void PaintPopup(HDC dc);
  void PaintCell(HDC dc, int cell, const RECT& rect);
  RECT CellRect(int cell) const;
  void Finish(bool accepted);

  HWND button_ = nullptr;
  COLORREF color_ = settings::kAutomaticColor;
  COLORREF defaultColor_;
  std::u16string defaultText_ = u"Automatic";
  std::u16string customText_ = u"More Colors...";
  bool trackSelection_ = false;  // the colour changes only when a choice is accepted
  bool hot_ = false;
  bool pressed_ = false;
  bool popupOpen_ = false;

  // While the pop-up is open.
  settings::PickerLayout layout_;
  settings::PickerRows rows_;
  int hotCell_ = settings::kNoCell;
  int chosenCell_ = settings::kNoCell;
  bool finished_ = false;
  bool accepted_ = false;
  winui::UniqueFont font_;
  winui::UniquePalette palette_;
};

}  // namespace quillet
