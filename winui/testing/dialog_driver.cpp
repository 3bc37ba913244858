#include "winui/testing/dialog_driver.h"

#include <chrono>
#include <thread>

#include "platform/process.h"
#include "platform/win32/wide.h"
#include "tools/picture/screen_capture.h"

namespace quillet::winui::testing {
namespace {

using platform::win32::FromWide;
using platform::win32::ToWide;

// Message boxes keep their text in this item.
constexpr int kMessageBoxTextId = 0xFFFF;

bool HasClass(HWND window, const wchar_t* className) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return lstrcmpiW(name, className) == 0;
}

struct TopSearch {
  DWORD processId;
  const wchar_t* className;
  const wchar_t* title;
  HWND except;
  HWND owner;  // with ownerOnly: the owner the window must have
  bool ownerOnly;
  HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM lParam) {
  auto* s = reinterpret_cast<TopSearch*>(lParam);
  if (window == s->except || !IsWindowVisible(window)) return TRUE;
  if (s->processId != 0) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != s->processId) return TRUE;
  }
  if (s->className != nullptr && !HasClass(window, s->className)) return TRUE;
  if (s->title != nullptr && FromWide(s->title) != Text(window)) return TRUE;
  if (s->ownerOnly && GetWindow(window, GW_OWNER) != s->owner) return TRUE;
  s->found = window;
  return FALSE;
}

}  // namespace

HWND WaitForWindow(const std::function<HWND()>& find, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (HWND w = find()) return w;
    if (std::chrono::steady_clock::now() > deadline) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

HWND FindTopWindow(DWORD processId, const wchar_t* className, const wchar_t* title, HWND except) {
  TopSearch s{processId, className, title, except, nullptr, false, nullptr};
  EnumWindows(&Visit, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND FindOwnedDialog(HWND owner) {
  TopSearch s{0, L"#32770", nullptr, nullptr, owner, true, nullptr};
  EnumWindows(&Visit, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

void PostClick(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SetItemText(HWND dialog, int id, std::u16string_view text) {
  SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ToWide(text).c_str()));
}

std::u16string Text(HWND window) {
  wchar_t buffer[2048] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, 5000, nullptr);
  return FromWide(buffer);
}

std::u16string ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

std::u16string MessageBoxText(HWND box) { return ItemText(box, kMessageBoxTextId); }

void AnswerMessageBox(HWND box, int button) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

std::u16string ExpectMessageBox(HWND owner, int ms) {
  HWND box = WaitForWindow(
      [&] {
        HWND d = FindOwnedDialog(owner);
        return d != nullptr && GetDlgItem(d, kMessageBoxTextId) != nullptr ? d : nullptr;
      },
      ms);
  if (box == nullptr) return u"";
  const std::u16string text = MessageBoxText(box);
  AnswerMessageBox(box, IDOK);
  WaitForWindow([&] { return IsWindow(box) ? nullptr : GetDesktopWindow(); }, 5000);
  return text;
}

void SettlePainting(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
}

std::u16string SavePicture(HWND window, std::u16string_view name) {
  picture::ScreenPixels pixels;
  if (!picture::CaptureWindow(window, &pixels)) return u"";
  // The build folder is the one above the programs' folder.
  std::u16string folder = platform::ModuleFolder();
  const size_t slash = folder.find_last_of(u"\\/");
  if (slash != std::u16string::npos) folder.resize(slash);
  folder += u"\\pictures";
  CreateDirectoryW(ToWide(folder).c_str(), nullptr);
  const std::u16string path = folder + u"\\" + std::u16string(name) + u".png";
  return picture::SavePng(ToWide(path), pixels) ? path : u"";
}

}  // namespace quillet::winui::testing
