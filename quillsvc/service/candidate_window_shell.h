// The candidate window as the text service owns it: the controller's CandidateWindow over the real
// window (CCandListWin), plus what only the Windows shell uses (placement by the composition's screen
// extent and by a document window's caret). Destroying the object destroys the window.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "quillsvc/candwin/widget_mouse_callback.h"
#include "quillsvc/service/input_controller.h"

namespace quillet {

struct SharedBlock;

class CandidateWindowShell : public CandidateWindow {
 public:
  virtual ~CandidateWindowShell() = default;

  // A hidden window at (0, 0, 1, 1) with its widgets built for `activeTab` within the text service's
  // size bounds; null when it cannot be made. `settings` is the record in the settings block `lock`;
  // neither is owned, both outlive the window.
  static std::unique_ptr<CandidateWindowShell> Create(SharedBlock* lock, const uint8_t* settings, size_t settingsSize,
                                                      IWidgetMouseEventCallback* callback, int activeTab);

  // The composition's extent in screen pixels; the window places itself below it.
  virtual void SetCompositionExtent(const RECT& extent) = 0;
  // A window whose caret places the candidate window instead of the extent; null for none.
  virtual void SetDocumentWindow(HWND window) = 0;

  // The module's window class goes when the module is unloaded (a DLL's classes outlive it otherwise).
  static void UnregisterWindowClass();
};

}  // namespace quillet
