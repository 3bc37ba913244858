#include "lexforge/convertor_dialog.h"

// after windows.h
#include <commctrl.h>

#include <string>

#include "common/result.h"
#include "lexforge/builder.h"
#include "lexforge/export.h"
#include "winui/file_dialog.h"
#include "winui/module.h"

namespace quillet::lexforge {
namespace {

constexpr int kPathChars = 1023;  // what the path fields hold and what is read from them
constexpr size_t kChooserChars = 1024;

constexpr std::u16string_view kTextLabel = u"Text File:";
constexpr std::u16string_view kDictionaryLabel = u"Dictionary File:";
constexpr std::u16string_view kTextFilter = u"Text Files(*.txt)";
constexpr std::u16string_view kTextPattern = u"*.txt";
constexpr std::u16string_view kDictionaryFilter = u"Dictionary Files(*.dict)";
constexpr std::u16string_view kDictionaryPattern = u"*.dict";

// Centres `window` over `over`, keeping its size.
void CentreOver(HWND window, HWND over) {
  RECT outer{};
  RECT self{};
  if (!GetWindowRect(over, &outer) || !GetWindowRect(window, &self)) return;
  const int width = self.right - self.left;
  const int height = self.bottom - self.top;
  const int x = outer.left + ((outer.right - outer.left) - width) / 2;
  const int y = outer.top + ((outer.bottom - outer.top) - height) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void InsertTab(HWND tabs, int index, const wchar_t* text) {
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<wchar_t*>(text);
  SendMessageW(tabs, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

bool CConvertorDialog::OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      *result = TRUE;
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == IDC_CONVERTOR_TABS && header->code == TCN_SELCHANGE) {
        OnTabChanged();
        *result = TRUE;
        return true;
      }
      return false;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return false;
      switch (LOWORD(wParam)) {
        case IDC_UPPER_BROWSE:
          BrowseUpper();
          break;
        case IDC_LOWER_BROWSE:
          BrowseLower();
          break;
        case IDC_TEXT_TO_DICTIONARY:
          Convert(true);
          break;
        case IDC_DICTIONARY_TO_TEXT:
          Convert(false);
          break;
        case IDCANCEL:
          EndDialog(IDCANCEL);
          break;
        default:
          return false;  // "Help" has no action
      }
      *result = TRUE;
      return true;
    default:
      return false;
  }
}

void CConvertorDialog::OnInit() {
  HWND owner = GetWindow(hwnd(), GW_OWNER);
  CentreOver(hwnd(), owner != nullptr ? owner : GetDesktopWindow());
  HWND tabs = Item(IDC_CONVERTOR_TABS);
  InsertTab(tabs, 0, L"Text --> Dictionary");
  InsertTab(tabs, 1, L"Dictionary --> Text");
  SendDlgItemMessageW(hwnd(), IDC_UPPER_PATH, EM_LIMITTEXT, kPathChars, 0);
  SendDlgItemMessageW(hwnd(), IDC_LOWER_PATH, EM_LIMITTEXT, kPathChars, 0);
  EnableWindow(Item(IDC_DICTIONARY_TO_TEXT), FALSE);
}

void CConvertorDialog::OnTabChanged() {
  const int selected = static_cast<int>(SendDlgItemMessageW(hwnd(), IDC_CONVERTOR_TABS, TCM_GETCURSEL, 0, 0));
  if (selected < 0 || selected == tab_) return;
  tab_ = selected;
  const bool toDictionary = tab_ == 0;
  winui::SetText(Item(IDC_UPPER_LABEL), toDictionary ? kTextLabel : kDictionaryLabel);
  winui::SetText(Item(IDC_LOWER_LABEL), toDictionary ? kDictionaryLabel : kTextLabel);
  EnableWindow(Item(IDC_TEXT_TO_DICTIONARY), toDictionary);
  EnableWindow(Item(IDC_DICTIONARY_TO_TEXT), !toDictionary);
  // Each path stays with its kind of file.
  const std::u16string upper = winui::WindowText(Item(IDC_UPPER_PATH));
  const std::u16string lower = winui::WindowText(Item(IDC_LOWER_PATH));
  winui::SetText(Item(IDC_UPPER_PATH), lower);
  winui::SetText(Item(IDC_LOWER_PATH), upper);
}

void CConvertorDialog::BrowseUpper() {
  const bool text = tab_ == 0;
  winui::CFileDialog chooser(true, text ? kTextFilter : kDictionaryFilter, text ? kTextPattern : kDictionaryPattern,
                             u"", OFN_HIDEREADONLY, kChooserChars);
  if (chooser.DoModal(hwnd()) == IDOK) winui::SetText(Item(IDC_UPPER_PATH), chooser.path());
}

void CConvertorDialog::BrowseLower() {
  const bool dictionary = tab_ == 0;
  winui::CFileDialog chooser(false, dictionary ? kDictionaryFilter : kTextFilter,
                             dictionary ? kDictionaryPattern : kTextPattern, dictionary ? u"dict" : u"txt",
                             OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kChooserChars);
  if (chooser.DoModal(hwnd()) == IDOK) winui::SetText(Item(IDC_LOWER_PATH), chooser.path());
}

void CConvertorDialog::Convert(bool toDictionary) {
  const std::u16string source = winui::WindowText(Item(IDC_UPPER_PATH)).substr(0, kPathChars);
  const std::u16string destination = winui::WindowText(Item(IDC_LOWER_PATH)).substr(0, kPathChars);
  const Result r =
      toDictionary ? ConvertTextToDictionary(destination, source) : ConvertDictionaryToText(destination, source);
  winui::ShowMessage(hwnd(), r == Result::kSuccess ? u"Succeed!" : u"Failed!", MB_OK | MB_ICONINFORMATION);
}

void RunConvertorDialog() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  CConvertorDialog dialog;
  dialog.DoModal(nullptr);
}

}  // namespace quillet::lexforge
