#include "quillsvc/settings/color_popup.h"

#include <windowsx.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/win32/wide.h"

namespace quillet {

using settings::kAutomaticCell;
using settings::kMoreColorsCell;
using settings::kNoCell;
using settings::kPaletteSize;

namespace {

constexpr std::u16string_view kAutomaticText = u"Automatic";
constexpr std::u16string_view kMoreColorsText = u"More Colors...";

settings::Rect FromRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
RECT ToRect(const settings::Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

COLORREF Blend(COLORREF a, COLORREF b) {
  return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2, (GetBValue(a) + GetBValue(b)) / 2);
}

COLORREF MenuColor(bool flat) { return GetSysColor(flat ? COLOR_MENUBAR : COLOR_MENU); }

bool FlatMenus() {
  BOOL flat = FALSE;
  SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0);
  return flat != FALSE;
}

// A tooltip control, destroyed with the pop-up's run.
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

// A logical palette of the 40 colours, for displays that need one. The entries follow the header in
// one buffer (the header declares room for one only).
HPALETTE CreatePaletteOfCells() {
  std::vector<uint8_t> logical(offsetof(LOGPALETTE, palPalEntry) + kPaletteSize * sizeof(PALETTEENTRY));
  auto* header = reinterpret_cast<LOGPALETTE*>(logical.data());
  header->palVersion = 0x300;
  header->palNumEntries = kPaletteSize;
  auto* entries = reinterpret_cast<PALETTEENTRY*>(logical.data() + offsetof(LOGPALETTE, palPalEntry));
  for (int i = 0; i < kPaletteSize; ++i) {
    const COLORREF c = settings::PaletteEntry(i).colorRef;
    entries[i] = {GetRValue(c), GetGValue(c), GetBValue(c), 0};
  }
  return CreatePalette(header);
}

// The larger extent of the two texts in `font`, measured on the button's device context.
SIZE TextExtent(HWND button, HFONT font) {
  SIZE text{};
  const winui::WindowDC dc(button);
  const winui::SelectScope select(dc.get(), font);
  for (std::u16string_view t : {kAutomaticText, kMoreColorsText}) {
    SIZE s{};
    const std::wstring wide = platform::win32::ToWide(t);
    GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &s);
    text.cx = std::max(text.cx, s.cx);
    text.cy = std::max(text.cy, s.cy);
  }
  return text;
}

}  // namespace

winui::WindowClassInfo CColorPopup::GetWndClassInfo() {
  BOOL shadow = FALSE;
  SystemParametersInfoW(SPI_GETDROPSHADOW, 0, &shadow, 0);
  return {static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | (shadow ? CS_DROPSHADOW : 0)), 0, IDC_ARROW};
}

std::optional<int> CColorPopup::Run(HWND button, COLORREF current) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  font_.Reset(CreateFontIndirectW(&metrics.lfMenuFont));
  palette_.Reset(CreatePaletteOfCells());

  const SIZE text = TextExtent(button, font_.get());
  layout_ = settings::LayOut(text.cx, text.cy, rows_);
  RECT buttonRect{};
  GetWindowRect(button, &buttonRect);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromRect(&buttonRect, MONITOR_DEFAULTTONEAREST), &monitor);
  RECT frame{0, 0, layout_.width, layout_.height};
  AdjustWindowRectEx(&frame, WS_POPUP | WS_BORDER, FALSE, WS_EX_TOOLWINDOW);
  const settings::Rect place = settings::PlacePopup(FromRect(buttonRect), frame.right - frame.left,
                                                    frame.bottom - frame.top, FromRect(monitor.rcWork));

  hotCell_ = kNoCell;
  chosenCell_ = settings::ChosenCell(current, rows_);
  finished_ = false;
  accepted_ = false;
  if (Create(GetParent(button), ToRect(place), nullptr, WS_POPUP | WS_BORDER) == nullptr) return std::nullopt;
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
  font_.Reset();
  palette_.Reset();
  UnregisterWindowClass();
  if (!accepted) return std::nullopt;
  return cell;
}

bool CColorPopup::RunLoop() {
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

void CColorPopup::Finish(bool accepted) {
  finished_ = true;
  accepted_ = accepted;
}

void CColorPopup::SetHot(int cell) {
  if (cell == hotCell_) return;
  hotCell_ = cell;
  InvalidateRect(hwnd(), nullptr, FALSE);
}

RECT CColorPopup::CellRect(int cell) const {
  if (cell == kAutomaticCell) return ToRect(layout_.automatic);
  if (cell == kMoreColorsCell) return ToRect(layout_.moreColors);
  return ToRect(layout_.Cell(cell));
}

void CColorPopup::PaintCell(HDC dc, int cell, const RECT& rect) {
  const bool flat = FlatMenus();
  const COLORREF menu = MenuColor(flat);
  const COLORREF highlight = GetSysColor(flat ? COLOR_MENUHILIGHT : COLOR_HIGHLIGHT);
  winui::FillSolid(dc, rect, menu);
  const bool hot = cell == hotCell_;
  const bool chosen = cell == chosenCell_;
  if (hot || chosen) {
    RECT r = rect;
    InflateRect(&r, -1, -1);
    winui::FillSolid(dc, r, hot ? Blend(highlight, menu) : Blend(Blend(highlight, menu), menu));
    winui::FrameSolid(dc, r, highlight);
  }
  if (cell >= 0) {
    RECT swatch = rect;
    InflateRect(&swatch, -settings::kCellMargin - 1, -settings::kCellMargin - 1);
    winui::FillSolid(dc, swatch, settings::PaletteEntry(cell).colorRef);
    InflateRect(&swatch, 1, 1);
    winui::FrameSolid(dc, swatch, GetSysColor(COLOR_BTNSHADOW));
    return;
  }
  const std::wstring text = platform::win32::ToWide(cell == kAutomaticCell ? kAutomaticText : kMoreColorsText);
  const winui::SelectScope select(dc, font_.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(hot || chosen ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
  RECT r = rect;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void CColorPopup::Paint(HDC dc) {
  RECT client{};
  GetClientRect(hwnd(), &client);
  winui::FillSolid(dc, client, MenuColor(FlatMenus()));
  HPALETTE old = palette_ ? SelectPalette(dc, palette_.get(), FALSE) : nullptr;
  if (old != nullptr) RealizePalette(dc);
  if (rows_.automatic) PaintCell(dc, kAutomaticCell, CellRect(kAutomaticCell));
  for (int i = 0; i < kPaletteSize; ++i) PaintCell(dc, i, CellRect(i));
  if (rows_.moreColors) PaintCell(dc, kMoreColorsCell, CellRect(kMoreColorsCell));
  if (old != nullptr) SelectPalette(dc, old, FALSE);
}

bool CColorPopup::ProcessWindowMessage(HWND window, UINT message, WPARAM, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_PAINT: {
      const winui::PaintDC dc(window);
      Paint(dc.get());
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

}  // namespace quillet
