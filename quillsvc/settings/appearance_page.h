// The "Appearance" page of the settings sheet: colours, alpha, the window gradient, fonts and
// visibility of every part of the candidate window for each tab, and the built-in templates. A thin
// window over AppearancePageModel, with a real candidate window as a live preview that draws from
// the sheet's private record and redraws on every edit.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/settings_record.h"
#include "quillsvc/candwin/cand_list_win.h"
#include "quillsvc/candwin/widget_mouse_callback.h"
#include "quillsvc/settings/appearance_page_model.h"
#include "quillsvc/settings/callback_property_page.h"
#include "quillsvc/settings/color_button.h"
#include "quillsvc/settings/settings_resource.h"
#include "winui/data_exchange.h"
#include "winui/property_page_impl.h"

namespace quillet {

class CAppearancePage : public winui::CPropertyPageImpl<CAppearancePage>,
                        public winui::CWinDataExchange<CAppearancePage>,
                        public IWidgetMouseEventCallback {
 public:
  static constexpr int kTemplateId = IDD_APPEARANCE_PAGE;

  CAppearancePage(std::u16string_view title, SettingsView record, ICallbackPropertyPage* sheet);
  ~CAppearancePage();

  void OnInitPage();
  void OnSetActive();
  void OnKillActive();
  bool OnApply();
  bool OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

  // The preview's clicks.
  void OnTabClicked(int32_t tab) override;
  void OnItemClicked(int32_t row) override;
  void OnListScrolled(int32_t) override {}
  void OnTabScrolled() override;
  void OnMouseEvent(uint32_t message, AppearanceElement element, int32_t index) override;

 private:
  int SelectedTab() const;
  AppearanceElement SelectedElement() const;
  void LoadControls();
  void StoreControls();
  void SetAlpha(int trackbar, uint8_t alpha);
  void SetAngle(int angle);
  void OnScroll(HWND trackbar);
  void RedrawPreview();
  void CreatePreview();
  void DestroyPreview();
  void ShowTitle(int tab);
  void OnColorAccepted(int id);
  void Changed(bool changed);

  settings::AppearancePageModel model_;
  ICallbackPropertyPage* sheet_;
  std::vector<std::u16string> fonts_;  // installed families, sorted, as the font list shows them
  CColorButton buttons_[6];            // Colors and Highlight Colors, in id order
  std::unique_ptr<CCandListWin> preview_;
  int filling_ = 0;
};

}  // namespace quillet
