#include "quillsvc/settings/about_page.h"

#include <shellapi.h>

namespace quillet {
namespace {

HFONT MakeFont(int pixels, int weight, bool underline) {
  return CreateFontW(-pixels, 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Microsoft Sans Serif");
}

bool IsLink(int id) { return id == IDC_ABOUT_WEB_LINK || id == IDC_ABOUT_SUPPORT_LINK; }

}  // namespace

void CAboutPage::OnInitPage() {
  productFont_.Reset(MakeFont(60, FW_BOLD, false));
  versionFont_.Reset(MakeFont(25, FW_BOLD, false));
  linkFont_.Reset(MakeFont(15, FW_NORMAL, true));
  labelFont_.Reset(MakeFont(15, FW_NORMAL, false));
  SendDlgItemMessageW(hwnd(), IDC_ABOUT_PRODUCT, WM_SETFONT, reinterpret_cast<WPARAM>(productFont_.get()), FALSE);
  SendDlgItemMessageW(hwnd(), IDC_ABOUT_VERSION, WM_SETFONT, reinterpret_cast<WPARAM>(versionFont_.get()), FALSE);
  for (int id : {IDC_ABOUT_WEB_LABEL, IDC_ABOUT_SUPPORT_LABEL}) {
    SendDlgItemMessageW(hwnd(), id, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_.get()), FALSE);
  }
  for (int id : {IDC_ABOUT_WEB_LINK, IDC_ABOUT_SUPPORT_LINK}) {
    SendDlgItemMessageW(hwnd(), id, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.get()), FALSE);
  }
  SetDlgItemTextW(hwnd(), IDC_ABOUT_WEB_LINK, kWebSiteUrl);
  SetDlgItemTextW(hwnd(), IDC_ABOUT_SUPPORT_LINK, kSupportAddress);
}

bool CAboutPage::OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  switch (message) {
    case WM_CTLCOLORSTATIC: {
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      if (id != IDC_ABOUT_PRODUCT && !IsLink(id)) return false;
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, id == IDC_ABOUT_PRODUCT ? RGB(160, 20, 30) : RGB(0, 0, 255));
      SetBkMode(dc, TRANSPARENT);
      // The page's own background shows through (it is white on themed sheets).
      *result = reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
      return true;
    }
    case WM_SETCURSOR:
      if (IsLink(GetDlgCtrlID(reinterpret_cast<HWND>(wParam)))) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        *result = winui::SetMessageResult(hwnd(), TRUE);
        return true;
      }
      return false;
    case WM_COMMAND:
      if (HIWORD(wParam) == STN_CLICKED && IsLink(LOWORD(wParam))) {
        const std::wstring target = LOWORD(wParam) == IDC_ABOUT_WEB_LINK ? std::wstring(kWebSiteUrl)
                                                                         : L"mailto:" + std::wstring(kSupportAddress);
        ShellExecuteW(hwnd(), nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return true;
      }
      return false;
    default:
      return false;
  }
}

}  // namespace quillet
