// A dialog run from one of our dialog templates. The derived class (T) names its template in
// T::kTemplateId and handles messages in
//   bool OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);
// returning true when it handled the message (result is then what the dialog procedure returns; use
// SetMessageResult for results that go through DWLP_MSGRESULT). Nothing thrown inside a handler leaves
// the procedure.
#pragma once

#include <windows.h>

#include "common/boundary.h"
#include "winui/module.h"

namespace quillet::winui {

// Gives a notification's result to a dialog; the dialog procedure then returns TRUE.
inline INT_PTR SetMessageResult(HWND dialog, LRESULT value) {
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, value);
  return TRUE;
}

template <class T>
class CDialogImpl {
 public:
  CDialogImpl() = default;
  CDialogImpl(const CDialogImpl&) = delete;
  CDialogImpl& operator=(const CDialogImpl&) = delete;

  // Runs the dialog modally under `parent` (may be null); returns what EndDialog was given, or -1
  // when the dialog could not be made.
  INT_PTR DoModal(HWND parent) {
    return DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(T::kTemplateId), parent, &DialogProc,
                           reinterpret_cast<LPARAM>(this));
  }

  HWND hwnd() const { return hwnd_; }
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  void EndDialog(INT_PTR result) { ::EndDialog(hwnd_, result); }

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      reinterpret_cast<CDialogImpl*>(lParam)->hwnd_ = dialog;
    }
    auto* self = reinterpret_cast<CDialogImpl*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    INT_PTR result = FALSE;
    const bool handled =
        AtBoundary(false, [&] { return static_cast<T*>(self)->OnDialogMessage(message, wParam, lParam, &result); });
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(dialog, DWLP_USER, 0);
      self->hwnd_ = nullptr;
    }
    return handled ? result : FALSE;
  }

  HWND hwnd_ = nullptr;
};

}  // namespace quillet::winui
