#include "quillsvc/settings/color_button.h"

#include <vssym32.h>
#include <windowsx.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "common/boundary.h"
#include "platform/win32/wide.h"
#include "winui/color_dialog.h"

namespace quillet {

using settings::kAutomaticCell;
using settings::kMoreColorsCell;
using settings::kNoCell;
using settings::kPaletteSize;

namespace {

constexpr UINT_PTR kSubclassId = 0x51C0;
constexpr int kArrowWidth = 7;
constexpr int kArrowHeight = 4;

settings::Rect FromRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
RECT ToRect(const settings::Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

COLORREF Blend(COLORREF a, COLORREF b) {
  return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2, (GetBValue(a) + GetBValue(b)) / 2);
}

void Fill(HDC dc, const RECT& r, COLORREF color) {
  const winui::UniqueBrush brush(CreateSolidBrush(color));
  FillRect(dc, &r, brush.get());
}

void Frame(HDC dc, const RECT& r, COLORREF color) {
  const winui::UniqueBrush brush(CreateSolidBrush(color));
  FrameRect(dc, &r, brush.get());
}

// A window owning a tooltip control: destroyed with the pop-up's run.
class Tooltip {
 public:
  explicit Tooltip(HWND owner)
      : window_(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, winui::ModuleInstance(),
                                nullptr)) {}
  ~Tooltip() {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  Tooltip(const Tooltip&) = delete;
  Tooltip& operator=(const Tooltip&) = delete;

  void Add(HWND owner, UINT id, const RECT& rect, std::u16string_view text) {
    if (window_ == nullptr) return;
    std::wstring wide = platform::win32::ToWide(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = id;
    tool.rect = rect;
    tool.lpszText = wide.data();
    SendMessageW(window_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }

 private:
  HWND window_;
};

}  // namespace

CColorButton::CColorButton() : CThemeImpl(L"BUTTON"), defaultColor_(GetSysColor(COLOR_APPWORKSPACE)) {}

CColorButton::~CColorButton() {
  if (button_ != nullptr) RemoveWindowSubclass(button_, &ButtonProc, kSubclassId);
}

winui::WindowClassInfo CColorButton::GetWndClassInfo() {
  BOOL shadow = FALSE;
  SystemParametersInfoW(SPI_GETDROPSHADOW, 0, &shadow, 0);
  return {static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | (shadow ? CS_DROPSHADOW : 0)), 0, IDC_ARROW};
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
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, &ButtonProc, kSubclassId);
    self->button_ = nullptr;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

void CColorButton::Notify(UINT code) {
  if (button_ == nullptr) return;
  NMCOLORBUTTON nm{};
  nm.hdr.hwndFrom = button_;
  nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(button_));
  nm.hdr.code = code;
  nm.color = color_;
  nm.colorValid = TRUE;
  SendMessageW(GetParent(button_), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

void CColorButton::OnClicked() {
  if (button_ == nullptr || popupOpen_) return;
  pressed_ = true;
  InvalidateRect(button_, nullptr, TRUE);
  Notify(kColorDropDown);
  const COLORREF before = color_;
  COLORREF chosen = color_;
  const bool accepted = RunPopup(&chosen);
  if (accepted) {
    color_ = chosen;
    if (color_ != before) Notify(kColorChanged);
  }
  Notify(kColorCloseUp);
  Notify(accepted ? kColorAccepted : kColorCancelled);
  pressed_ = false;
  if (button_ != nullptr) InvalidateRect(button_, nullptr, TRUE);
}

bool CColorButton::RunPopup(COLORREF* chosen) {
  HWND parent = GetParent(button_);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  font_.Reset(CreateFontIndirectW(&metrics.lfMenuFont));
  // A logical palette of the 40 colours, for displays that need one. The entries follow the header
  // in one buffer (the header declares room for one only).
  std::vector<uint8_t> logical(offsetof(LOGPALETTE, palPalEntry) + kPaletteSize * sizeof(PALETTEENTRY));
  auto* header = reinterpret_cast<LOGPALETTE*>(logical.data());
  header->palVersion = 0x300;
  header->palNumEntries = kPaletteSize;
  auto* entries = reinterpret_cast<PALETTEENTRY*>(logical.data() + offsetof(LOGPALETTE, palPalEntry));
  for (int i = 0; i < kPaletteSize; ++i) {
    const COLORREF c = settings::PaletteEntry(i).colorRef;
    entries[i] = {GetRValue(c), GetGValue(c), GetBValue(c), 0};
  }
  palette_.Reset(CreatePalette(header));

  rows_ = {!defaultText_.empty(), !customText_.empty()};
  SIZE text{};
  {
    const winui::WindowDC dc(button_);
    const winui::SelectScope select(dc.get(), font_.get());
    for (const std::u16string* t : {&defaultText_, &customText_}) {
      SIZE s{};
      const std::wstring wide = platform::win32::ToWide(*t);
      GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &s);
      text.cx = std::max(text.cx, s.cx);
      text.cy = std::max(text.cy, s.cy);
    }
  }
  layout_ = settings::LayOut(text.cx, text.cy, rows_);
  RECT buttonRect{};
  GetWindowRect(button_, &buttonRect);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromRect(&buttonRect, MONITOR_DEFAULTTONEAREST), &monitor);
  RECT frame{0, 0, layout_.width, layout_.height};
  AdjustWindowRectEx(&frame, WS_POPUP | WS_BORDER, FALSE, WS_EX_TOOLWINDOW);
  const settings::Rect place = settings::PlacePopup(FromRect(buttonRect), frame.right - frame.left,
                                                    frame.bottom - frame.top, FromRect(monitor.rcWork));

