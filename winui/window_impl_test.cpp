#include "winui/window_impl.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace quillet::winui {
namespace {

constexpr UINT kThrow = WM_APP + 1;
constexpr UINT kCount = WM_APP + 2;

class ProbeWindow : public CWindowImpl<ProbeWindow, CWinTraits<WS_POPUP>> {
 public:
  static WindowClassInfo GetWndClassInfo() { return {0, 0, IDC_ARROW}; }
  bool ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message == WM_CREATE && failCreate) throw std::bad_alloc();
    if (message == kThrow) {
      if (wParam == 0) throw std::bad_alloc();
      throw std::runtime_error("handler failed");
    }
    if (message == kCount) {
      result = ++count;
      return true;
    }
    return false;
  }
  bool failCreate = false;
  int count = 0;
};

HWND Make(ProbeWindow& w) { return w.Create(HWND_MESSAGE, RECT{0, 0, 10, 10}); }

TEST(WindowImplTest, MessagesReachTheObjectThatMadeTheWindow) {
  ProbeWindow a, b;
  ASSERT_NE(Make(a), nullptr);
  ASSERT_NE(Make(b), nullptr);
  EXPECT_EQ(::SendMessageW(a.hwnd(), kCount, 0, 0), 1);
  EXPECT_EQ(::SendMessageW(a.hwnd(), kCount, 0, 0), 2);
  EXPECT_EQ(::SendMessageW(b.hwnd(), kCount, 0, 0), 1);
  EXPECT_NE(ProbeWindow::RegisterWindowClass(), 0);  // registered once, shared
  EXPECT_TRUE(a.DestroyWindow());
  EXPECT_EQ(a.hwnd(), nullptr);
}

TEST(WindowImplTest, NoExceptionLeavesTheWindowProcedure) {
  ProbeWindow w;
  ASSERT_NE(Make(w), nullptr);
  EXPECT_EQ(::SendMessageW(w.hwnd(), kThrow, 0, 0), 0);
  EXPECT_EQ(::SendMessageW(w.hwnd(), kThrow, 1, 0), 0);
  EXPECT_EQ(::SendMessageW(w.hwnd(), kCount, 0, 0), 1);  // and the window goes on working
}

TEST(WindowImplTest, AFailingCreationGivesNoWindow) {
  ProbeWindow w;
  w.failCreate = true;
  EXPECT_EQ(Make(w), nullptr);
  EXPECT_EQ(w.hwnd(), nullptr);
}

TEST(WindowImplTest, AnObjectGoingFirstTakesItsWindowWithIt) {
  HWND left = nullptr;
  {
    ProbeWindow w;
    left = Make(w);
    ASSERT_NE(left, nullptr);
  }
  EXPECT_FALSE(::IsWindow(left));
}

}  // namespace
}  // namespace quillet::winui
