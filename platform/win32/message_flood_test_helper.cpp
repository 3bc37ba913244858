// Another process on the desktop, as hostile as window messages let it be, for the tests of every
// window we make. Usage: message_flood flood WINDOW CANARY [system|closing] (both numbers in hex).
// CANARY is the address of kFloodCanarySize bytes in the window's process that nothing may write.
// This program maps a region at the same address in itself, filled with that address word after
// word, and sends it as lParam: where the system copies a structure across (the CREATESTRUCT of
// WM_NCCREATE and WM_CREATE, say), each of its pointers (lpCreateParams, name, class) is the
// canary's address; where it passes lParam as it is (WM_INITDIALOG, the private and registered
// ranges), lParam is.
// By default: first GWLP_USERDATA and DWLP_USER set to the canary where the system lets that be
// done, then every message number from 0 to 0xFFFF but those that close or destroy a window (those
// that start one first). The system range goes with wParam 0, 1, the canary and all ones, each
// answer awaited for a short time; the private and registered ranges with wParam the canary too,
// without waiting for each answer. With "system": the same up to the end of the system range. With
// "closing": WM_SYSCOMMAND with every SC_ code, then the messages that close, end or destroy.
// A 64-bit program only: there the canary's address (its low half 0) leaves the 32-bit counts and
// sizes in what the system copies across 0 or small, where in a 32-bit one they would be the address.
// Exit code: kFloodDone sent everything, 2 bad arguments or a 32-bit build, 3 the canary's address
// cannot be mapped here, 4 the window is gone after a run without "closing", kFloodStuck + a message
// when the window stopped answering there.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/win32/message_flood_testing.h"

namespace {

using quillet::platform::win32::kFloodCanarySize;
using quillet::platform::win32::kFloodDone;
using quillet::platform::win32::kFloodStuck;

// The messages that close, end or destroy a window (and WM_SYSCOMMAND, which can).
constexpr UINT kClosing[] = {WM_DESTROY,    WM_CLOSE,     WM_QUERYENDSESSION, WM_QUIT,
                             WM_ENDSESSION, WM_NCDESTROY, WM_SYSCOMMAND};
constexpr WPARAM kSystemCommands[] = {SC_SIZE,       SC_MOVE,         SC_MINIMIZE,    SC_MAXIMIZE,   SC_NEXTWINDOW,
                                      SC_PREVWINDOW, SC_VSCROLL,      SC_HSCROLL,     SC_MOUSEMENU,  SC_KEYMENU,
                                      SC_ARRANGE,    SC_RESTORE,      SC_TASKLIST,    SC_SCREENSAVE, SC_HOTKEY,
                                      SC_DEFAULT,    SC_MONITORPOWER, SC_CONTEXTHELP, SC_SEPARATOR,  SC_CLOSE};
constexpr DWORD kTimeoutMs = 200;
// How long a window may take to work through a thousand queued messages.
constexpr DWORD kDrainMs = 30000;
// A window that answers none of this many messages in a row is hung; the flood gives up then.
constexpr int kGiveUpAfter = 20;

// The messages that start a window, first: a window that some early message ends (a pop-up that
// closes when it loses the capture) gets them too.
constexpr UINT kStarting[] = {WM_NCCREATE, WM_CREATE, WM_INITDIALOG};

template <size_t N>
bool IsOneOf(UINT message, const UINT (&messages)[N]) {
  for (UINT m : messages) {
    if (m == message) return true;
  }
  return false;
}

class Flood {
 public:
  Flood(HWND window, uintptr_t canary) : window_(window), canary_(canary) {}

