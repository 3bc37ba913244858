// The real window under Wine: what the screen shows of it, where it goes, real mouse clicks, and a
// paint while another process holds the settings.
#include "quillsvc/candwin/cand_list_win.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/utf16.h"
#include "lookup/private_block.h"
#include "lookup/tab_source_set.h"
#include "platform/process.h"
#include "platform/test_namespace.h"
#include "platform/win32/message_flood_testing.h"
#include "quillsvc/candwin/cand_list_win_testing.h"
#include "quillsvc/candwin/gdiplus_api.h"
#include "quillsvc/candwin/recording_callback_testing.h"
#include "quillsvc/candwin/uia_client_testing.h"
#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/tsf_interfaces.h"
#include "tools/picture/screen_capture.h"
#include "winui/gdi.h"
#include "winui/testing/dialog_driver.h"

namespace quillet {
namespace {

const bool kIsolated = testing::IsolateNamespace("cwin");

using picture::ScreenPixels;
using testing::RecordingCallback;

gdip::Session& Gdiplus() {
  static gdip::Session session;
  return session;
}

// Settings whose window is plain white, with a half-transparent black list and a blue selection bar.
SettingsRecord WhiteWindow() {
  SettingsRecord record = MakeDefaultSettings();
  const TabRecord tab = record.view().tab(0);
  tab.SetColors(AppearanceElement::kWindow, {0x00FFFFFF, 0, 0x00FFFFFF, 0, 0x00FFFFFF, 0});
  tab.SetColors(AppearanceElement::kCandidateList, {0xFF000000, 0xFFFFFFFF, 0x80000000, 0xFF0000FF, 0, 0xFF0000FF});
  return record;
}

bool Near(uint32_t rgb, uint32_t expected, int tolerance) {
  for (int shift : {0, 8, 16}) {
    const int a = static_cast<int>((rgb >> shift) & 0xFF), b = static_cast<int>((expected >> shift) & 0xFF);
    if (std::abs(a - b) > tolerance) return false;
  }
  return true;
}

std::string Hex(uint32_t rgb) {
  char text[16];
  std::snprintf(text, sizeof(text), "%06X", rgb);
  return text;
}

// A page with two corrected spellings, the first highlighted.
const Candidate kBecause{u"because", u"", u"", u"", true};
const Candidate kBecame{u"became", u"", u"", u"", false};
const Candidate kBecome{u"become", u"", u"", u"", false};
const Candidate kBeacon{u"beacon", u"", u"", u"", true};
const std::vector<const Candidate*> kCorrectedPage{&kBecause, &kBecame, &kBecome, &kBeacon};

class CandListWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kIsolated);
    ASSERT_TRUE(Gdiplus().started());
  }
  void TearDown() override {
    if (win_ != nullptr) win_->DestroyWindow();
    win_.reset();
  }

  // The window over `record` with the rows for `prefix`, shown below `extent`.
  void Open(const SettingsRecord& record, std::u16string_view prefix, RECT extent = {100, 100, 140, 120}) {
    ASSERT_EQ(PublishPrivateSettings(record.data(), record.size(), &published_), Result::kSuccess);
    ASSERT_EQ(PublishPrivateDictionaryFiles({testing::WindowTestDictionary()}, &published_), Result::kSuccess);
    set_.Rebuild();
    win_ = std::make_unique<CCandListWin>(set_.settingsRecord(), set_.settingsSize(), &callback_);
    ASSERT_NE(win_->Create(nullptr, RECT{0, 0, 1, 1}), nullptr);
    ASSERT_TRUE(win_->BuildWidgets(0, 200, 400));
    set_.SetPrefix(prefix);
    win_->ShowCandidates(set_, true, true);
    win_->PlaceBy(RectI{extent.left, extent.top, extent.right, extent.bottom});
    win_->Show();
    Pump();
  }
  // Lets the window take its messages, paint, resize and paint again.
  void Pump(int ms = 300) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    MSG msg;
    while (std::chrono::steady_clock::now() < until) {
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
      if (win_ != nullptr && win_->hwnd() != nullptr) ::UpdateWindow(win_->hwnd());
      ::Sleep(5);
    }
  }
  RECT WindowRect() {
    RECT r{};
    ::GetWindowRect(win_->hwnd(), &r);
    return r;
  }
  ScreenPixels Screen() {
    ScreenPixels p;
    EXPECT_TRUE(picture::CaptureScreen(WindowRect(), &p));
    return p;
  }
  CWidgetMgrTopLayout& Manager() { return *win_->core().manager(); }
  // The middle of row r, in client pixels, at `fromRight` pixels left of the list's right edge (or
  // 20 right of its left edge when 0).
  POINT Row(int32_t r, int fromRight = 0) {
    const CTextList& list = *Manager().candidateList;
    const float x = fromRight > 0 ? list.bounds.right() - static_cast<float>(fromRight) : list.bounds.x + 20;
    return POINT{static_cast<LONG>(x),
                 static_cast<LONG>(list.bounds.y + 2 + list.itemHeight * (static_cast<float>(r) + 0.5f))};
  }

  PublishedData published_;
  TabSourceSet set_{published_};
  RecordingCallback callback_;
  std::unique_ptr<CCandListWin> win_;
};

