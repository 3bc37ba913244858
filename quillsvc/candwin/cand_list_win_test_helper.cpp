// Another process for the window's tests. "window-size": makes the window for "aa" over the default settings, as the
// window test does, and exits with its size (PackSize); the test runs it at another system DPI.
#include <windows.h>

#include <chrono>
#include <string>

#include "lookup/private_block.h"
#include "lookup/tab_source_set.h"
#include "quillsvc/candwin/cand_list_win.h"
#include "quillsvc/candwin/cand_list_win_testing.h"
#include "quillsvc/candwin/gdiplus_api.h"

using namespace quillet;

namespace {

int WindowSize() {
  const gdip::Session gdiplus;
  if (!gdiplus.started()) return 1;
  const SettingsRecord record = MakeDefaultSettings();
  PublishedData published;
  TabSourceSet set(published);
  if (PublishPrivateSettings(record.data(), record.size(), &published) != Result::kSuccess ||
      PublishPrivateDictionaryFiles({testing::WindowTestDictionary()}, &published) != Result::kSuccess) {
    return 2;
  }
  set.Rebuild();
  CCandListWin win(set.settingsRecord(), set.settingsSize(), nullptr);
  if (win.Create(nullptr, RECT{0, 0, 1, 1}) == nullptr || !win.BuildWidgets(0, 200, 400)) return 3;
  set.SetPrefix(u"aa");
  win.ShowCandidates(set, true, true);
  win.PlaceBy(RectI{100, 100, 140, 120});
  win.Show();
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  MSG msg;
  while (std::chrono::steady_clock::now() < until) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    UpdateWindow(win.hwnd());
    Sleep(5);
  }
  RECT r{};
  if (!GetWindowRect(win.hwnd(), &r)) return 4;
  return testing::PackSize(r.right - r.left, r.bottom - r.top);
}

}  // namespace

int main(int argc, char** argv) {
  // The mode may be the whole command line, or follow the program name.
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "window-size") return WindowSize();
  }
  return 100;
}
