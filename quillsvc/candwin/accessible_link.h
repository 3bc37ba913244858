// The one way from the candidate window's accessibility objects (accessible_candidates.h) to the
// window. Screen readers call those objects on threads of their choosing while the window's thread
// refills the rows and destroys the window at every word end. COM brings calls to the window's thread
// only where that thread is a single-threaded apartment: MSAA's object is marshalled there by
// LresultFromObject, and a UI Automation provider that says ProviderOptions_UseComThreading is called
// there; in the multithreaded apartment both are called on any of its threads, and a thread without COM
// has no apartment to bring them to. (Our providers do not say UseComThreading: with it, Wine's UI
// Automation posts calls to the window's thread while that thread waits in a SendMessage to UI
// Automation's own thread, which waits for the call, and the host hangs.)
//
// So every read goes through Call, which runs it on the window's thread whatever the apartment: at
// once when called there, else by a message sent to the window (handled in any wait for a sent
// message, COM's included) that carries only a cookie for the waiting call (OwnerThreadCalls); and
// refuses it once the window went.
#pragma once

#include <windows.h>

#include <cstdint>

#include "quillsvc/candwin/owner_thread_calls.h"
#include "quillsvc/com/com_boundary.h"

namespace quillet {

class AccessibleList;

class AccessibleLink {
 public:
  // The window's message for other threads' calls: wParam a cookie, lParam unused. From another process
  // it runs nothing, or a call that was waiting to run on this thread anyway.
  static constexpr UINT kCallMessage = WM_APP + 0x41;
  // How long a call waits for the window's thread to take it: a thread that waits for this call's
  // caller is held no longer, and a screen reader asks again.
  static constexpr UINT kCallTimeoutMs = 100;

  // Made on the window's thread, for `window`, whose reading `list` is.
  AccessibleLink(AccessibleList& list, HWND window);
  AccessibleLink(const AccessibleLink&) = delete;
  AccessibleLink& operator=(const AccessibleLink&) = delete;

  // Runs `read(list)` (returning an HRESULT) on the window's thread and returns its answer; `gone` once
  // the window went, or when its thread did not take the call in time. Out-parameters written by
  // `read` are the caller's own: it returns only after `read` has finished.
  template <class Read>
  HRESULT Call(Read&& read, HRESULT gone) {
    HRESULT hr = gone;
    auto onWindowThread = [&] {
      if (list_ != nullptr) hr = ComBoundary([&] { return read(*list_); });
    };
    const bool ran =
        calls_.Run(::GetCurrentThreadId() == thread_, onWindowThread, [this](auto cookie) { Send(cookie); });
    return ran ? hr : gone;
  }

  HWND window() const { return window_; }

  // The rest on the window's thread only.
  void OnCallMessage(WPARAM cookie) { calls_.RunDelivered(static_cast<OwnerThreadCalls::Cookie>(cookie)); }
  // The rows changed: UI Automation's items made before stand for rows that are gone.
  void NextGeneration() { ++generation_; }
  uint32_t generation() const { return generation_; }
  // The window goes: nothing is read from now on.
  void Disconnect();

 private:
  void Send(OwnerThreadCalls::Cookie cookie) const;

  AccessibleList* list_;  // null once disconnected
  const HWND window_;
  const DWORD thread_;
  uint32_t generation_ = 0;
  OwnerThreadCalls calls_;
};

}  // namespace quillet