TEST_F(CandListWinTest, TheFrameShowsTheGradientBetweenItsEndsInsideAnOpaqueBorder) {
  SettingsRecord record = MakeDefaultSettings();
  // Black to white from left to right; the colours are stored without alpha and drawn opaque.
  record.view().tab(0).SetColors(AppearanceElement::kWindow, {0x00000000, 0, 0x00FFFFFF, 0, 0x0000FF00, 0});
  ASSERT_NO_FATAL_FAILURE(Open(record, u"ba"));
  const ScreenPixels s = Screen();
  ASSERT_GT(s.width, 50);
  const int32_t w = s.width, h = s.height;
  for (POINT p : {POINT{0, h / 2}, POINT{w - 1, h / 2}, POINT{w / 2, 0}, POINT{w / 2, h - 1}}) {
    EXPECT_TRUE(Near(s.At(p.x, p.y), 0x00FF00, 2)) << p.x << "," << p.y << ": " << Hex(s.At(p.x, p.y));
  }
  EXPECT_TRUE(Near(s.At(1, 2), 0x000000, 10)) << Hex(s.At(1, 2));
  EXPECT_TRUE(Near(s.At(w - 2, 2), 0xFFFFFF, 10)) << Hex(s.At(w - 2, 2));
  EXPECT_TRUE(Near(s.At(w / 2, 2), 0x808080, 16)) << Hex(s.At(w / 2, 2));
}

TEST_F(CandListWinTest, HalfTransparentColoursBlendOverTheGradientAndTheBarMarksTheSelection) {
  ASSERT_NO_FATAL_FAILURE(Open(WhiteWindow(), u"ba"));
  const ScreenPixels s = Screen();
  const POINT bar = Row(0, 6), plain = Row(2, 6), next = Row(1, 6);
  EXPECT_TRUE(Near(s.At(bar.x, bar.y), 0x0000FF, 2)) << Hex(s.At(bar.x, bar.y));
  EXPECT_TRUE(Near(s.At(plain.x, plain.y), 0x808080, 2)) << Hex(s.At(plain.x, plain.y));
  EXPECT_TRUE(Near(s.At(next.x, next.y), 0x808080, 2)) << Hex(s.At(next.x, next.y));
}

// Where it goes is the core's arithmetic; here the window gets there, inside the monitor's work area.
TEST_F(CandListWinTest, ItGoesBelowTheTextAndStaysInsideTheWorkArea) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  const POINT origin{0, 0};
  ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY), &info));
  const RECT work = info.rcWork;
  ASSERT_NO_FATAL_FAILURE(Open(MakeDefaultSettings(), u"aa", RECT{200, 150, 240, 170}));
  RECT r = WindowRect();
  EXPECT_EQ(r.left, 200);
  EXPECT_EQ(r.top, 170);

  win_->PlaceBy(RectI{work.right - 30, 300, work.right - 10, 320});
  Pump();
  r = WindowRect();
  EXPECT_EQ(r.right, work.right);
  EXPECT_EQ(r.top, 320);
}

