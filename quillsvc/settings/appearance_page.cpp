#include "quillsvc/settings/appearance_page.h"

// after windows.h
#include <commctrl.h>
#include <objidl.h>
// after objidl.h
#include <gdiplus.h>

#include <algorithm>

#include "platform/win32/wide.h"
#include "quillsvc/settings/page_common.h"

namespace quillet {
namespace {

constexpr int kColorButtons[6] = {IDC_APP_FOREGROUND,    IDC_APP_BACKGROUND,    IDC_APP_BORDER,
                                  IDC_APP_HI_FOREGROUND, IDC_APP_HI_BACKGROUND, IDC_APP_HI_BORDER};
constexpr int kAlphaTrackbars[6] = {IDC_APP_FOREGROUND_ALPHA,    IDC_APP_BACKGROUND_ALPHA,    IDC_APP_BORDER_ALPHA,
                                    IDC_APP_HI_FOREGROUND_ALPHA, IDC_APP_HI_BACKGROUND_ALPHA, IDC_APP_HI_BORDER_ALPHA};
constexpr int kPercentLabels[6] = {IDC_APP_FOREGROUND_PERCENT,    IDC_APP_BACKGROUND_PERCENT,
                                   IDC_APP_BORDER_PERCENT,        IDC_APP_HI_FOREGROUND_PERCENT,
                                   IDC_APP_HI_BACKGROUND_PERCENT, IDC_APP_HI_BORDER_PERCENT};

const std::initializer_list<int> kColorsGroup = {IDC_APP_FOREGROUND_LABEL,
                                                 IDC_APP_BACKGROUND_LABEL,
                                                 IDC_APP_BORDER_LABEL,
                                                 IDC_APP_FOREGROUND,
                                                 IDC_APP_BACKGROUND,
                                                 IDC_APP_BORDER,
                                                 IDC_APP_FOREGROUND_ALPHA,
                                                 IDC_APP_BACKGROUND_ALPHA,
                                                 IDC_APP_BORDER_ALPHA,
                                                 IDC_APP_FOREGROUND_PERCENT,
                                                 IDC_APP_BACKGROUND_PERCENT,
                                                 IDC_APP_BORDER_PERCENT,
                                                 IDC_APP_ANGLE,
                                                 IDC_APP_ANGLE_LABEL,
                                                 IDC_APP_ANGLE_VALUE};
const std::initializer_list<int> kAlphaControls = {IDC_APP_FOREGROUND_ALPHA,   IDC_APP_BACKGROUND_ALPHA,
                                                   IDC_APP_BORDER_ALPHA,       IDC_APP_FOREGROUND_PERCENT,
                                                   IDC_APP_BACKGROUND_PERCENT, IDC_APP_BORDER_PERCENT};
const std::initializer_list<int> kAngleControls = {IDC_APP_ANGLE, IDC_APP_ANGLE_LABEL, IDC_APP_ANGLE_VALUE};
const std::initializer_list<int> kHighlightGroup = {
    IDC_APP_HI_FOREGROUND_LABEL,   IDC_APP_HI_BACKGROUND_LABEL,   IDC_APP_HI_BORDER_LABEL,
    IDC_APP_HI_FOREGROUND,         IDC_APP_HI_BACKGROUND,         IDC_APP_HI_BORDER,
    IDC_APP_HI_FOREGROUND_ALPHA,   IDC_APP_HI_BACKGROUND_ALPHA,   IDC_APP_HI_BORDER_ALPHA,
    IDC_APP_HI_FOREGROUND_PERCENT, IDC_APP_HI_BACKGROUND_PERCENT, IDC_APP_HI_BORDER_PERCENT};
const std::initializer_list<int> kFontGroup = {IDC_APP_FONT_LABEL, IDC_APP_FONT, IDC_APP_SIZE_LABEL, IDC_APP_SIZE,
                                               IDC_APP_SIZE_SPIN};

int ButtonIndex(int id) {
  for (int i = 0; i < 6; ++i) {
    if (kColorButtons[i] == id) return i;
  }
  return -1;
}

// The installed font families in the neutral language, sorted, each once. GDI+ must be running.
std::vector<std::u16string> InstalledFamilies() {
  std::vector<std::u16string> names;
  Gdiplus::InstalledFontCollection collection;
  const INT count = collection.GetFamilyCount();
  if (count <= 0) return names;
  std::vector<Gdiplus::FontFamily> families(static_cast<size_t>(count));
  INT found = 0;
  if (collection.GetFamilies(count, families.data(), &found) != Gdiplus::Ok) return names;
  for (INT i = 0; i < found; ++i) {
    WCHAR name[LF_FACESIZE] = {};
    if (families[static_cast<size_t>(i)].GetFamilyName(name, LANG_NEUTRAL) == Gdiplus::Ok && name[0] != 0) {
      names.push_back(platform::win32::FromWide(name));
    }
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

}  // namespace

CAppearancePage::CAppearancePage(std::u16string_view title, SettingsView record, ICallbackPropertyPage* sheet)
    : CPropertyPageImpl(title), model_(record), sheet_(sheet) {}

CAppearancePage::~CAppearancePage() { DestroyPreview(); }

int CAppearancePage::SelectedTab() const { return settings::ComboSelection(Item(IDC_APP_TAB)); }

AppearanceElement CAppearancePage::SelectedElement() const {
  const int e = settings::ComboSelection(Item(IDC_APP_ELEMENT));
  return static_cast<AppearanceElement>(e >= 0 && e < static_cast<int>(kAppearanceElementCount) ? e : 0);
}

void CAppearancePage::Changed(bool changed) {
  if (changed) SetModified();
}

void CAppearancePage::OnInitPage() {
  settings::FillCombo(Item(IDC_APP_ELEMENT), settings::AppearancePageModel::ElementNames());
  settings::SelectCombo(Item(IDC_APP_ELEMENT), 0);
  for (int i = 0; i < 6; ++i) {
    SendDlgItemMessageW(hwnd(), kAlphaTrackbars[i], TBM_SETRANGE, TRUE, MAKELONG(0, 255));
    SendDlgItemMessageW(hwnd(), kAlphaTrackbars[i], TBM_SETBUDDY, FALSE,
                        reinterpret_cast<LPARAM>(Item(kPercentLabels[i])));
  }
  SendDlgItemMessageW(hwnd(), IDC_APP_ANGLE, TBM_SETRANGE, TRUE, MAKELONG(0, settings::kMaxAngle));
  SendDlgItemMessageW(hwnd(), IDC_APP_ANGLE, TBM_SETBUDDY, FALSE, reinterpret_cast<LPARAM>(Item(IDC_APP_ANGLE_VALUE)));
  fonts_ = InstalledFamilies();
  settings::FillCombo(Item(IDC_APP_FONT), fonts_);
  SendDlgItemMessageW(hwnd(), IDC_APP_SIZE_SPIN, UDM_SETRANGE32, 0, settings::kMaxFontSizeChoice);
  settings::FillCombo(Item(IDC_APP_TEMPLATE), settings::AppearancePageModel::TemplateNames());
  for (int i = 0; i < 6; ++i) buttons_[i].Subclass(Item(kColorButtons[i]));
}

void CAppearancePage::OnSetActive() {
  EnableItems(kColorsGroup, false);
  EnableItems(kHighlightGroup, false);
  EnableItems(kFontGroup, false);
  EnableItems({IDC_APP_VISIBLE}, false);
  if (model_.tabCount() == 0) return;
  {
    const settings::Filling filling(filling_);
    settings::FillCombo(Item(IDC_APP_TAB), model_.TabNames());
    settings::SelectCombo(Item(IDC_APP_TAB), static_cast<int>(model_.PreviewTab()));
  }
  EnableItems(kColorsGroup, true);
  LoadControls();
  if (!preview_) CreatePreview();
  if (preview_ && preview_->hwnd() != nullptr) ShowWindow(preview_->hwnd(), SW_SHOWNA);
  RedrawPreview();
}

void CAppearancePage::OnKillActive() {
  model_.RememberPreviewTab(preview_ ? preview_->SelectedTab() : -1);
  DestroyPreview();
}

void CAppearancePage::CreatePreview() {
  RECT area{};
  HWND placeholder = Item(IDC_APP_PREVIEW);
  if (!GetWindowRect(placeholder, &area)) return;
  MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&area), 2);
  const ConstSettingsView record = model_.view();
  auto preview = std::make_unique<CCandListWin>(record.bytes(), kSettingsRecordSize, this);
  if (preview->Create(hwnd(), area, nullptr, WS_CHILD | WS_CLIPSIBLINGS, WS_EX_NOPARENTNOTIFY) == nullptr) return;
  // The placeholder only lends its rectangle; shown, it would paint over the preview.
  ShowWindow(placeholder, SW_HIDE);
  const auto tab = static_cast<int32_t>(model_.PreviewTab());
  // The bounds are 96-DPI pixels; the frame's are the dialog's own.
  const int dpi = static_cast<int>(preview->core().dpi());
  preview->BuildWidgets(tab, MulDiv(area.right - area.left, kBaseDpi, dpi),
                        MulDiv(area.bottom - area.top, kBaseDpi, dpi));
  if (CWidgetMgrTopLayout* manager = preview->core().manager()) {
    if (manager->candidateList) {
      for (int i = 1; i <= 10; ++i) manager->candidateList->Append(u"Sample List Item " + settings::DecimalText(i));
    }
  }
  if (preview->AdditionBarVisible()) preview->SetAdditionText(u"Additional information");
  preview_ = std::move(preview);
}

void CAppearancePage::DestroyPreview() {
  if (!preview_) return;
  preview_->DestroyWindow();
  preview_.reset();
  if (hwnd() != nullptr) ShowWindow(Item(IDC_APP_PREVIEW), SW_SHOWNA);
}

void CAppearancePage::SetAlpha(int trackbar, uint8_t alpha) {
  SendDlgItemMessageW(hwnd(), trackbar, TBM_SETPOS, TRUE, alpha);
  for (int i = 0; i < 6; ++i) {
    if (kAlphaTrackbars[i] == trackbar) SetItemText(kPercentLabels[i], settings::AlphaPercentText(alpha));
  }
}

void CAppearancePage::SetAngle(int angle) {
  SendDlgItemMessageW(hwnd(), IDC_APP_ANGLE, TBM_SETPOS, TRUE, angle);
  SetItemText(IDC_APP_ANGLE_VALUE, settings::AngleText(angle));
}

void CAppearancePage::LoadControls() {
  const int tab = SelectedTab();
  if (tab < 0) return;
  const AppearanceElement element = SelectedElement();
  const std::optional<settings::ElementControls> c = model_.Load(static_cast<size_t>(tab), element, fonts_);
  if (!c) return;
  const settings::Filling filling(filling_);
  ShowItems(kAlphaControls, !c->window);
  ShowItems(kAngleControls, c->window);
  SetItemText(IDC_APP_FOREGROUND_LABEL, c->window ? u"Color1:" : u"Foreground:");
  SetItemText(IDC_APP_BACKGROUND_LABEL, c->window ? u"Color2:" : u"Background:");
  for (int i = 0; i < 3; ++i) {
    buttons_[i].SetColor(c->colors[i].colorRef);
    if (!c->window) SetAlpha(kAlphaTrackbars[i], c->colors[i].alpha);
  }
  if (c->window) SetAngle(c->angle);
  EnableItems(kHighlightGroup, c->highlightEnabled);
  if (c->highlightEnabled) {
    for (int i = 0; i < 3; ++i) {
      buttons_[3 + i].SetColor(c->highlight[i].colorRef);
      SetAlpha(kAlphaTrackbars[3 + i], c->highlight[i].alpha);
    }
  }
  EnableItems(kFontGroup, c->fontEnabled);
  if (c->fontEnabled) {
    settings::SelectCombo(Item(IDC_APP_FONT), c->fontChoice);
    SetItemInt(IDC_APP_SIZE, c->fontSize);
  }
  EnableItems({IDC_APP_VISIBLE}, c->visibleEnabled);
  SetChecked(IDC_APP_VISIBLE, c->visible);
}

void CAppearancePage::StoreControls() {
  const int tab = SelectedTab();
  if (tab < 0) return;
  const AppearanceElement element = SelectedElement();
  settings::ElementControls c;
  c.window = element == AppearanceElement::kWindow;
  for (int i = 0; i < 3; ++i) {
    const auto alpha = static_cast<uint8_t>(SendDlgItemMessageW(hwnd(), kAlphaTrackbars[i], TBM_GETPOS, 0, 0));
    const auto hiAlpha = static_cast<uint8_t>(SendDlgItemMessageW(hwnd(), kAlphaTrackbars[3 + i], TBM_GETPOS, 0, 0));
    c.colors[i] = {buttons_[i].color(), alpha};
    c.highlight[i] = {buttons_[3 + i].color(), hiAlpha};
  }
  c.angle = static_cast<int>(SendDlgItemMessageW(hwnd(), IDC_APP_ANGLE, TBM_GETPOS, 0, 0));
  c.fontChoice = settings::ComboSelection(Item(IDC_APP_FONT));
  c.fontSize = ItemInt(IDC_APP_SIZE);
  c.visible = IsChecked(IDC_APP_VISIBLE);
  Changed(model_.Store(static_cast<size_t>(tab), element, c, fonts_));
}

void CAppearancePage::OnColorAccepted(int id) {
  if (ButtonIndex(id) < 0) return;
  StoreControls();
  RedrawPreview();
}

void CAppearancePage::OnScroll(HWND trackbar) {
  const int id = GetDlgCtrlID(trackbar);
  const int position = static_cast<int>(SendMessageW(trackbar, TBM_GETPOS, 0, 0));
  if (id == IDC_APP_ANGLE) {
    SetItemText(IDC_APP_ANGLE_VALUE, settings::AngleText(position));
  } else {
    for (int i = 0; i < 6; ++i) {
      if (kAlphaTrackbars[i] == id)
        SetItemText(kPercentLabels[i], settings::AlphaPercentText(static_cast<uint8_t>(position)));
    }
  }
  StoreControls();
  RedrawPreview();
}

void CAppearancePage::RedrawPreview() {
  if (preview_) preview_->Repaint();
}

void CAppearancePage::ShowTitle(int tab) {
  if (!preview_) return;
  CWidgetMgrTopLayout* manager = preview_->core().manager();
  if (manager == nullptr || manager->titleBar == nullptr || !manager->titleBar->visible) return;
  manager->titleBar->text = model_.view().tab(static_cast<size_t>(tab)).title();
}

void CAppearancePage::OnTabClicked(int32_t tab) {
  if (tab < 0 || static_cast<size_t>(tab) >= model_.tabCount()) return;
  {
    const settings::Filling filling(filling_);
    settings::SelectCombo(Item(IDC_APP_TAB), tab);
  }
  LoadControls();
  ShowTitle(tab);
  RedrawPreview();
}

void CAppearancePage::OnItemClicked(int32_t row) {
  if (!preview_ || !preview_->AdditionBarVisible()) return;
  preview_->SetAdditionText(u"Additional information " + settings::DecimalText(row + 1));
  RedrawPreview();
}

void CAppearancePage::OnTabScrolled() {
  if (preview_) OnTabClicked(preview_->SelectedTab());
}

void CAppearancePage::OnMouseEvent(uint32_t message, AppearanceElement element, int32_t) {
  if (message != kButtonUpMessage || !preview_ || preview_->SelectedTab() < 0) return;
  {
    const settings::Filling filling(filling_);
    settings::SelectCombo(Item(IDC_APP_ELEMENT), static_cast<int>(element));
  }
  // A click on the tab strip reaches OnTabClicked as well, which loads the controls.
  if (element != AppearanceElement::kTab) LoadControls();
}

bool CAppearancePage::OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_HSCROLL && lParam != 0 && filling_ == 0) {
    OnScroll(reinterpret_cast<HWND>(lParam));
    return false;
  }
  if (message == WM_DRAWITEM) {
    const int i = ButtonIndex(static_cast<int>(wParam));
    if (i < 0) return false;
    buttons_[i].DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return true;
  }
  if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == kColorAccepted) OnColorAccepted(static_cast<int>(header->idFrom));
    return false;
  }
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && ButtonIndex(LOWORD(wParam)) >= 0) {
    buttons_[ButtonIndex(LOWORD(wParam))].OnClicked();
    return true;
  }
  if (message != WM_COMMAND || filling_ != 0) return false;
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  switch (id) {
    case IDC_APP_ELEMENT:
      if (code == CBN_SELCHANGE) LoadControls();
      break;
    case IDC_APP_TAB:
      if (code == CBN_SELCHANGE) {
        if (preview_) preview_->SelectTab(SelectedTab());
        ShowTitle(SelectedTab());
        LoadControls();
        RedrawPreview();
      }
      break;
    case IDC_APP_TEMPLATE:
      if (code == CBN_SELCHANGE && SelectedTab() >= 0) {
        const int k = settings::ComboSelection(Item(IDC_APP_TEMPLATE));
        if (k >= 0) Changed(model_.ApplyTemplate(static_cast<size_t>(SelectedTab()), static_cast<size_t>(k)));
        LoadControls();
        RedrawPreview();
      }
      break;
    case IDC_APP_FONT:
      if (code == CBN_SELCHANGE) {
        StoreControls();
        if (preview_) preview_->ReloadFonts();
      }
      break;
    case IDC_APP_SIZE:
      if (code == EN_CHANGE && settings::HasFont(SelectedElement())) {
        StoreControls();
        if (preview_) preview_->ReloadFonts();
      }
      break;
    case IDC_APP_VISIBLE:
      if (code == BN_CLICKED && SelectedElement() != AppearanceElement::kWindow) {
        if (preview_) preview_->SetElementVisible(static_cast<int32_t>(SelectedElement()), IsChecked(IDC_APP_VISIBLE));
        StoreControls();
        RedrawPreview();
      }
      break;
    default:
      break;
  }
  return false;
}

bool CAppearancePage::OnApply() {
  return settings::ApplyModel(hwnd(), sheet_, settings::SettingsSection::kAppearancePage, model_);
}

}  // namespace quillet
