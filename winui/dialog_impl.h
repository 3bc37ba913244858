// A dialog run from one of our dialog templates. The derived class (T) names its template in
// T::kTemplateId and handles messages in
//   bool OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);
// returning true when it handled the message (result is then what the dialog procedure returns; use
// SetMessageResult for results that go through DWLP_MSGRESULT). Nothing thrown inside a handler leaves
// the procedure. The dialog is bound to the object whose DoModal made it (platform/win32/
// window_binding.h), never to a message's parameters, and starts once: a second WM_INITDIALOG can
// only come from someone else.
#pragma once

#include <windows.h>

#include "common/boundary.h"
#include "platform/win32/window_binding.h"
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
  CDialogImpl() : binding_(this, Kind()) {}
  CDialogImpl(const CDialogImpl&) = delete;
  CDialogImpl& operator=(const CDialogImpl&) = delete;

  // Runs the dialog modally under `parent` (may be null); returns what EndDialog was given, or -1
  // when the dialog could not be made.
  INT_PTR DoModal(HWND parent) {
    if (hwnd() != nullptr) return -1;
    initialised_ = false;
    INT_PTR result = -1;
    {
      const platform::win32::WindowBinding::Creating creating(binding_);
      result = DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(T::kTemplateId), parent, &DialogProc, 0);
    }
    binding_.Release();  // the dialog is gone
    return result;
  }

  HWND hwnd() const { return binding_.window(); }
  HWND Item(int id) const { return GetDlgItem(hwnd(), id); }
  void EndDialog(INT_PTR result) { ::EndDialog(hwnd(), result); }

 private:
  static const void* Kind() {
    static const char kind = 0;
    return &kind;
  }

  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = static_cast<CDialogImpl*>(platform::win32::WindowBinding::Find(dialog, Kind()));
    if (self == nullptr) return FALSE;
    if (message == WM_INITDIALOG) {
      if (self->initialised_) return FALSE;
      self->initialised_ = true;
    }
    INT_PTR result = FALSE;
    const bool handled =
        AtBoundary(false, [&] { return static_cast<T*>(self)->OnDialogMessage(message, wParam, lParam, &result); });
    return handled ? result : FALSE;
  }

  platform::win32::WindowBinding binding_;
  bool initialised_ = false;
};

}  // namespace quillet::winui