TEST_F(CandListWinTest, APressOnRowThreeAndAReleaseOnRowFiveClickRowFiveWithoutActivation) {
  // A window of ours holds the foreground; a click on the candidates must not take it.
  const HWND front = ::CreateWindowExW(0, L"STATIC", L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 600, 200, 100,
                                       nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(front, nullptr);
  ::SetForegroundWindow(front);
  ASSERT_NO_FATAL_FAILURE(Open(WhiteWindow(), u"aa"));
  EXPECT_NE(::GetForegroundWindow(), win_->hwnd());

  const RECT window = WindowRect();
  auto screen = [&](POINT client) { return POINT{window.left + client.x, window.top + client.y}; };
  auto button = [](DWORD flag) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flag;
    return ::SendInput(1, &input, sizeof(input)) == 1;
  };
  const POINT row3 = screen(Row(3)), row5 = screen(Row(5));
  ASSERT_TRUE(::SetCursorPos(row3.x, row3.y));
  Pump(100);
  ASSERT_TRUE(button(MOUSEEVENTF_LEFTDOWN));
  Pump(200);
  EXPECT_EQ(Manager().candidateList->selected, 3);  // at once, on the press
  ASSERT_TRUE(::SetCursorPos(row5.x, row5.y));
  Pump(100);
  ASSERT_TRUE(button(MOUSEEVENTF_LEFTUP));
  Pump(200);
  EXPECT_EQ(callback_.events, (std::vector<std::string>{"down 1 3", "up 1 5", "item 5"}));
  EXPECT_NE(::GetForegroundWindow(), win_->hwnd());
  EXPECT_EQ(::GetForegroundWindow(), front);
  ::DestroyWindow(front);
}

// As a screen reader sees the window: the rows by name, the highlighted one selected and focused, each
// with a rectangle inside the window where the hit test finds it again; the tabs after them.
TEST_F(CandListWinTest, TheAccessibleTreeNamesTheRowsAndMarksTheHighlightedOne) {
  const ComApartment com;
  ASSERT_NO_FATAL_FAILURE(Open(MakeDefaultSettings(), u"aa"));
  win_->MoveSelection(2);
  win_->Repaint();
  Pump();
  ComPtr<IAccessible> list;
  ASSERT_EQ(
      AccessibleObjectFromWindow(win_->hwnd(), static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), list.PutVoid()),
      S_OK);
  LONG count = 0;
  ASSERT_EQ(list->get_accChildCount(&count), S_OK);
  ASSERT_GE(count, 10);
  const RECT window = WindowRect();
  for (LONG id = 1; id <= count; ++id) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    VARIANT role, state;
    ASSERT_EQ(list->get_accRole(child, &role), S_OK);
    ASSERT_EQ(list->get_accState(child, &state), S_OK);
    BSTR name = nullptr;
    ASSERT_EQ(list->get_accName(child, &name), S_OK);
    const std::u16string text(reinterpret_cast<const char16_t*>(name), SysStringLen(name));
    SysFreeString(name);
    if (id <= 10) {
      EXPECT_EQ(role.lVal, ROLE_SYSTEM_LISTITEM);
      EXPECT_EQ(text, win_->core().RowText(static_cast<size_t>(id - 1)));
      EXPECT_EQ((state.lVal & STATE_SYSTEM_SELECTED) != 0, id == 3) << id;
      EXPECT_EQ((state.lVal & STATE_SYSTEM_FOCUSED) != 0, id == 3) << id;
    } else {
      EXPECT_EQ(role.lVal, ROLE_SYSTEM_PAGETAB);
    }
    EXPECT_EQ(state.lVal & STATE_SYSTEM_INVISIBLE, 0);
    LONG left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(list->accLocation(&left, &top, &width, &height, child), S_OK);
    EXPECT_GE(left, window.left);
    EXPECT_GE(top, window.top);
    EXPECT_LE(left + width, window.right);
    EXPECT_LE(top + height, window.bottom);
    if (id <= 10) {
      VARIANT hit;
      ASSERT_EQ(list->accHitTest(left + width / 2, top + height / 2, &hit), S_OK);
      EXPECT_EQ(hit.lVal, id);
    }
  }
  VARIANT focus;
  ASSERT_EQ(list->get_accFocus(&focus), S_OK);
  EXPECT_EQ(focus.lVal, 3);
  // A corrected spelling says so.
  win_->core().ShowRows(kCorrectedPage, true, false);
  win_->Repaint();
  Pump();
  for (const auto& [id, expected] : {std::pair{1L, u"because, corrected spelling"}, std::pair{2L, u"became"}}) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    BSTR name = nullptr;
    ASSERT_EQ(list->get_accName(child, &name), S_OK);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(name), SysStringLen(name)), expected);
    SysFreeString(name);
  }
  EXPECT_FALSE(winui::testing::SavePicture(win_->hwnd(), u"candwin-corrected-spelling").empty());
  // Gone with the window: what a screen reader still holds answers that it is disconnected.
  win_.reset();
  EXPECT_EQ(list->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 0);
}

