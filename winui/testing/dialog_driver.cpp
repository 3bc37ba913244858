#include "winui/testing/dialog_driver.h"

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "platform/win32/wide.h"
#include "winui/gdi.h"
#include "winui/testing/png.h"

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

bool CapturePixels(HWND window, int* width, int* height, std::u32string* pixels) {
  RECT r{};
  if (!GetWindowRect(window, &r)) return false;
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  const WindowDC screen(nullptr);
  if (screen.get() == nullptr) return false;
  const MemoryDC memory(screen.get());
  const UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), w, h));
  bool copied = false;
  {
    const SelectScope select(memory.get(), bitmap.get());
    copied = BitBlt(memory.get(), 0, 0, w, h, screen.get(), r.left, r.top, SRCCOPY | CAPTUREBLT) != FALSE;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> bgra(static_cast<size_t>(w) * h);
  const bool read = copied && GetDIBits(memory.get(), bitmap.get(), 0, h, bgra.data(), &info, DIB_RGB_COLORS) == h;
  if (!read) return false;
  pixels->assign(bgra.size(), 0);
  for (size_t i = 0; i < bgra.size(); ++i) (*pixels)[i] = bgra[i] & 0x00FFFFFF;
  *width = w;
  *height = h;
  return true;
}

std::u16string SavePicture(HWND window, std::u16string_view name) {
  int w = 0;
  int h = 0;
  std::u32string pixels;
  if (!CapturePixels(window, &w, &h, &pixels)) return u"";
  const std::vector<uint8_t> png = EncodePng(w, h, pixels);
  // The build folder is the one above the programs' folder.
  std::u16string folder = platform::ModuleFolder();
  const size_t slash = folder.find_last_of(u"\\/");
  if (slash != std::u16string::npos) folder.resize(slash);
  folder += u"\\pictures";
  CreateDirectoryW(ToWide(folder).c_str(), nullptr);
  const std::u16string path = folder + u"\\" + std::u16string(name) + u".png";
  std::unique_ptr<void, decltype(&CloseHandle)> file(
      CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
      &CloseHandle);
  if (file.get() == INVALID_HANDLE_VALUE) {
    (void)file.release();  // nothing to close
    return u"";
  }
  DWORD written = 0;
  const bool ok =
      WriteFile(file.get(), png.data(), static_cast<DWORD>(png.size()), &written, nullptr) && written == png.size();
  return ok ? path : u"";
}

}  // namespace quillet::winui::testing
