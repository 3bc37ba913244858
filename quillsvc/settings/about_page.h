// The "About" page: the product's name and version, and links to the maker's web site and support.
#pragma once

#include <windows.h>

#include <string>

#include "quillsvc/settings/settings_resource.h"
#include "winui/data_exchange.h"
#include "winui/gdi.h"
#include "winui/property_page_impl.h"

namespace quillet {

// Where the links lead.
inline constexpr wchar_t kWebSiteUrl[] = L"https://quillet.tarnwick.example/";
inline constexpr wchar_t kSupportAddress[] = L"support@quillet.tarnwick.example";

class CAboutPage : public winui::CPropertyPageImpl<CAboutPage>, public winui::CWinDataExchange<CAboutPage> {
 public:
  static constexpr int kTemplateId = IDD_ABOUT_PAGE;

  explicit CAboutPage(std::u16string_view title) : CPropertyPageImpl(title) {}

  void OnInitPage();
  bool OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

 private:
  winui::UniqueFont productFont_;
  winui::UniqueFont versionFont_;
  winui::UniqueFont linkFont_;
  winui::UniqueFont labelFont_;
};

}  // namespace quillet
