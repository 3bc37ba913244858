#include "quillsvc/candwin/cand_list_win.h"

#include <algorithm>
#include <memory>

#include "quillsvc/candwin/accessible_link.h"
#include "quillsvc/candwin/gdiplus_surface.h"
#include "quillsvc/com/tsf_interfaces.h"
#include "winui/gdi.h"

namespace quillet {
namespace {

// The core reports presses and releases under the window system's own numbers.
static_assert(kButtonDownMessage == WM_LBUTTONDOWN && kButtonUpMessage == WM_LBUTTONUP);

RECT Native(const RectI& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
RectI Portable(const RECT& r) { return RectI{r.left, r.top, r.right, r.bottom}; }

// The one DPI of the whole screen, as this thread sees it (all that Windows 7 has).
uint32_t ScreenDpi() {
  const HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return kBaseDpi;
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<uint32_t>(dpi) : kBaseDpi;
}

}  // namespace

SystemColors ReadSystemColors() {
  const auto color = [](int index) { return ArgbFromColorRef(::GetSysColor(index), 0xFF); };
  return SystemColors{color(COLOR_WINDOW),        color(COLOR_WINDOWTEXT), color(COLOR_HIGHLIGHT),
                      color(COLOR_HIGHLIGHTTEXT), color(COLOR_BTNFACE),    color(COLOR_BTNTEXT)};
}

std::optional<SystemColors> HighContrastColors() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  if (!::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) ||
      (contrast.dwFlags & HCF_HIGHCONTRASTON) == 0) {
    return std::nullopt;
  }
  return ReadSystemColors();
}

CCandListWin::CCandListWin(const uint8_t* settings, size_t settingsSize, IWidgetMouseEventCallback* callback)
    : CoreCandidateWindow(core_), core_(settings, settingsSize, callback, fonts_, *this) {}

CCandListWin::~CCandListWin() {
  Hide();
  DestroyWindow();
}

std::unique_ptr<CCandListWin> CCandListWin::Create(const uint8_t* settings, size_t settingsSize,
                                                   IWidgetMouseEventCallback* callback, int activeTab, HWND owner) {
  auto window = std::make_unique<CCandListWin>(settings, settingsSize, callback);
  if (window->Create(owner, RECT{0, 0, 1, 1}) == nullptr) return nullptr;
  window->BuildWidgets(activeTab, kCandidateWindowMaxWidth, kCandidateWindowMaxHeight);
  return window;
}

void CCandListWin::ShowWindowNow(bool show) {
  // Every letter asks; a window already in that state is left alone (showing costs a round trip to
  // the window system even then).
  if (hwnd() == nullptr || (::IsWindowVisible(hwnd()) != FALSE) == show) return;
  ::ShowWindow(hwnd(), show ? SW_SHOWNA : SW_HIDE);
}

void CCandListWin::Show() {
  if (!shown_) {
    shown_ = true;
    drawnHere_ = observer_ == nullptr || observer_->OnListShown();
    accessibility_.OnShown(true);
  }
  ShowWindowNow(drawnHere_);
}

void CCandListWin::Hide() {
  ShowWindowNow(false);
  if (!shown_) return;
  shown_ = false;
  accessibility_.OnShown(false);
  if (observer_ != nullptr) observer_->OnListHidden();
}

void CCandListWin::SetDrawnHere(bool drawn) {
  drawnHere_ = drawn;
  if (shown_) ShowWindowNow(drawn);
}

bool CCandListWin::ServesAgain(HWND owner, int activeTab) const {
  const int tab = core_.SelectedTab();
  return hwnd() != nullptr && ::IsWindow(hwnd()) && ::GetWindow(hwnd(), GW_OWNER) == owner &&
         (tab < 0 || tab == activeTab);
}

winui::WindowClassInfo CCandListWin::GetWndClassInfo() {
  return {CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_DROPSHADOW, COLOR_WINDOW + 1, IDC_ARROW};
}

