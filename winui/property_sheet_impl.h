// A modal property sheet over pages of CPropertyPageImpl. The derived class (T) may provide
//   void OnSheetInitialized();   the sheet window exists (its pages made with it exist too)
// The caption is used as given, without words of the system's own.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "common/boundary.h"
#include "platform/win32/wide.h"
#include "winui/module.h"

namespace quillet::winui {

template <class T>
class CPropertySheetImpl {
 public:
  CPropertySheetImpl() = default;
  CPropertySheetImpl(const CPropertySheetImpl&) = delete;
  CPropertySheetImpl& operator=(const CPropertySheetImpl&) = delete;
  ~CPropertySheetImpl() {
    // Pages never handed to a sheet are still ours.
    for (HPROPSHEETPAGE page : pages_) DestroyPropertySheetPage(page);
  }

  void SetTitle(std::u16string_view caption) { caption_ = platform::win32::ToWide(caption); }

  template <class Page>
  bool AddPage(Page& page) {
    HPROPSHEETPAGE handle = page.CreatePage();
    if (handle == nullptr) return false;
    pages_.push_back(handle);
    return true;
  }

  // Shows the sheet modally on its first page; returns when it is closed (PropertySheet's result).
  INT_PTR DoModal(HWND parent) {
    std::vector<HPROPSHEETPAGE> handed;
    handed.swap(pages_);  // the sheet destroys its pages, also when it fails
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_USECALLBACK | PSH_NOCONTEXTHELP;
    header.hwndParent = parent;
    header.hInstance = ModuleInstance();
    header.pszCaption = caption_.c_str();
    header.nPages = static_cast<UINT>(handed.size());
    header.nStartPage = 0;
    header.phpage = handed.data();
    header.pfnCallback = &SheetCallback;
    Creating() = this;
    const INT_PTR result = PropertySheetW(&header);
    Creating() = nullptr;
    hwnd_ = nullptr;
    return result;
  }

  HWND hwnd() const { return hwnd_; }

  void OnSheetInitialized() {}

 private:
  // PropertySheet's callback carries no pointer of ours; sheets are modal, so one per thread is made
  // at a time.
  static CPropertySheetImpl*& Creating() {
    static thread_local CPropertySheetImpl* creating = nullptr;
    return creating;
  }

  static int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) noexcept {
    if (message != PSCB_INITIALIZED) return 0;
    CPropertySheetImpl* self = Creating();
    if (self == nullptr) return 0;
    self->hwnd_ = sheet;
    return AtBoundary(0, [&] {
      static_cast<T*>(self)->OnSheetInitialized();
      return 0;
    });
  }

  std::wstring caption_;
  std::vector<HPROPSHEETPAGE> pages_;
  HWND hwnd_ = nullptr;
};

}  // namespace quillet::winui
