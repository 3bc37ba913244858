// The UI Automation face of the candidate window (see accessible_candidates.h): a fragment root for
// the window (a list with the automation id of input-method candidate lists) whose fragments are the
// rows and the tabs in view. uiautomationcore.dll is loaded at run time: where it is missing, the
// window answers through MSAA only.
#pragma once

#include <windows.h>

#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/tsf_interfaces.h"

namespace quillet {

class AccessibleList;

class AutomationRoot {
 public:
  explicit AutomationRoot(AccessibleList& list) : list_(list) {}
  ~AutomationRoot();
  AutomationRoot(const AutomationRoot&) = delete;
  AutomationRoot& operator=(const AutomationRoot&) = delete;

  // WM_GETOBJECT for UiaRootObjectId: true (with `result`) where the system has UI Automation.
  bool OnGetObject(WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Events, raised only once a client asked for the root and while clients listen.
  void OnShown(bool shown);
  void OnRowsChanged();
  void OnSelected(int row);
  // WM_DESTROY: the system lets go of what it holds for the window.
  void OnDestroy(HWND window);

 private:
  AccessibleList& list_;
  ComPtr<IRawElementProviderSimple> root_;
};

}  // namespace quillet