bool CCandListWin::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_CREATE:
      core_.SetSystemColors(HighContrastColors());
      core_.SetDpi(MonitorDpi(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST)));
      return false;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
      // Either can mean high contrast went on or off, or its colours changed.
      core_.SetSystemColors(HighContrastColors());
      return false;
    case WM_DPICHANGED:
      // The next paint resizes the window and places it by the composition, not where Windows suggests.
      core_.SetDpi(HIWORD(wParam));
      result = 0;
      return true;
    case WM_PAINT:
      OnPaint(hwnd);
      result = 0;
      return true;
    case WM_SETCURSOR:
      // Only a plain press starts a click; a double click's second press does not.
      if (HIWORD(lParam) == WM_LBUTTONDOWN) OnPress(hwnd);
      ::DefWindowProcW(hwnd, WM_SETCURSOR, wParam, MAKELPARAM(0, HIWORD(lParam)));
      result = 1;
      return true;
    case WM_GETOBJECT:
      return accessibility_.OnGetObject(wParam, lParam, &result);
    case AccessibleLink::kCallMessage:
      accessibility_.OnCallMessage(wParam);
      result = 0;
      return true;
    case WM_CLOSE:
    case WM_SYSCOMMAND:
      // The list is the text service's and goes with the composition: no other program closes,
      // moves, sizes or minimises it, nor starts a menu on it (it has neither caption nor menu).
      result = 0;
      return true;
    case WM_DESTROY:
      accessibility_.OnDestroy(hwnd);
      return false;
    case WM_LBUTTONUP:
      ::ReleaseCapture();
      // Client coordinates as unsigned 16-bit: a release left of or above the window hits nothing.
      core_.Release(PointF{static_cast<float>(LOWORD(lParam)), static_cast<float>(HIWORD(lParam))});
      result = 0;
      return true;
    default:
      return false;
  }
}

void CCandListWin::OnPress(HWND hwnd) {
  ::SetCapture(hwnd);
  POINT p{};
  if (!::GetCursorPos(&p) || !::ScreenToClient(hwnd, &p)) return;
  core_.Press(PointF{static_cast<float>(p.x), static_cast<float>(p.y)});
}

void CCandListWin::OnPaint(HWND hwnd) {
  const winui::PaintDC paint(hwnd);
  RECT client{};
  if (paint.get() == nullptr || !::GetClientRect(hwnd, &client)) return;
  const std::unique_ptr<GdiplusSurface> surface = GdiplusSurface::FromHdc(paint.get(), &frames_);
  if (surface == nullptr) return;
  core_.Paint(*surface, SizeI{client.right - client.left, client.bottom - client.top});
}

uint32_t CCandListWin::MonitorDpi(HMONITOR monitor) const {
  // Asked at every placement: the functions are looked up once.
  static const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  static const auto threadContext =
      winui::FindProc<GetThreadDpiAwarenessContextFn>(user32, "GetThreadDpiAwarenessContext");
  static const auto awareness =
      winui::FindProc<GetAwarenessFromDpiAwarenessContextFn>(user32, "GetAwarenessFromDpiAwarenessContext");
  static const auto system = winui::FindProc<GetDpiForSystemFn>(user32, "GetDpiForSystem");
  // Windows 10: a host may run threads of another awareness than its process; only a per-monitor
  // aware thread sees each monitor's own DPI (the others are scaled by the system).
  if (threadContext != nullptr && awareness != nullptr) {
    const DPI_AWARENESS a = awareness(threadContext());
    if (a == DPI_AWARENESS_UNAWARE) return kBaseDpi;
    if (a == DPI_AWARENESS_SYSTEM_AWARE) return system != nullptr ? system() : ScreenDpi();
  }
  // Windows 8.1 answers as the process's awareness lets it see the monitor.
  const auto forMonitor = winui::FindProc<GetDpiForMonitorFn>(shcore_.get(), "GetDpiForMonitor");
  UINT x = 0, y = 0;
  if (monitor != nullptr && forMonitor != nullptr && SUCCEEDED(forMonitor(monitor, kMonitorEffectiveDpi, &x, &y)) &&
      y > 0) {
    return y;
  }
  return ScreenDpi();
}

