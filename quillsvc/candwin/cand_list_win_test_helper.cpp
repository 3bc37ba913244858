// Another process for the window's tests. "send-messages HWND ADDRESS": sends the window every message number a tool
// might try, among them those a window once answered by writing to the address in lParam, with ADDRESS (in the window's
// process) in lParam and small numbers in wParam.
// "window-size": makes the window for "aa" over the default settings, as the window test does, and
// exits with its size (PackSize); the test runs it at another system DPI.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "lookup/private_block.h"
#include "lookup/tab_source_set.h"
#include "quillsvc/candwin/cand_list_win.h"
#include "quillsvc/candwin/cand_list_win_testing.h"
#include "quillsvc/candwin/gdiplus_api.h"

using namespace quillet;

namespace {

int SendMessages(HWND window, LPARAM address) {
  auto send = [&](UINT message) {
    for (WPARAM w = 0; w < 3; ++w) {
      DWORD_PTR answer = 0;
      SendMessageTimeoutW(window, message, w, address, SMTO_ABORTIFHUNG, 500, &answer);
    }
  };
  for (const wchar_t* name : {L"QuilletCandidateRowText", L"QuilletCandidateRowPoint", L"QuilletCandidateTabPoint"}) {
    send(RegisterWindowMessageW(name));
  }
  for (UINT message = WM_USER; message < WM_USER + 0x80; ++message) send(message);
  for (UINT message = WM_APP; message < WM_APP + 0x80; ++message) send(message);
  return IsWindow(window) ? 0 : 4;
}

int WindowSize() {
  const gdip::Session gdiplus;
  if (!gdiplus.started()) return 1;
  const SettingsRecord record = MakeDefaultSettings();
  TabSourceSet set;
  if (PublishPrivateSettings(record.data(), record.size(), &set.published()) != Result::kSuccess ||
      PublishPrivateDictionaryFiles({testing::WindowTestDictionary()}, &set.published()) != Result::kSuccess) {
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
    if (arg == "send-messages" && i + 2 < argc) {
      const auto window = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(argv[i + 1], nullptr, 16)));
      const auto address = static_cast<LPARAM>(std::strtoull(argv[i + 2], nullptr, 16));
      return SendMessages(window, address);
    }
  }
  return 100;
}