// The same tree through UI Automation's client: the list by the automation id of candidate lists,
// then its items in order, rows named by their text with their digit keys, the highlighted one
// holding the focus. (Wine's client answers E_NOTIMPL for rectangles and the selection pattern's
// properties; the MSAA case reads those.)
TEST_F(CandListWinTest, UiAutomationFindsTheListByItsAutomationIdAndWalksItsRows) {
  const ComApartment com;
  const testing::UiaClient uia;
  ASSERT_TRUE(uia.available());
  ASSERT_NO_FATAL_FAILURE(Open(MakeDefaultSettings(), u"aa"));
  win_->MoveSelection(2);
  win_->Repaint();
  Pump();
  HUIANODE root = nullptr;
  ASSERT_EQ(uia.fromHandle(win_->hwnd(), &root), S_OK);
  EXPECT_EQ(uia.Text(root, UIA_AutomationIdPropertyId), "IME_Candidate_Window");
  EXPECT_EQ(uia.Text(root, UIA_ControlTypePropertyId), std::to_string(UIA_ListControlTypeId));
  std::vector<std::string> rows, tabs;
  for (HUIANODE item = uia.Navigate(root, NavigateDirection_FirstChild); item != nullptr;) {
    const std::string name = uia.Text(item, UIA_NamePropertyId);
    if (uia.Text(item, UIA_ControlTypePropertyId) == std::to_string(UIA_ListItemControlTypeId)) {
      rows.push_back(name + " " + uia.Text(item, UIA_AccessKeyPropertyId) + " " +
                     uia.Text(item, UIA_HasKeyboardFocusPropertyId));
      EXPECT_EQ(uia.Text(item, UIA_IsOffscreenPropertyId), "false");
    } else {
      tabs.push_back(name);
    }
    const HUIANODE next = uia.Navigate(item, NavigateDirection_NextSibling);
    uia.release(item);
    item = next;
  }
  uia.release(root);
  std::vector<std::string> expected;
  for (size_t i = 0; i < 10; ++i) {
    expected.push_back(ToUtf8(win_->core().RowText(i)) + " " + std::to_string((i + 1) % 10) + " " +
                       (i == 2 ? "true" : "false"));
  }
  EXPECT_EQ(rows, expected);
  EXPECT_FALSE(tabs.empty());
}

// A screen reader on another thread of this process, through UI Automation (an element for the first
// row) or MSAA (the list). Each step runs when the test says so; what it read, and whether the
// window's thread was taking messages by then, is kept for the test.
class ScreenReaderThread {
 public:
  enum class Face { kAutomation, kMsaa };
  struct Answer {
    std::string text;  // "(failed)" or "" when nothing was answered
    bool whileBlocked = false;
    bool answered() const { return testing::Given(text); }
  };

  ScreenReaderThread(Face face, HWND window, const std::atomic<bool>& blocked)
      : face_(face), window_(window), blocked_(blocked), thread_([this] { Run(); }) {}
  ~ScreenReaderThread() {
    step_ = kQuit;
    thread_.join();
  }
  // Steps: 1 finds the element, 2 reads its name until a name comes, 3 and 4 read it once.
  void Go(int step) { step_ = step; }
  bool Done(int step) const { return done_ >= step; }
  const std::vector<Answer>& answers(int step) const { return answers_[step]; }

