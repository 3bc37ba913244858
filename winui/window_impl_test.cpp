#include "winui/window_impl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <thread>

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

// What any process can send a window, or set in it, names no object: a creation message pointing at
// another one, and the window's user data set to one.
TEST(WindowImplTest, NeitherACreationMessageNorTheUserDataChooseTheObject) {
  ProbeWindow w, decoy;
  ASSERT_NE(Make(w), nullptr);
  CREATESTRUCTW create{};
  create.lpCreateParams = &decoy;
  ::SendMessageW(w.hwnd(), WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create));
  ::SendMessageW(w.hwnd(), WM_CREATE, 0, reinterpret_cast<LPARAM>(&create));
  ::SetWindowLongPtrW(w.hwnd(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&decoy));
  EXPECT_EQ(::SendMessageW(w.hwnd(), kCount, 0, 0), 1);
  EXPECT_EQ(decoy.count, 0);
  EXPECT_EQ(decoy.hwnd(), nullptr);
}

// A WM_NCDESTROY sent from another thread (or process) does not end the window: it keeps its object.
TEST(WindowImplTest, AnEndSentFromAnotherThreadLeavesTheWindowWithItsObject) {
  ProbeWindow w;
  const HWND window = Make(w);
  ASSERT_NE(window, nullptr);
  std::atomic<bool> sent{false};
  std::thread other([&] {
    DWORD_PTR answer = 0;
    for (UINT message : {WM_DESTROY, WM_NCDESTROY}) {
      ::SendMessageTimeoutW(window, message, 0, 0, SMTO_BLOCK, 5000, &answer);
    }
    sent = true;
  });
  MSG msg;
  while (!sent) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  }
  other.join();
  EXPECT_EQ(w.hwnd(), window);
  EXPECT_EQ(::SendMessageW(window, kCount, 0, 0), 1);
}

}  // namespace
}  // namespace quillet::winui
