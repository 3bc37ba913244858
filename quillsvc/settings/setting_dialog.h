// The settings dialog of the text service: a modal property sheet over a private copy of the settings
// record with the pages "Tab", "Dictionary", "Appearance", "General", "Learning", "Programs" and "About".
// Pages write their sections back to the shared block on OK or Apply; after the sheet closes the loader
// is told what was written.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "quillsvc/settings/about_page.h"
#include "quillsvc/settings/appearance_page.h"
#include "quillsvc/settings/callback_property_page.h"
#include "quillsvc/settings/dict_page.h"
#include "quillsvc/settings/general_page.h"
#include "quillsvc/settings/learning_page.h"
#include "quillsvc/settings/programs_page.h"
#include "quillsvc/settings/settings_session.h"
#include "quillsvc/settings/tab_page.h"
#include "winui/property_sheet_impl.h"

namespace quillet {

inline constexpr std::u16string_view kSettingsCaption = u"Tarnwick Quillet Options";

class CSettingDialog : public winui::CPropertySheetImpl, public ICallbackPropertyPage {
 public:
  CSettingDialog() = default;
  ~CSettingDialog();

  // Shows the sheet modally under `parent` (the active window when null) and returns when it closed.
  // `starter` makes sure the loader runs; without one the loader next to this module is started.
  void Run(HWND parent, const settings::SettingsSession::LoaderStarter& starter = nullptr);

  int CommitSection(int section, int commit, void* reserved) override;

 private:
  settings::SettingsSession session_;
  std::unique_ptr<CSheetPage> tabPage_;
  std::unique_ptr<CDictPage> dictPage_;
  std::unique_ptr<CAppearancePage> appearancePage_;
  std::unique_ptr<CGeneralPage> generalPage_;
  std::unique_ptr<CLearningPage> learningPage_;
  std::unique_ptr<CProgramsPage> programsPage_;
  std::unique_ptr<CAboutPage> aboutPage_;
};

}  // namespace quillet