 private:
  static constexpr int kQuit = 100;
  void Run() {
    const ComApartment com(COINIT_MULTITHREADED);
    const testing::UiaClient uia;
    HUIANODE root = nullptr, row = nullptr;
    ComPtr<IAccessible> list;
    for (int step = 1; step <= 4; ++step) {
      while (step_ < step) ::Sleep(1);
      if (step_ == kQuit) break;
      if (step == 1 && face_ == Face::kAutomation && SUCCEEDED(uia.fromHandle(window_, &root)) && root != nullptr) {
        row = uia.Navigate(root, NavigateDirection_FirstChild);
      } else if (step == 1 && face_ == Face::kMsaa) {
        AccessibleObjectFromWindow(window_, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), list.PutVoid());
      }
      for (int tries = 0; step > 1 && tries < (step == 2 ? 300 : 1); ++tries) {
        Answer answer{Name(uia, row, list.Get())};
        answer.whileBlocked = blocked_;
        answers_[step].push_back(answer);
        if (answer.answered()) break;
      }
      done_ = step;
    }
    if (row != nullptr) uia.release(row);
    if (root != nullptr) uia.release(root);
  }
  std::string Name(const testing::UiaClient& uia, HUIANODE row, IAccessible* list) const {
    if (row != nullptr) return uia.Text(row, UIA_NamePropertyId);
    if (list == nullptr) return "(failed)";
    VARIANT first;
    VariantInit(&first);
    first.vt = VT_I4;
    first.lVal = 1;
    BSTR name = nullptr;
    if (FAILED(list->get_accName(first, &name))) return "(failed)";
    const std::string text = ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(name), SysStringLen(name)));
    SysFreeString(name);
    return text;
  }

  const Face face_;
  const HWND window_;
  const std::atomic<bool>& blocked_;
  std::atomic<int> step_{0}, done_{0};
  std::vector<Answer> answers_[5];
  std::thread thread_;
};

// The window's thread in the multithreaded apartment, where COM does not bring screen readers' calls
// to it: they are answered by that thread all the same, so nothing comes while it takes no messages
// and the row's name once it does. An element held while the rows change, or until the window went,
// answers nothing (MSAA's children are places in the list, not rows: its first child is the new row).
TEST_F(CandListWinTest, ScreenReadersOnOtherThreadsAreAnsweredByTheWindowsThreadAlone) {
  const ComApartment com(COINIT_MULTITHREADED);
  ASSERT_TRUE(com.entered());
  ASSERT_NO_FATAL_FAILURE(Open(MakeDefaultSettings(), u"aa"));
  const std::string first = ToUtf8(win_->core().RowText(0));
  std::atomic<bool> blocked{false};
  std::vector<std::unique_ptr<ScreenReaderThread>> readers;
  for (auto face : {ScreenReaderThread::Face::kAutomation, ScreenReaderThread::Face::kAutomation,
                    ScreenReaderThread::Face::kMsaa}) {
    readers.push_back(std::make_unique<ScreenReaderThread>(face, win_->hwnd(), blocked));
  }
  auto step = [&](int n) {
    for (auto& reader : readers) reader->Go(n);
    for (int i = 0; i < 400 && !std::all_of(readers.begin(), readers.end(), [&](auto& r) { return r->Done(n); }); ++i) {
      Pump(25);
    }
    for (auto& reader : readers) ASSERT_TRUE(reader->Done(n)) << "step " << n;
  };
  ASSERT_NO_FATAL_FAILURE(step(1));

  // A second without messages (without COM's either), then messages again.
  blocked = true;
  for (auto& reader : readers) reader->Go(2);
  ::Sleep(1000);
  blocked = false;
  ASSERT_NO_FATAL_FAILURE(step(2));
  for (auto& reader : readers) {
    for (const auto& answer : reader->answers(2)) {
      EXPECT_FALSE(answer.whileBlocked && answer.answered()) << "answered by another thread: " << answer.text;
    }
    EXPECT_EQ(reader->answers(2).back().text, first);
  }

  set_.SetPrefix(u"ba");
  win_->ShowCandidates(set_, true, true);
  Pump();
  ASSERT_NO_FATAL_FAILURE(step(3));
  EXPECT_FALSE(readers[0]->answers(3).back().answered()) << readers[0]->answers(3).back().text;
  EXPECT_EQ(readers[2]->answers(3).back().text, "baa");

  win_.reset();
  ASSERT_NO_FATAL_FAILURE(step(4));
  for (auto& reader : readers) EXPECT_FALSE(reader->answers(4).back().answered()) << reader->answers(4).back().text;
}

