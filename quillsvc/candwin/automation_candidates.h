// The UI Automation face of the candidate window (see accessible_candidates.h): a fragment root for
// the window (a list with the automation id of input-method candidate lists) whose fragments are the
// rows and the tabs in view. uiautomationcore.dll is loaded at run time: where it is missing, the
// window answers through MSAA only.
//
// UI Automation calls the providers on its own threads; AccessibleLink takes each call to the
// window's thread. An item belongs to the rows it was made for: once they changed (the next letter),
// or the window went, it answers UIA_E_ELEMENTNOTAVAILABLE.
#pragma once

#include <windows.h>

#include <memory>
#include <string_view>

#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/tsf_interfaces.h"

namespace quillet {

class AccessibleLink;

class AutomationRoot {
 public:
  AutomationRoot() = default;
  ~AutomationRoot();
  AutomationRoot(const AutomationRoot&) = delete;
  AutomationRoot& operator=(const AutomationRoot&) = delete;

  // WM_GETOBJECT for UiaRootObjectId: true (with `result`) where the system has UI Automation. The
  // root is made on the first request, over `link`.
  bool OnGetObject(const std::shared_ptr<AccessibleLink>& link, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Events, raised only once a client asked for the root and while clients listen.
  void OnShown(bool shown);
  void OnRowsChanged();
  void OnSelected(int row);
  // The highlighted row's text, for screen readers to say (Windows 10 1709 and later; the newest
  // replaces any not yet said).
  void Announce(std::u16string_view text);
  // WM_DESTROY, after the link was disconnected: the system lets go of what it holds for the window.
  void OnDestroy(HWND window);

 private:
  ComPtr<IRawElementProviderSimple> root_;
};

}  // namespace quillet
