#include "quillsvc/settings/setting_dialog.h"

// after windows.h
#include <commctrl.h>
#include <objidl.h>
// after objidl.h
#include <gdiplus.h>

#include "platform/process.h"
#include "quillsvc/settings/page_common.h"
#include "winui/module.h"

namespace quillet {
namespace {

// GDI+ for the time the sheet is open: the appearance page lists font families and draws its preview.
class GdiplusScope {
 public:
  GdiplusScope() {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) token_ = 0;
  }
  ~GdiplusScope() {
    if (token_ != 0) Gdiplus::GdiplusShutdown(token_);
  }
  GdiplusScope(const GdiplusScope&) = delete;
  GdiplusScope& operator=(const GdiplusScope&) = delete;

 private:
  ULONG_PTR token_ = 0;
};

void ShowRunFailure(std::u16string_view text) { winui::ShowMessage(nullptr, text, MB_OK | MB_ICONERROR); }

}  // namespace

CSettingDialog::~CSettingDialog() { session_.Close(); }

void CSettingDialog::Run(HWND parent, const settings::SettingsSession::LoaderStarter& starter) {
  if (std::optional<std::u16string_view> failure = session_.Open(starter)) {
    ShowRunFailure(*failure);
    return;
  }
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS |
                                                      ICC_TAB_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  {
    const GdiplusScope gdiplus;
    SettingsView record = session_.view();
    tabPage_ = std::make_unique<CSheetPage>(u"Tab", record, session_.options(), this);
    dictPage_ = std::make_unique<CDictPage>(u"Dictionary", record, this, platform::ModulePath());
    appearancePage_ = std::make_unique<CAppearancePage>(u"Appearance", record, this);
    generalPage_ = std::make_unique<CGeneralPage>(u"General", session_.options(), this);
    learningPage_ = std::make_unique<CLearningPage>(u"Learning", session_, this);
    programsPage_ = std::make_unique<CProgramsPage>(u"Programs", session_.programs(), this);
    aboutPage_ = std::make_unique<CAboutPage>(u"About");
    // These two take part in every Apply, also when never opened.
    tabPage_->SetCreatedWithSheet(true);
    dictPage_->SetCreatedWithSheet(true);
    AddPage(*tabPage_);
    AddPage(*dictPage_);
    AddPage(*appearancePage_);
    AddPage(*generalPage_);
    AddPage(*learningPage_);
    AddPage(*programsPage_);
    AddPage(*aboutPage_);
    SetTitle(kSettingsCaption);
    DoModal(parent != nullptr ? parent : GetActiveWindow());
    aboutPage_.reset();
    programsPage_.reset();
    learningPage_.reset();
    generalPage_.reset();
    appearancePage_.reset();
    dictPage_.reset();
    tabPage_.reset();
  }
  std::optional<settings::Notice> notice;
  session_.NotifyLoader(&notice);
  if (notice) settings::ShowNotice(nullptr, *notice);
}

int CSettingDialog::CommitSection(int section, int commit, void*) {
  if (commit == 0 || section < 1 || section > static_cast<int>(settings::SettingsSection::kProgramsPage)) return 0;
  return ToInt(session_.CommitSection(static_cast<settings::SettingsSection>(section)));
}

}  // namespace quillet