// Another process on the desktop sends the window every message number there is, with pointers into
// this process (lpCreateParams of a WM_NCCREATE among them), then the messages that close or destroy
// a window: nothing here is written, and the window, never closed from outside, goes on showing the
// candidates it is given.
TEST_F(CandListWinTest, MessagesFromAnotherProcessNeitherWriteHereNorStopTheWindow) {
  using platform::win32::FloodPart;
  using platform::win32::kFloodDone;
  using platform::win32::RunFlood;
  ASSERT_NO_FATAL_FAILURE(Open(WhiteWindow(), u"aa"));
  const platform::win32::FloodCanary canary;
  ASSERT_TRUE(canary.valid());
  const HWND window = win_->hwnd();
  const RECT tenRows = WindowRect();
  EXPECT_EQ(RunFlood(window, canary, FloodPart::kEverything, true), kFloodDone);
  EXPECT_EQ(canary.Written(), 0u);
  EXPECT_EQ(RunFlood(window, canary, FloodPart::kClosing, true), kFloodDone);
  EXPECT_EQ(canary.Written(), 0u);
  ASSERT_TRUE(::IsWindow(window));
  ASSERT_EQ(win_->hwnd(), window);

  set_.SetPrefix(u"ba");
  win_->ShowCandidates(set_, true, true);
  win_->PlaceBy(RectI{100, 100, 140, 120});
  win_->Show();
  Pump();
  EXPECT_TRUE(::IsWindowVisible(window));
  // Painted by its object: five rows now, where the ten of "aa" were.
  const RECT r = WindowRect();
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 120);
  EXPECT_LT(r.bottom - r.top, tenRows.bottom - tenRows.top);
  const ScreenPixels s = Screen();
  const POINT bar = Row(0, 6);
  EXPECT_TRUE(Near(s.At(bar.x, bar.y), 0x0000FF, 2)) << Hex(s.At(bar.x, bar.y));
}

// System colours set for a test, the previous ones back at its end.
class SysColorsScope {
 public:
  SysColorsScope(std::vector<int> elements, std::vector<COLORREF> colors) : elements_(std::move(elements)) {
    for (int e : elements_) saved_.push_back(::GetSysColor(e));
    set_ = ::SetSysColors(static_cast<int>(elements_.size()), elements_.data(), colors.data()) != FALSE;
  }
  ~SysColorsScope() {
    if (set_) ::SetSysColors(static_cast<int>(elements_.size()), elements_.data(), saved_.data());
  }
  bool set() const { return set_; }

 private:
  std::vector<int> elements_;
  std::vector<COLORREF> saved_;
  bool set_ = false;
};

