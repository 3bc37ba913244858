// The host's side of message_flood (platform/win32/message_flood_test_helper.cpp): the canary region that no
// message from another process may write, and a run of the flood against one of our windows.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/utf16.h"
#include "platform/process.h"
#include "platform/test_namespace.h"

namespace quillet::platform::win32 {

inline constexpr size_t kFloodCanarySize = 0x10000;
// message_flood's exit code when it sent everything (not 0, which a program killed by Wine may give).
inline constexpr int kFloodDone = 0x600D;
// message_flood's exit code when the window stopped answering: this plus the first message left
// without an answer.
inline constexpr int kFloodStuck = 0x100000;

// kFloodCanarySize bytes of 0x5A at an address that a freshly started program can map as well
// (message_flood mirrors it, so that the pointers it sends are valid where the system reads them).
class FloodCanary {
 public:
  FloodCanary() {
    // The low half 0 (see message_flood.cpp); a 32-bit build makes no canary.
#ifdef _WIN64
    const uintptr_t tries[] = {0x5A5A00000000, 0x3A5A00000000, 0x1A5A00000000};
#else
    const uintptr_t tries[] = {0};
#endif
    for (uintptr_t at : tries) {
      if (at == 0) continue;
      void* region =
          VirtualAlloc(reinterpret_cast<void*>(at), kFloodCanarySize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
      if (region == nullptr) continue;
      if (region == reinterpret_cast<void*>(at)) {
        region_ = static_cast<uint8_t*>(region);
        break;
      }
      VirtualFree(region, 0, MEM_RELEASE);
    }
    if (region_ != nullptr) std::fill(region_, region_ + kFloodCanarySize, kByte);
  }
  ~FloodCanary() {
    if (region_ != nullptr) VirtualFree(region_, 0, MEM_RELEASE);
  }
  FloodCanary(const FloodCanary&) = delete;
  FloodCanary& operator=(const FloodCanary&) = delete;

  bool valid() const { return region_ != nullptr; }
  uintptr_t address() const { return reinterpret_cast<uintptr_t>(region_); }
  // The bytes that changed.
  size_t Written() const {
    size_t changed = 0;
    for (size_t i = 0; i < kFloodCanarySize; ++i) changed += region_[i] != kByte;
    return changed;
  }

 private:
  static constexpr uint8_t kByte = 0x5A;
  uint8_t* region_ = nullptr;
};

// What a run of message_flood sends: every message number but those that close or destroy a window,
// only the system range of them (below WM_USER, where windows differ most), or the closing ones.
enum class FloodPart { kEverything, kSystemRange, kClosing };

// Runs message_flood (built next to the running test) against `window`. When the window belongs to
// this thread, `answerHere` has it answer while the flood runs. The flood's exit code, or -1 when it
// did not start or did not end within five minutes.
inline int RunFlood(HWND window, const FloodCanary& canary, FloodPart part, bool answerHere) {
  const char* const parts[] = {"", " system", " closing"};
  char arguments[96];
  std::snprintf(arguments, sizeof arguments, "flood %llx %llx%s",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)),
                static_cast<unsigned long long>(canary.address()), parts[static_cast<int>(part)]);
  Process flood;
  testing::KillOnExit guard(flood);
  OsError error = 0;
  if (!flood.Start(testing::SiblingProgram(u"message_flood"), FromUtf8(arguments), &error)) return -1;
  int code = -1;
  const DWORD until = GetTickCount() + 300000;
  while (static_cast<LONG>(until - GetTickCount()) > 0) {
    if (!answerHere) {
      if (flood.WaitForExit(100, &code)) return code;
      continue;
    }
    if (flood.WaitForExit(0, &code)) return code;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return -1;
}

}  // namespace quillet::platform::win32
