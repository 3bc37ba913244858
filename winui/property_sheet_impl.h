// A modal property sheet over pages of CPropertyPageImpl. The caption is used as given, without words
// of the system's own.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "winui/module.h"

namespace quillet::winui {

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
    header.dwFlags = PSH_NOCONTEXTHELP;
    header.hwndParent = parent;
    header.hInstance = ModuleInstance();
    header.pszCaption = caption_.c_str();
    header.nPages = static_cast<UINT>(handed.size());
    header.nStartPage = 0;
    header.phpage = handed.data();
    return PropertySheetW(&header);
  }

 private:
  std::wstring caption_;
  std::vector<HPROPSHEETPAGE> pages_;
};

}  // namespace quillet::winui