// Wine never turns high contrast on (SPI_SETHIGHCONTRAST fails), so the system's colours are handed
// to the core as the window does while it is on; the window itself is seen to leave them when Windows
// says the colours changed and high contrast is off.
TEST_F(CandListWinTest, InHighContrastColoursTheWindowShowsThemAndLeavesThemWhenItIsOff) {
  ASSERT_FALSE(HighContrastColors().has_value());
  const SysColorsScope scheme(
      {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_BTNFACE, COLOR_BTNTEXT},
      {RGB(0, 0, 0), RGB(255, 255, 255), RGB(26, 235, 255), RGB(0, 0, 0), RGB(0, 0, 64), RGB(255, 255, 0)});
  ASSERT_TRUE(scheme.set());
  ASSERT_NO_FATAL_FAILURE(Open(WhiteWindow(), u"aa"));
  const SystemColors system = ReadSystemColors();
  EXPECT_EQ(system.highlight, 0xFF1AEBFFu);
  win_->core().SetSystemColors(system);
  Pump();
  // Which part takes which system colour is the core's (cand_list_core_test); the screen shows them.
  const POINT bar = Row(0, 6), plain = Row(2, 6);
  ScreenPixels s = Screen();
  EXPECT_TRUE(Near(s.At(bar.x, bar.y), 0x1AEBFF, 2)) << Hex(s.At(bar.x, bar.y));
  EXPECT_TRUE(Near(s.At(plain.x, plain.y), 0x000000, 2)) << Hex(s.At(plain.x, plain.y));  // not translucent

  ::SendMessageW(win_->hwnd(), WM_SYSCOLORCHANGE, 0, 0);
  Pump();
  EXPECT_FALSE(win_->core().systemColors().has_value());
  s = Screen();
  EXPECT_TRUE(Near(s.At(bar.x, bar.y), 0x0000FF, 2)) << Hex(s.At(bar.x, bar.y));  // the tab's own colours again

  // A picture of corrected spellings' marks in high contrast, to look at.
  win_->core().SetSystemColors(system);
  win_->core().ShowRows(kCorrectedPage, true, false);
  Pump();
  EXPECT_FALSE(winui::testing::SavePicture(win_->hwnd(), u"candwin-corrected-spelling-contrast").empty());
}

// The user's DPI for programs started from now on (Wine reads it when a program starts); the old
// value back at the end.
class SystemDpiScope {
 public:
  explicit SystemDpiScope(DWORD dpi) {
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                          nullptr, &key_, nullptr) != ERROR_SUCCESS) {
      return;
    }
    DWORD size = sizeof(old_);
    had_ = ::RegQueryValueExW(key_, kName, nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size) == ERROR_SUCCESS;
    set_ =
        ::RegSetValueExW(key_, kName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi)) == ERROR_SUCCESS;
  }
  ~SystemDpiScope() {
    if (key_ == nullptr) return;
    if (had_) {
      ::RegSetValueExW(key_, kName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof(old_));
    } else {
      ::RegDeleteValueW(key_, kName);
    }
    ::RegCloseKey(key_);
  }
  bool set() const { return set_; }

 private:
  static constexpr const wchar_t* kName = L"LogPixels";
  HKEY key_ = nullptr;
  DWORD old_ = 0;
  bool had_ = false;
  bool set_ = false;
};

TEST_F(CandListWinTest, AtOneAndAHalfTimesTheDpiTheWindowIsOneAndAHalfTimesAsLarge) {
  ASSERT_NO_FATAL_FAILURE(Open(MakeDefaultSettings(), u"aa"));
  const RECT at96 = WindowRect();
  const double w96 = at96.right - at96.left, h96 = at96.bottom - at96.top;
  ASSERT_GT(w96, 50);

  // Windows says the window's monitor changed its DPI.
  RECT suggested{0, 0, 10, 10};
  ::SendMessageW(win_->hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  Pump();
  const RECT changed = WindowRect();
  EXPECT_NEAR(changed.right - changed.left, w96 * 1.5, 6);
  EXPECT_NEAR(changed.bottom - changed.top, h96 * 1.5, 6);
  EXPECT_EQ(changed.left, at96.left);  // still by the composition
  EXPECT_EQ(changed.top, at96.top);

  // A program started at 144 DPI makes its window at the DPI of the composition's monitor.
  int code = -1;
  {
    const SystemDpiScope dpi(144);
    ASSERT_TRUE(dpi.set());
    platform::Process other;
    testing::KillOnExit guard(other);
    platform::OsError error = 0;
    ASSERT_TRUE(other.Start(testing::SiblingProgram(u"cand_list_win_test_helper"), u"window-size", &error)) << error;
    ASSERT_TRUE(other.WaitForExit(60000, &code));
  }
  ASSERT_GT(code, 0xFFFF) << code;
  EXPECT_NEAR(testing::PackedWidth(code), w96 * 1.5, 6);
  EXPECT_NEAR(testing::PackedHeight(code), h96 * 1.5, 6);
}

}  // namespace
}  // namespace quillet
