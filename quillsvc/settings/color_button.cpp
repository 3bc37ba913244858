#include "quillsvc/settings/color_button.h"

#include <vssym32.h>

#include "common/boundary.h"
#include "platform/win32/window_binding.h"
#include "quillsvc/settings/color_popup.h"
#include "winui/color_dialog.h"
#include "winui/gdi.h"

namespace quillet {
namespace {

constexpr UINT_PTR kSubclassId = 0x51C0;
constexpr int kArrowWidth = 7;
constexpr int kArrowHeight = 4;

// Set while the pop-up runs: the button shows its focus then and takes no second click.
class OpenScope {
 public:
  explicit OpenScope(bool& open) : open_(open) { open_ = true; }
  ~OpenScope() { open_ = false; }
  OpenScope(const OpenScope&) = delete;
  OpenScope& operator=(const OpenScope&) = delete;

 private:
  bool& open_;
};

}  // namespace

CColorButton::CColorButton() : CThemeImpl(L"BUTTON"), defaultColor_(GetSysColor(COLOR_APPWORKSPACE)) {}

CColorButton::~CColorButton() {
  if (button_ != nullptr) RemoveWindowSubclass(button_, &ButtonProc, kSubclassId);
}

bool CColorButton::Subclass(HWND button) {
  if (button == nullptr || button_ != nullptr) return false;
  if (!SetWindowSubclass(button, &ButtonProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
  button_ = button;
  SetWindowLongPtrW(button, GWL_STYLE, (GetWindowLongPtrW(button, GWL_STYLE) & ~BS_TYPEMASK) | BS_OWNERDRAW);
  OpenThemeData(button);
  InvalidateRect(button, nullptr, TRUE);
  return true;
}

void CColorButton::SetColor(COLORREF color) {
  color_ = color;
  if (button_ != nullptr) InvalidateRect(button_, nullptr, TRUE);
}

LRESULT CALLBACK CColorButton::ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR data) {
  auto* self = reinterpret_cast<CColorButton*>(data);
  AtBoundary(0, [&] {
    switch (message) {
      case WM_MOUSEMOVE:
        if (!self->hot_) {
          self->hot_ = true;
          TRACKMOUSEEVENT track{};
          track.cbSize = sizeof(track);
          track.dwFlags = TME_LEAVE;
          track.hwndTrack = window;
          TrackMouseEvent(&track);
          InvalidateRect(window, nullptr, FALSE);
        }
        break;
      case WM_MOUSELEAVE:
        self->hot_ = false;
        InvalidateRect(window, nullptr, FALSE);
        break;
      case WM_THEMECHANGED:
        self->OnThemeChanged(window);
        break;
      default:
        break;
    }
    return 0;
  });
  // The button's own end only: another process may send this message too.
  if (message == WM_NCDESTROY && platform::win32::WindowBinding::SentByThisThread()) {
    RemoveWindowSubclass(window, &ButtonProc, kSubclassId);
    self->button_ = nullptr;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

void CColorButton::NotifyAccepted() {
  if (button_ == nullptr) return;
  NMHDR header{};
  header.hwndFrom = button_;
  header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(button_));
  header.code = kColorAccepted;
  SendMessageW(GetParent(button_), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

void CColorButton::OnClicked() {
  if (button_ == nullptr || popupOpen_) return;
  pressed_ = true;
  InvalidateRect(button_, nullptr, TRUE);
  if (const std::optional<COLORREF> chosen = Choose()) {
    color_ = *chosen;
    NotifyAccepted();
  }
  pressed_ = false;
  if (button_ != nullptr) InvalidateRect(button_, nullptr, TRUE);
}

std::optional<COLORREF> CColorButton::Choose() {
  HWND parent = GetParent(button_);
  std::optional<int> cell;
  {
    const OpenScope open(popupOpen_);
    CColorPopup popup;
    cell = popup.Run(button_, color_);
  }
  if (!cell) return std::nullopt;
  if (*cell == settings::kMoreColorsCell) {
    winui::CColorDialog dialog(color_);
    if (dialog.DoModal(parent) != IDOK) return std::nullopt;
    return dialog.color();
  }
  return *cell == settings::kAutomaticCell ? settings::kAutomaticColor : settings::PaletteEntry(*cell).colorRef;
}

void CColorButton::DrawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0 || popupOpen_;
  const bool down = pressed_ || (item.itemState & ODS_SELECTED) != 0;
  if (!IsThemeNull()) {
    const int state = down                             ? PBS_PRESSED
                      : disabled                       ? PBS_DISABLED
                      : hot_                           ? PBS_HOT
                      : (item.itemState & ODS_DEFAULT) ? PBS_DEFAULTED
                                                       : PBS_NORMAL;
    DrawThemeBackground(dc, BP_PUSHBUTTON, state, r);
    r = ThemeContentRect(dc, BP_PUSHBUTTON, state, r);
  } else {
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (down ? DFCS_PUSHED : 0));
    InflateRect(&r, -2, -2);
    if (down) OffsetRect(&r, 1, 1);
  }
  if (focused) {
    RECT f = r;
    InflateRect(&f, -1, -1);
    DrawFocusRect(dc, &f);
  }
  InflateRect(&r, -2, -2);
  // The arrow at the right, an etched line to its left.
  RECT arrow = r;
  arrow.left = arrow.right - kArrowWidth - 2;
  const int cx = (arrow.left + arrow.right) / 2;
  const int cy = (arrow.top + arrow.bottom) / 2;
  const POINT triangle[3] = {{cx - kArrowWidth / 2, cy - kArrowHeight / 2},
                             {cx + kArrowWidth / 2 + 1, cy - kArrowHeight / 2},
                             {cx, cy + kArrowHeight / 2 + 1}};
  const COLORREF arrowColor = GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
  {
    const winui::UniqueBrush brush(CreateSolidBrush(arrowColor));
    const winui::UniquePen pen(CreatePen(PS_SOLID, 1, arrowColor));
    const winui::SelectScope selectBrush(dc, brush.get());
    const winui::SelectScope selectPen(dc, pen.get());
    Polygon(dc, triangle, 3);
  }
  RECT edge = r;
  edge.right = arrow.left - 1;
  edge.left = edge.right - 2;
  DrawEdge(dc, &edge, EDGE_ETCHED, BF_LEFT);
  if (disabled) return;
  RECT swatch = r;
  swatch.right = edge.left - 2;
  if (swatch.right <= swatch.left) return;
  winui::FillSolid(dc, swatch, color_ == settings::kAutomaticColor ? defaultColor_ : color_);
  winui::FrameSolid(dc, swatch, RGB(0, 0, 0));
}

}  // namespace quillet