  hotCell_ = kNoCell;
  chosenCell_ = settings::ChosenCell(color_, rows_);
  finished_ = false;
  accepted_ = false;
  if (Create(parent, ToRect(place), nullptr, WS_POPUP | WS_BORDER) == nullptr) return false;
  popupOpen_ = true;
  bool accepted = false;
  int cell = kNoCell;
  {
    Tooltip tips(hwnd());
    for (int i = 0; i < kPaletteSize; ++i)
      tips.Add(hwnd(), static_cast<UINT>(i + 1), CellRect(i), settings::PaletteEntry(i).name);
    ShowWindow(hwnd(), SW_SHOWNA);
    accepted = RunLoop();
    cell = hotCell_;
  }
  DestroyWindow();
  popupOpen_ = false;
  font_.Reset();
  palette_.Reset();
  UnregisterWindowClass();
  if (!accepted) return false;
  if (cell == kMoreColorsCell) {
    winui::CColorDialog dialog(color_);
    if (dialog.DoModal(parent) != IDOK) return false;
    *chosen = dialog.color();
    return true;
  }
  *chosen = cell == kAutomaticCell ? settings::kAutomaticColor : settings::PaletteEntry(cell).colorRef;
  return true;
}

bool CColorButton::RunLoop() {
  HWND popup = hwnd();
  // Only a real movement makes the cell under the pointer hot: the system also reports the pointer
  // where it rests (when the pop-up appears or takes the capture), which must not undo a key's choice.
  POINT last{};
  GetCursorPos(&last);
  ScreenToClient(popup, &last);
  SetCapture(popup);
  // The capture moving elsewhere ends the pop-up (WM_CAPTURECHANGED); where the system gives none to a
  // thread in the background the pop-up still runs, for the keyboard.
  MSG msg{};
  while (!finished_ && IsWindow(popup)) {
    if (!GetMessageW(&msg, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    switch (msg.message) {
      case WM_MOUSEMOVE:
        if (msg.hwnd == popup && (GET_X_LPARAM(msg.lParam) != last.x || GET_Y_LPARAM(msg.lParam) != last.y)) {
          last = {GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
          SetHot(settings::HitTest(layout_, last.x, last.y));
        }
        continue;
      case WM_LBUTTONUP:
        if (msg.hwnd == popup) {
          const int cell = settings::HitTest(layout_, GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam));
          SetHot(cell);
          Finish(cell != kNoCell);
        }
        continue;
      case WM_LBUTTONDOWN:
      case WM_NCLBUTTONDOWN:
        // A press elsewhere (it reaches another window when the capture could not be had) cancels.
        if (msg.hwnd != popup) Finish(false);
        continue;
      case WM_RBUTTONDOWN:
        Finish(false);
        continue;
      case WM_KEYDOWN:
        switch (msg.wParam) {
          case VK_RETURN:
          case VK_SPACE:
            Finish(hotCell_ != kNoCell);
            break;
          case VK_ESCAPE:
            Finish(false);
            break;
          case VK_LEFT:
            SetHot(settings::MoveCell(hotCell_, settings::Move::kLeft, rows_));
            break;
          case VK_RIGHT:
            SetHot(settings::MoveCell(hotCell_, settings::Move::kRight, rows_));
            break;
          case VK_UP:
            SetHot(settings::MoveCell(hotCell_, settings::Move::kUp, rows_));
            break;
          case VK_DOWN:
            SetHot(settings::MoveCell(hotCell_, settings::Move::kDown, rows_));
            break;
          default:
            break;
        }
        continue;
      default:
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
  }
  if (GetCapture() == popup) ReleaseCapture();
  return accepted_;
}

void CColorButton::Finish(bool accepted) {
  finished_ = true;
  accepted_ = accepted;
}

void CColorButton::SetHot(int cell) {
  if (cell == hotCell_) return;
  hotCell_ = cell;
  InvalidateRect(hwnd(), nullptr, FALSE);
}

RECT CColorButton::CellRect(int cell) const {
  if (cell == kAutomaticCell) return ToRect(layout_.automatic);
  if (cell == kMoreColorsCell) return ToRect(layout_.moreColors);
  return ToRect(layout_.Cell(cell));
}

void CColorButton::PaintCell(HDC dc, int cell, const RECT& rect) {
  BOOL flat = FALSE;
  SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0);
  const COLORREF menu = GetSysColor(flat ? COLOR_MENUBAR : COLOR_MENU);
  const COLORREF highlight = GetSysColor(flat ? COLOR_MENUHILIGHT : COLOR_HIGHLIGHT);
  Fill(dc, rect, menu);
  const bool hot = cell == hotCell_;
  const bool chosen = cell == chosenCell_;
  if (hot || chosen) {
    RECT r = rect;
    InflateRect(&r, -1, -1);
    Fill(dc, r, hot ? Blend(highlight, menu) : Blend(Blend(highlight, menu), menu));
    Frame(dc, r, highlight);
  }
  if (cell >= 0) {
    RECT swatch = rect;
    InflateRect(&swatch, -settings::kCellMargin - 1, -settings::kCellMargin - 1);
    Fill(dc, swatch, settings::PaletteEntry(cell).colorRef);
    InflateRect(&swatch, 1, 1);
    Frame(dc, swatch, GetSysColor(COLOR_BTNSHADOW));
    return;
  }
  const std::wstring text = platform::win32::ToWide(cell == kAutomaticCell ? defaultText_ : customText_);
  const winui::SelectScope select(dc, font_.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(hot || chosen ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
  RECT r = rect;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void CColorButton::PaintPopup(HDC dc) {
  RECT client{};
  GetClientRect(hwnd(), &client);
  BOOL flat = FALSE;
  SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0);
  Fill(dc, client, GetSysColor(flat ? COLOR_MENUBAR : COLOR_MENU));
  HPALETTE old = palette_ ? SelectPalette(dc, palette_.get(), FALSE) : nullptr;
  if (old != nullptr) RealizePalette(dc);
  if (rows_.automatic) PaintCell(dc, kAutomaticCell, CellRect(kAutomaticCell));
  for (int i = 0; i < kPaletteSize; ++i) PaintCell(dc, i, CellRect(i));
  if (rows_.moreColors) PaintCell(dc, kMoreColorsCell, CellRect(kMoreColorsCell));
  if (old != nullptr) SelectPalette(dc, old, FALSE);
}

bool CColorButton::ProcessWindowMessage(HWND window, UINT message, WPARAM, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_PAINT: {
      const winui::PaintDC dc(window);
      PaintPopup(dc.get());
      result = 0;
      return true;
    }
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_MOUSEACTIVATE:
      result = MA_NOACTIVATE;
      return true;
    case WM_CAPTURECHANGED:
      if (!finished_) Finish(false);
      return false;
    default:
      return false;
  }
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
  Fill(dc, swatch, color_ == settings::kAutomaticColor ? defaultColor_ : color_);
  Frame(dc, swatch, RGB(0, 0, 0));
}

}  // namespace quillet
