// One page of a property sheet, made from one of our dialog templates. The derived class (T) names its
// template in T::kTemplateId and may provide (each has a default here):
//   void OnInitPage();                 the page window exists
//   void OnSetActive();                the page is about to be shown
//   void OnKillActive();               another page is about to be shown
//   bool OnApply();                    OK or Apply: false keeps the sheet open on this page
//   bool OnPageMessage(UINT, WPARAM, LPARAM, INT_PTR* result);   everything else
// Nothing thrown inside a handler leaves the dialog procedure. The page's window is bound to this
// object when the sheet says it makes it (PSPCB_CREATE), never to what WM_INITDIALOG's lParam points
// at (platform/win32/window_binding.h), and starts once.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <prsht.h>

#include <string>

#include "common/boundary.h"
#include "platform/win32/wide.h"
#include "platform/win32/window_binding.h"
#include "winui/dialog_impl.h"
#include "winui/module.h"

namespace quillet::winui {

template <class T>
class CPropertyPageImpl {
 public:
  explicit CPropertyPageImpl(std::u16string_view title)
      : title_(platform::win32::ToWide(title)), binding_(this, Kind()) {}
  CPropertyPageImpl(const CPropertyPageImpl&) = delete;
  CPropertyPageImpl& operator=(const CPropertyPageImpl&) = delete;

  // A page whose window is made with the sheet's, not when it is first shown, so that it takes part
  // in Apply even when the user never opens it.
  void SetCreatedWithSheet(bool premature) { premature_ = premature; }

  // The page for the sheet; the sheet owns it from then on.
  HPROPSHEETPAGE CreatePage() {
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_USETITLE | PSP_USECALLBACK | (premature_ ? PSP_PREMATURE : 0);
    page.hInstance = ModuleInstance();
    page.pszTemplate = MAKEINTRESOURCEW(T::kTemplateId);
    page.pszTitle = title_.c_str();
    page.pfnDlgProc = &PageProc;
    page.pfnCallback = &PageCallback;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return CreatePropertySheetPageW(&page);
  }

  HWND hwnd() const { return binding_.window(); }
  HWND Item(int id) const { return GetDlgItem(hwnd(), id); }
  HWND Sheet() const { return GetParent(hwnd()); }
  // Enables the sheet's Apply button.
  void SetModified() {
    if (const HWND page = hwnd()) SendMessageW(Sheet(), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
  }

  // Defaults for the derived class.
  void OnInitPage() {}
  void OnSetActive() {}
  void OnKillActive() {}
  bool OnApply() { return true; }
  bool OnPageMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

 private:
  static const void* Kind() {
    static const char kind = 0;
    return &kind;
  }

  // Called by the sheet in this process, with the page as CreatePage described it, right before it
  // makes the page's window.
  static UINT CALLBACK PageCallback(HWND, UINT message, PROPSHEETPAGEW* page) {
    if (message == PSPCB_CREATE && page != nullptr) {
      auto* self = reinterpret_cast<CPropertyPageImpl*>(page->lParam);
      self->binding_.Release();  // a window of an earlier sheet
      self->initialised_ = false;
      self->binding_.Expect();
    }
    return 1;
  }

  static INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = static_cast<CPropertyPageImpl*>(platform::win32::WindowBinding::Find(dialog, Kind()));
    if (self == nullptr) return FALSE;
    if (message == WM_INITDIALOG) {
      if (self->initialised_) return FALSE;
      self->initialised_ = true;
    }
    // A page has no system menu: a system command comes from another program, and a keyboard move or
    // size or a menu loop would hold the sheet's thread until the user ends it.
    if (message == WM_SYSCOMMAND) return SetMessageResult(dialog, 0);
    INT_PTR result = FALSE;
    const bool handled = AtBoundary(false, [&] { return self->Dispatch(message, wParam, lParam, &result); });
    // Only the page's own end frees the binding; another process may send this one too.
    if (message == WM_NCDESTROY && platform::win32::WindowBinding::SentByThisThread()) self->binding_.Release();
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
            *result = SetMessageResult(hwnd(), 0);
            return true;
          case PSN_KILLACTIVE:
            self->OnKillActive();
            *result = SetMessageResult(hwnd(), FALSE);
            return true;
          case PSN_APPLY:
            *result = SetMessageResult(hwnd(), self->OnApply() ? PSNRET_NOERROR : PSNRET_INVALID);
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
  platform::win32::WindowBinding binding_;
  bool initialised_ = false;
};

}  // namespace quillet::winui
