#include "platform/loader_channel.h"

#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/win32/wide.h"
#include "platform/win32/window_binding.h"

namespace quillet::platform {

namespace {

constexpr wchar_t kClassName[] = L"DAEMON";
constexpr wchar_t kWindowTitle[] = L"Daemon@QX@TARN";
// Posted to our own window by Quit(), so that any thread may end Run(); also how any program (the
// uninstaller, say) asks the loader to end, as it would any window's program.
constexpr UINT kQuitMessage = WM_CLOSE;

std::wstring WindowTitle() {
  std::wstring title = kWindowTitle;
  const std::wstring ns = win32::TestNamespace();
  if (!ns.empty()) title += L"." + ns;
  return title;
}

// The integrity of the process that made `window` (its mandatory label's last part); 0 when it cannot
// be read.
DWORD WindowIntegrity(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) return 0;
  HANDLE token = nullptr;
  DWORD rid = 0;
  if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
    DWORD size = 0;
    GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    std::vector<uint8_t> buffer(size);
    if (size != 0 && GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) {
      PSID label = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
      const UCHAR count = *GetSidSubAuthorityCount(label);
      if (count != 0) rid = *GetSidSubAuthority(label, count - 1);
    }
    CloseHandle(token);
  }
  CloseHandle(process);
  return rid;
}

// The loader's window: the first one of its class and title that a process of medium integrity or
// more made. A sandboxed process can make a message-only window of the same name first; it would
// then hear what the settings sheet says and could keep it waiting, so it is passed over.
HWND FindLoaderWindow(const std::wstring& title) {
  for (HWND window = nullptr;;) {
    window = FindWindowExW(HWND_MESSAGE, window, kClassName, title.c_str());
    if (window == nullptr) return nullptr;
    const DWORD integrity = WindowIntegrity(window);
    // Unknown (a system that keeps no integrity, or a process we may not ask): the window serves.
    if (integrity == 0 || integrity >= SECURITY_MANDATORY_MEDIUM_RID) return window;
  }
}

}  // namespace

SendStatus SendLoaderMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, uint32_t timeoutMs, intptr_t* reply,
                             OsError* error) {
  const std::wstring title = WindowTitle();
  HWND window = FindLoaderWindow(title);
  if (window == nullptr) return SendStatus::kNotFound;
  DWORD_PTR result = 0;
  SetLastError(0);
  if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_BLOCK, timeoutMs, &result) != 0) {
    *reply = static_cast<intptr_t>(result);
    return SendStatus::kReplied;
  }
  const DWORD e = GetLastError();
  *error = e;
  // Current systems report a plain time-out as ERROR_TIMEOUT; it is still "no answer in time".
  if (e == 0 || e == ERROR_TIMEOUT) return SendStatus::kTimedOut;
  return SendStatus::kFailed;
}

struct LoaderChannel::Impl {
  Handler handler;
  HWND window = nullptr;
  bool registered = false;
  // The window is this object's because Create made it, not because a message says so.
  win32::WindowBinding binding{this, &kClassName};

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<Impl*>(win32::WindowBinding::Find(hwnd, &kClassName));
    if (msg == kQuitMessage) {
      PostQuitMessage(0);
      return 0;
    }
    // Senders find the window by its title: once made, it keeps it, whatever another program sends.
    if (self != nullptr && self->window != nullptr && (msg == WM_SETTEXT || msg == WM_NCCREATE || msg == WM_CREATE)) {
      return 0;
    }
    if (self != nullptr && self->handler && msg >= WM_APP && msg <= 0xBFFF) {
      return static_cast<LRESULT>(self->handler(msg, static_cast<uintptr_t>(wp), static_cast<intptr_t>(lp)));
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
};

LoaderChannel::LoaderChannel() : impl_(std::make_unique<Impl>()) {}

LoaderChannel::~LoaderChannel() {
  impl_->binding.Release();
  if (impl_->window != nullptr) DestroyWindow(impl_->window);
  if (impl_->registered) UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
}

bool LoaderChannel::Create(Handler handler, OsError* error) {
  if (impl_->window != nullptr) return true;
  impl_->handler = std::move(handler);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = &Impl::WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  if (RegisterClassW(&wc) == 0) {
    const DWORD e = GetLastError();
    if (e != ERROR_CLASS_ALREADY_EXISTS) {
      *error = e;
      return false;
    }
  } else {
    impl_->registered = true;
  }
  const std::wstring title = WindowTitle();
  {
    const win32::WindowBinding::Creating creating(impl_->binding);
    impl_->window =
        CreateWindowExW(0, kClassName, title.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  }
  if (impl_->window == nullptr) {
    *error = GetLastError();
    return false;
  }
  return true;
}

int LoaderChannel::Run() {
  // The first GetMessage with an empty queue is what WaitForInputIdle in the starter waits for.
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return got < 0 ? 1 : static_cast<int>(msg.wParam);
}

void LoaderChannel::Quit() {
  if (impl_->window != nullptr) PostMessageW(impl_->window, kQuitMessage, 0, 0);
}

}  // namespace quillet::platform
