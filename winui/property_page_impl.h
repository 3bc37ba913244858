// One page of a property sheet, made from one of our dialog templates. The derived class (T) names its
// template in T::kTemplateId and may provide (each has a default here):
//   void OnInitPage();                 the page window exists
//   void OnSetActive();                the page is about to be shown
//   void OnKillActive();               another page is about to be shown
//   bool OnApply();                    OK or Apply: false keeps the sheet open on this page
//   bool OnPageMessage(UINT, WPARAM, LPARAM, INT_PTR* result);   everything else
// Nothing thrown inside a handler leaves the dialog procedure.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <prsht.h>

#include <string>

#include "common/boundary.h"
#include "platform/win32/wide.h"
#include "winui/dialog_impl.h"
#include "winui/module.h"

namespace quillet::winui {

template <class T>
class CPropertyPageImpl {
 public:
  explicit CPropertyPageImpl(std::u16string_view title) : title_(platform::win32::ToWide(title)) {}
  CPropertyPageImpl(const CPropertyPageImpl&) = delete;
  CPropertyPageImpl& operator=(const CPropertyPageImpl&) = delete;

  // A page whose window is made with the sheet's, not when it is first shown, so that it takes part
  // in Apply even when the user never opens it.
  void SetCreatedWithSheet(bool premature) { premature_ = premature; }

  // The page for the sheet; the sheet owns it from then on.
  HPROPSHEETPAGE CreatePage() {
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_USETITLE | (premature_ ? PSP_PREMATURE : 0);
    page.hInstance = ModuleInstance();
    page.pszTemplate = MAKEINTRESOURCEW(T::kTemplateId);
    page.pszTitle = title_.c_str();
    page.pfnDlgProc = &PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return CreatePropertySheetPageW(&page);
  }

  HWND hwnd() const { return hwnd_; }
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  HWND Sheet() const { return GetParent(hwnd_); }
  // Enables the sheet's Apply button.
  void SetModified() {
    if (hwnd_ != nullptr) SendMessageW(Sheet(), PSM_CHANGED, reinterpret_cast<WPARAM>(hwnd_), 0);
  }

  // Defaults for the derived class.
  void OnInitPage() {}
  void OnSetActive() {}
  void OnKillActive() {}
  bool OnApply() { return true; }
  bool OnPageMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

 private:
  static INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
      const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, page->lParam);
      reinterpret_cast<CPropertyPageImpl*>(page->lParam)->hwnd_ = dialog;
    }
    auto* self = reinterpret_cast<CPropertyPageImpl*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    INT_PTR result = FALSE;
    const bool handled = AtBoundary(false, [&] { return self->Dispatch(message, wParam, lParam, &result); });
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(dialog, DWLP_USER, 0);
      self->hwnd_ = nullptr;
    }
    return handled ? result : FALSE;
  }

  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    T* self = static_cast<T*>(this);
    if (message == WM_INITDIALOG) {
      self->OnInitPage();
      *result = TRUE;
      return true;
    }
    if (message == WM_NOTIFY) {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == Sheet()) {
        switch (header->code) {
          case PSN_SETACTIVE:
            self->OnSetActive();
            *result = SetMessageResult(hwnd_, 0);
            return true;
          case PSN_KILLACTIVE:
            self->OnKillActive();
            *result = SetMessageResult(hwnd_, FALSE);
            return true;
          case PSN_APPLY:
            *result = SetMessageResult(hwnd_, self->OnApply() ? PSNRET_NOERROR : PSNRET_INVALID);
            return true;
          default:
            break;
        }
      }
    }
    return self->OnPageMessage(message, wParam, lParam, result);
  }

  std::wstring title_;
  bool premature_ = false;
  HWND hwnd_ = nullptr;
};

}  // namespace quillet::winui
