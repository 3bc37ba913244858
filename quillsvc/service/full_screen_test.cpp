// What counts as a full-screen program, on real windows: the foreground's rectangle against its
// monitor, its title bar, and the desktop.
#include "quillsvc/service/full_screen.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

class Window {
 public:
  Window(DWORD style, RECT r)
      : hwnd_(CreateWindowExW(0, L"STATIC", L"full screen?", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                              nullptr, nullptr, nullptr, nullptr)) {}
  ~Window() { DestroyWindow(hwnd_); }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  HWND get() const { return hwnd_; }

 private:
  HWND hwnd_;
};

RECT Screen(int grow) {
  return RECT{-grow, -grow, GetSystemMetrics(SM_CXSCREEN) + grow, GetSystemMetrics(SM_CYSCREEN) + grow};
}

TEST(FullScreenTest, AWindowWithoutTitleBarCoveringItsMonitorIsFullScreen) {
  const Window exact(WS_POPUP | WS_VISIBLE, Screen(0));
  const Window beyond(WS_POPUP | WS_VISIBLE, Screen(8));
  ASSERT_NE(exact.get(), nullptr);
  EXPECT_TRUE(CoversItsMonitor(exact.get()));
  EXPECT_TRUE(CoversItsMonitor(beyond.get()));

  RECT oneShort = Screen(0);
  --oneShort.bottom;
  const Window smaller(WS_POPUP | WS_VISIBLE, oneShort);
  const Window titled(WS_OVERLAPPEDWINDOW | WS_VISIBLE, Screen(8));  // maximised over a hidden taskbar
  const Window hidden(WS_POPUP, Screen(0));
  EXPECT_FALSE(CoversItsMonitor(smaller.get()));
  EXPECT_FALSE(CoversItsMonitor(titled.get()));
  EXPECT_FALSE(CoversItsMonitor(hidden.get()));
  EXPECT_FALSE(CoversItsMonitor(GetDesktopWindow()));
  EXPECT_FALSE(CoversItsMonitor(nullptr));
}

TEST(FullScreenTest, TheForegroundWindowDecides) {
  RECT corner = {100, 100, 500, 400};
  const Window editor(WS_POPUP | WS_VISIBLE, corner);
  const Window game(WS_POPUP | WS_VISIBLE, Screen(0));
  ASSERT_TRUE(SetForegroundWindow(game.get()));
  ASSERT_EQ(GetForegroundWindow(), game.get());
  EXPECT_TRUE(FullScreenForeground());
  ASSERT_TRUE(SetForegroundWindow(editor.get()));
  ASSERT_EQ(GetForegroundWindow(), editor.get());
  EXPECT_FALSE(FullScreenForeground());
}

}  // namespace
}  // namespace quillet
