#include "quillsvc/candwin/cand_list_win.h"

#include <algorithm>

#include "quillsvc/candwin/gdiplus_surface.h"
#include "winui/gdi.h"

namespace quillet {
namespace {

RECT Native(const RectI& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
RectI Portable(const RECT& r) { return RectI{r.left, r.top, r.right, r.bottom}; }

}  // namespace

CCandListWin::CCandListWin(SharedBlock* lock, const uint8_t* settings, size_t settingsSize,
                           IWidgetMouseEventCallback* callback)
    : core_(lock, settings, settingsSize, callback, fonts_, *this) {}

winui::WindowClassInfo CCandListWin::GetWndClassInfo() {
  return {CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_DROPSHADOW, COLOR_WINDOW + 1, IDC_ARROW};
}

bool CCandListWin::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
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
    case WM_LBUTTONUP:
      ::ReleaseCapture();
      // Client coordinates as unsigned 16-bit: a release left of or above the window hits nothing.
      core_.Release(PointF{static_cast<float>(LOWORD(lParam)), static_cast<float>(HIWORD(lParam))});
      result = 0;
      return true;
    default:
      return ToolMessage(hwnd, message, wParam, lParam, result);
  }
}

bool CCandListWin::ToolMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  static const UINT rowText = ::RegisterWindowMessageW(L"QuilletCandidateRowText");
  static const UINT rowPoint = ::RegisterWindowMessageW(L"QuilletCandidateRowPoint");
  static const UINT tabPoint = ::RegisterWindowMessageW(L"QuilletCandidateTabPoint");
  if (message == rowText) {
    // wParam: the row; lParam: a buffer of kToolTextCapacity characters. The answer: characters written.
    const CWidgetMgrTopLayout* manager = core_.manager();
    result = 0;
    if (manager == nullptr || manager->candidateList == nullptr || lParam == 0 ||
        wParam >= manager->candidateList->ItemCount()) {
      return true;
    }
    const std::u16string& text = manager->candidateList->Item(wParam);
    const size_t length = std::min(text.size(), kToolTextCapacity);
    std::copy_n(text.data(), length, reinterpret_cast<char16_t*>(lParam));
    result = static_cast<LRESULT>(length);
    return true;
  }
  if (message == rowPoint || message == tabPoint) {
    // wParam: the row or tab; the answer: a client point on it as MAKELRESULT(x, y), 0 for none.
    RECT client{};
    PointF p;
    const auto element = message == rowPoint ? AppearanceElement::kCandidateList : AppearanceElement::kTab;
    result = ::GetClientRect(hwnd, &client) &&
                     core_.FindPoint(element, static_cast<int32_t>(wParam), SizeI{client.right, client.bottom}, &p)
                 ? MAKELRESULT(static_cast<WORD>(p.x), static_cast<WORD>(p.y))
                 : 0;
    return true;
  }
  return false;
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

bool CCandListWin::SetCompositionExtent(const RECT& extent) {
  core_.SetExtent(Portable(extent));
  RECT window{};
  if (hwnd() == nullptr || !::GetWindowRect(hwnd(), &window)) return false;
  const RECT placed = Native(core_.Place(Portable(window)));
  // The text service reports the extent after every edit; a window already in place stays put.
  if (placed.left != window.left || placed.top != window.top) {
    ::SetWindowPos(hwnd(), nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

std::unique_ptr<Surface> CCandListWin::MeasuringSurface() {
  if (hwnd() == nullptr) return nullptr;
  return GdiplusSurface::FromWindow(hwnd());
}

void CCandListWin::Invalidate() {
  if (hwnd() != nullptr) ::InvalidateRect(hwnd(), nullptr, FALSE);
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
