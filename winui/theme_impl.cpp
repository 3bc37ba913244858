#include "winui/theme_impl.h"

namespace quillet::winui {

ThemeLibrary::ThemeLibrary() : module_(L"uxtheme.dll") {
  HMODULE m = module_.get();
  open_ = FindProc<OpenFn>(m, "OpenThemeData");
  close_ = FindProc<CloseFn>(m, "CloseThemeData");
  draw_ = FindProc<DrawFn>(m, "DrawThemeBackground");
  content_ = FindProc<ContentFn>(m, "GetThemeBackgroundContentRect");
  appThemed_ = FindProc<BoolFn>(m, "IsAppThemed");
  themeActive_ = FindProc<BoolFn>(m, "IsThemeActive");
  if (!open_ || !close_ || !draw_ || !content_ || !appThemed_ || !themeActive_) open_ = nullptr;
}

bool ThemeLibrary::Active() const { return available() && appThemed_() && themeActive_(); }

HTHEME ThemeLibrary::Open(HWND window, const wchar_t* classes) const {
  return available() ? open_(window, classes) : nullptr;
}

void ThemeLibrary::Close(HTHEME theme) const {
  if (available() && theme != nullptr) close_(theme);
}

HRESULT ThemeLibrary::DrawBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                                     const RECT* clip) const {
  return available() ? draw_(theme, dc, part, state, rect, clip) : E_FAIL;
}

HRESULT ThemeLibrary::ContentRect(HTHEME theme, HDC dc, int part, int state, const RECT* bounds, RECT* content) const {
  return available() ? content_(theme, dc, part, state, bounds, content) : E_FAIL;
}

}  // namespace quillet::winui
