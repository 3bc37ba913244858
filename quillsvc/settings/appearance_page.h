// The "Appearance" page of the settings sheet: colours, alpha, the window gradient, fonts and
// visibility of every part of the candidate window for each tab, and the built-in templates. A thin
// window over AppearancePageModel. The preview area is a placeholder until the candidate window can
// be embedded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/settings_record.h"
#include "quillsvc/settings/appearance_page_model.h"
#include "quillsvc/settings/callback_property_page.h"
#include "quillsvc/settings/settings_resource.h"
#include "winui/data_exchange.h"
#include "winui/property_page_impl.h"

namespace quillet {

class CAppearancePage : public winui::CPropertyPageImpl<CAppearancePage>,
                        public winui::CWinDataExchange<CAppearancePage> {
 public:
  static constexpr int kTemplateId = IDD_APPEARANCE_PAGE;

  CAppearancePage(std::u16string_view title, SettingsView record, ICallbackPropertyPage* sheet);

  void OnInitPage();
  void OnSetActive();
  void OnKillActive();
  bool OnApply();
  bool OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

  // The colour a colour button holds (0x00BBGGRR); buttons 1000, 1003, 1005, 1008, 1010, 1012.
  COLORREF ButtonColor(int id) const;
  // A colour chosen with button `id`, as its accepted choice.
  void ChooseColor(int id, COLORREF color);

 private:
  int SelectedTab() const;
  AppearanceElement SelectedElement() const;
  void LoadControls();
  void StoreControls();
  void SetAlpha(int trackbar, uint8_t alpha);
  void SetAngle(int angle);
  void OnScroll(HWND trackbar);
  void RedrawPreview();
  void Changed(bool changed);

  settings::AppearancePageModel model_;
  ICallbackPropertyPage* sheet_;
  std::vector<std::u16string> fonts_;  // installed families, sorted, as the font list shows them
  COLORREF colors_[6] = {};            // the six colour buttons in id order
  int filling_ = 0;
};

}  // namespace quillet