void CCandListWin::PlaceBy(const RectI& extent) {
  core_.SetExtent(extent);
  const RECT text = Native(extent);
  core_.SetDpi(MonitorDpi(::MonitorFromRect(&text, MONITOR_DEFAULTTONEAREST)));
  RECT window{};
  if (hwnd() == nullptr || !::GetWindowRect(hwnd(), &window)) return;
  const RECT placed = Native(core_.Place(Portable(window)));
  // The text service reports the extent after every edit; a window already in place stays put.
  if (placed.left != window.left || placed.top != window.top) {
    ::SetWindowPos(hwnd(), nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

std::unique_ptr<Surface> CCandListWin::MeasuringSurface() {
  if (hwnd() == nullptr) return nullptr;
  return GdiplusSurface::FromWindow(hwnd());
}

void CCandListWin::Invalidate() {
  if (hwnd() != nullptr) ::InvalidateRect(hwnd(), nullptr, FALSE);
  if (!shown_) return;
  accessibility_.OnChanged();
  if (observer_ != nullptr) observer_->OnListChanged();
}

int CCandListWin::TabOfItem(size_t item) {
  const size_t rows = core_.RowCount();
  if (item < rows) return -1;
  size_t seen = rows;
  RectF r;
  for (size_t t = 0; t < core_.TabCount(); ++t) {
    if (!core_.ElementRect(AppearanceElement::kTab, static_cast<int32_t>(t), &r)) continue;
    if (seen++ == item) return static_cast<int>(t);
  }
  return -1;
}

size_t CCandListWin::ItemCount() {
  size_t count = core_.RowCount();
  RectF r;
  for (size_t t = 0; t < core_.TabCount(); ++t) {
    if (core_.ElementRect(AppearanceElement::kTab, static_cast<int32_t>(t), &r)) ++count;
  }
  return count;
}

std::u16string CCandListWin::ItemName(size_t item) {
  if (IsRow(item)) return core_.RowName(item);
  const int tab = TabOfItem(item);
  return tab >= 0 ? core_.TabCaption(static_cast<size_t>(tab)) : std::u16string();
}

bool CCandListWin::ItemSelected(size_t item) {
  if (IsRow(item)) return static_cast<int>(item) == core_.SelectedRow();
  const int tab = TabOfItem(item);
  return tab >= 0 && tab == core_.SelectedTab();
}

bool CCandListWin::ItemScreenRect(size_t item, RectI* rect) {
  RectF r;
  const int tab = TabOfItem(item);
  const bool found = IsRow(item) ? core_.ElementRect(AppearanceElement::kCandidateList, static_cast<int32_t>(item), &r)
                                 : tab >= 0 && core_.ElementRect(AppearanceElement::kTab, tab, &r);
  RECT client{};
  if (!found || hwnd() == nullptr || !::GetClientRect(hwnd(), &client)) return false;
  // Only what lies inside the window is on the screen.
  RECT part{static_cast<LONG>(r.x), static_cast<LONG>(r.y), static_cast<LONG>(r.right()),
            static_cast<LONG>(r.bottom())};
  if (!::IntersectRect(&part, &part, &client)) return false;
  ::MapWindowPoints(hwnd(), nullptr, reinterpret_cast<POINT*>(&part), 2);
  *rect = Portable(part);
  return true;
}

int CCandListWin::ItemAtScreenPoint(int x, int y) {
  POINT p{x, y};
  RECT client{};
  if (hwnd() == nullptr || !::ScreenToClient(hwnd(), &p) || !::GetClientRect(hwnd(), &client) ||
      !::PtInRect(&client, p)) {
    return -2;
  }
  AppearanceElement element = AppearanceElement::kWindow;
  int32_t index = -1;
  if (!core_.HitTest(PointF{static_cast<float>(p.x), static_cast<float>(p.y)}, &element, &index)) return -1;
  if (element == AppearanceElement::kCandidateList) {
    return index >= 0 && static_cast<size_t>(index) < core_.RowCount() ? index : -1;
  }
  if (element != AppearanceElement::kTab) return -1;
  for (size_t item = core_.RowCount(); item < ItemCount(); ++item) {
    if (TabOfItem(item) == index) return static_cast<int>(item);
  }
  return -1;
}

bool CCandListWin::DocumentCaret(int32_t* x, int32_t* y) {
  if (documentWindow_ == nullptr || !::IsWindow(documentWindow_)) return false;
  POINT caret{};
  if (!::GetCaretPos(&caret) || !::ClientToScreen(documentWindow_, &caret)) return false;
  *x = caret.x;
  *y = caret.y;
  return true;
}

RectI CCandListWin::WorkArea(const RectI& r) {
  const RECT text = Native(r);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (::GetMonitorInfoW(::MonitorFromRect(&text, MONITOR_DEFAULTTONEAREST), &info)) return Portable(info.rcWork);
  return RectI{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

bool CCandListWin::SetWindowRect(const RectI& r, bool move) {
  RECT now{};
  if (hwnd() == nullptr || !::GetWindowRect(hwnd(), &now)) return false;
  const bool sameSize = now.right - now.left == r.width() && now.bottom - now.top == r.height();
  // Every paint asks; a window already there is left alone (moving it costs a round trip or more).
  if (sameSize && (!move || (now.left == r.left && now.top == r.top))) return false;
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (move ? 0 : SWP_NOMOVE);
  return ::SetWindowPos(hwnd(), nullptr, r.left, r.top, r.width(), r.height(), flags) && !sameSize;
}

}  // namespace quillet