  // One message; false once the window has failed to answer kGiveUpAfter times in a row.
  bool Send(UINT message, WPARAM wParam) {
    DWORD_PTR answer = 0;
    const DWORD start = GetTickCount();
    if (SendMessageTimeoutW(window_, message, wParam, static_cast<LPARAM>(canary_), SMTO_ABORTIFHUNG, kTimeoutMs,
                            &answer) ||
        GetTickCount() - start < kTimeoutMs / 2) {
      silent_ = 0;  // answered, or refused at once (the system will not carry the message across)
      return true;
    }
    if (!IsWindow(window_)) return true;  // gone: the caller tells
    if (silent_++ == 0) firstSilent_ = message;
    return silent_ < kGiveUpAfter;
  }
  // The private and registered ranges carry no pointer the system would copy, so both parameters
  // are the canary's address, and the messages go without waiting for each answer: a plain message
  // sent after every thousand waits until the window has taken them all.
  bool Queue(UINT message) {
    SendNotifyMessageW(window_, message, static_cast<WPARAM>(canary_), static_cast<LPARAM>(canary_));
    if ((message & 0x3FF) != 0x3FF) return true;
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kDrainMs, &answer) || !IsWindow(window_)) {
      return true;
    }
    firstSilent_ = message;
    return false;
  }
  bool SendAll(UINT message) {
    if (message >= WM_USER) return Queue(message);
    // Where wParam sizes what the system copies across, a huge size fails in the system's own copying,
    // here or (under Wine) in the receiving process before any window procedure runs.
    const bool counts = message == WM_GETTEXT || message == EM_SETTABSTOPS || message == LB_GETSELITEMS ||
                        message == LB_SETTABSTOPS || message == WM_ASKCBFORMATNAME;
    for (WPARAM w : {WPARAM{0}, WPARAM{1}, static_cast<WPARAM>(canary_), ~WPARAM{0}}) {
      if (!Send(message, counts ? w & 0xFF : w)) return false;
    }
    return true;
  }

  // The first message of the last run without an answer.
  UINT firstSilent() const { return firstSilent_; }

 private:
  HWND window_;
  uintptr_t canary_;
  int silent_ = 0;
  UINT firstSilent_ = 0;
};

int Run(HWND window, uintptr_t canary, bool closing, UINT last) {
  void* mirror =
      VirtualAlloc(reinterpret_cast<void*>(canary), kFloodCanarySize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (mirror != reinterpret_cast<void*>(canary)) return 3;
  auto* words = static_cast<uintptr_t*>(mirror);
  for (size_t i = 0; i < kFloodCanarySize / sizeof(uintptr_t); ++i) words[i] = canary;

  Flood flood(window, canary);
  if (closing) {
    for (WPARAM command : kSystemCommands) {
      if (!flood.Send(WM_SYSCOMMAND, command)) return kFloodStuck + static_cast<int>(flood.firstSilent());
    }
    for (UINT message : kClosing) {
      if (message != WM_SYSCOMMAND && !flood.SendAll(message))
        return kFloodStuck + static_cast<int>(flood.firstSilent());
    }
    return kFloodDone;
  }
  // Where the system lets another process set them, these must change nothing either.
  SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(canary));
  SetWindowLongPtrW(window, DWLP_USER, static_cast<LONG_PTR>(canary));
  for (UINT message : kStarting) {
    if (!flood.SendAll(message)) return kFloodStuck + static_cast<int>(flood.firstSilent());
  }
  for (UINT message = 0; message <= last; ++message) {
    if (!IsOneOf(message, kClosing) && !IsOneOf(message, kStarting) && !flood.SendAll(message))
      return kFloodStuck + static_cast<int>(flood.firstSilent());
  }
  return IsWindow(window) ? kFloodDone : 4;
}

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN64
  return 2;
#endif
  // The mode word may be the first of the command line or follow the program name.
  int first = 0;
  while (first < argc && std::strcmp(argv[first], "flood") != 0) ++first;
  if (argc - first < 3) return 2;
  const auto window = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(argv[first + 1], nullptr, 16)));
  const auto canary = static_cast<uintptr_t>(std::strtoull(argv[first + 2], nullptr, 16));
  const char* part = argc - first > 3 ? argv[first + 3] : "";
  if (window == nullptr || canary == 0) return 2;
  return Run(window, canary, std::strcmp(part, "closing") == 0,
             std::strcmp(part, "system") == 0 ? WM_USER - 1 : 0xFFFF);
}
