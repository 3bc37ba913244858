// The candidate window as screen readers read it. Windows asks the window with WM_GETOBJECT and
// marshals what it answers to the asking process, so this is the one way in from outside, and it only
// reads: a list whose items are the rows (named by their text, a corrected spelling saying so after
// it, the highlighted one selected and focused, each with its digit key as shortcut) followed by the
// tabs in view, each with its screen rectangle.
//
// Two faces over the same reading: MSAA (IAccessible, for OBJID_CLIENT) and UI Automation (a
// provider for UiaRootObjectId, with the automation id that input-method candidate lists carry,
// "IME_Candidate_Window", in automation_candidates.*). UI Automation is loaded at run time and left out
// where the system lacks it.
//
// Screen readers call these objects on threads of their choosing; every call reads the window on the
// window's thread (accessible_link.h). The objects may outlive the window (a screen reader holds them
// as long as it likes): the window disconnects them when it goes, and they then answer that the
// element is gone.
#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <oleacc.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "quillsvc/candwin/automation_candidates.h"
#include "quillsvc/candwin/geometry.h"
#include "quillsvc/com/com_ptr.h"

namespace quillet {

class AccessibleLink;

// What the accessibility objects read of the window (implemented by CCandListWin), on its thread.
class AccessibleList {
 public:
  virtual HWND ListWindow() = 0;
  virtual bool ListShown() = 0;
  virtual size_t ItemCount() = 0;  // rows, then tabs in view
  virtual bool IsRow(size_t item) = 0;
  virtual std::u16string ItemName(size_t item) = 0;
  virtual bool ItemSelected(size_t item) = 0;
  // Screen pixels; false for an item not on the screen.
  virtual bool ItemScreenRect(size_t item, RectI* rect) = 0;
  // The item under a screen point; -1 for none, -2 outside the window.
  virtual int ItemAtScreenPoint(int x, int y) = 0;
  virtual int SelectedRow() = 0;  // -1 for none

 protected:
  ~AccessibleList() = default;
};

// The window's accessibility: made on the first request, told of changes, disconnected at the end.
// Everything here runs on the window's thread.
class Accessibility {
 public:
  explicit Accessibility(AccessibleList& list) : list_(list) {}
  ~Accessibility();
  Accessibility(const Accessibility&) = delete;
  Accessibility& operator=(const Accessibility&) = delete;

  // WM_GETOBJECT: true (with `result`) for the requests this window answers.
  bool OnGetObject(WPARAM wParam, LPARAM lParam, LRESULT* result);
  // AccessibleLink::kCallMessage: a call of another thread, by its cookie.
  void OnCallMessage(WPARAM cookie);
  // The list was shown or hidden, its rows changed, or the highlight moved.
  void OnShown(bool shown);
  void OnChanged();
  // WM_DESTROY: every object handed out answers that it is gone from now on.
  void OnDestroy(HWND window);

 private:
  AccessibleList& list_;
  std::shared_ptr<AccessibleLink> link_;  // once asked for
  bool destroyed_ = false;
  ComPtr<IUnknown> msaa_;  // the IAccessible, once asked for
  AutomationRoot automation_;
  int lastSelected_ = -1;
  size_t lastCount_ = 0;
  std::u16string lastAnnounced_;           // the highlighted row's name as screen readers were last told
  std::vector<std::u16string> lastNames_;  // the items' names when the link's generation began
};

}  // namespace quillet
