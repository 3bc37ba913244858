// Another process for the window's tests. "hold-write": takes the settings block as a writer, says so
// through the "locked" event, and holds it until the "release" event (or a minute) has passed.
// "window-size": makes the window for "aa" over the default settings, as the window test does, and
// exits with its size (PackSize); the test runs it at another system DPI.
#include <windows.h>

#include <chrono>
#include <string>

#include "ipc/shared_block.h"
#include "lookup/private_block.h"
#include "lookup/tab_source_set.h"
#include "quillsvc/candwin/cand_list_win.h"
#include "quillsvc/candwin/cand_list_win_testing.h"
#include "quillsvc/candwin/gdiplus_api.h"

using namespace quillet;

namespace {

int HoldWrite() {
  SharedBlock block;
  const Result r = OpenSettingsBlock(block);
  if (r != Result::kSuccess) return 10 + ToInt(r);
  platform::Event locked, release;
  platform::OsError error = 0;
  if (!locked.Open(testing::kLockedEventName, &error) || !release.Open(testing::kReleaseEventName, &error)) return 3;
  {
    BlockWriteLock writing(block);
    if (!writing) return 2;
    locked.Set();
    platform::Wait(release, 60000, &error);
  }
  CloseBlock(block, false);
  return 0;
}

int WindowSize() {
  const gdip::Session gdiplus;
  if (!gdiplus.started()) return 1;
  const SettingsRecord record = MakeDefaultSettings();
  TabSourceSet set;
  if (PublishPrivateSettingsBlock(record.data(), record.size(), &set.settingsBlock()) != Result::kSuccess ||
      PublishPrivateDictionaryFiles({testing::WindowTestDictionary()}, &set.dictionaryBlock()) != Result::kSuccess) {
    return 2;
  }
  set.Rebuild();
  SharedBlock& block = set.settingsBlock();
  CCandListWin win(&block, block.view(), block.viewSize(), nullptr);
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
    if (arg == "hold-write") return HoldWrite();
    if (arg == "window-size") return WindowSize();
  }
  return 100;
}
