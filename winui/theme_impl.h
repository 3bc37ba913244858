// Visual-styles drawing for a window of ours, used only when the styles library is present and a
// theme is active: the library is loaded at run time, so a system without it draws the classic way.
#pragma once

#include <windows.h>
// after windows.h
#include <uxtheme.h>

#include "winui/gdi.h"

namespace quillet::winui {

// The functions of the styles library we call; all null when it is missing.
class ThemeLibrary {
 public:
  ThemeLibrary();
  ThemeLibrary(const ThemeLibrary&) = delete;
  ThemeLibrary& operator=(const ThemeLibrary&) = delete;

  bool available() const { return open_ != nullptr; }
  // True when the application is drawn with visual styles right now.
  bool Active() const;
  HTHEME Open(HWND window, const wchar_t* classes) const;
  void Close(HTHEME theme) const;
  HRESULT DrawBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect, const RECT* clip) const;
  HRESULT ContentRect(HTHEME theme, HDC dc, int part, int state, const RECT* bounds, RECT* content) const;

 private:
  using OpenFn = HTHEME(WINAPI*)(HWND, LPCWSTR);
  using CloseFn = HRESULT(WINAPI*)(HTHEME);
  using DrawFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*);
  using ContentFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, RECT*);
  using BoolFn = BOOL(WINAPI*)();

  UniqueModule module_;
  OpenFn open_ = nullptr;
  CloseFn close_ = nullptr;
  DrawFn draw_ = nullptr;
  ContentFn content_ = nullptr;
  BoolFn appThemed_ = nullptr;
  BoolFn themeActive_ = nullptr;
};

// The derived class (T) calls OpenThemeData once its window exists and OnThemeChanged on
// WM_THEMECHANGED; the theme is closed with the object.
template <class T>
class CThemeImpl {
 public:
  explicit CThemeImpl(const wchar_t* classes) : classes_(classes) {}
  ~CThemeImpl() { CloseThemeData(); }
  CThemeImpl(const CThemeImpl&) = delete;
  CThemeImpl& operator=(const CThemeImpl&) = delete;

  bool OpenThemeData(HWND window) {
    CloseThemeData();
    if (library_.Active()) theme_ = library_.Open(window, classes_);
    return theme_ != nullptr;
  }
  void CloseThemeData() {
    if (theme_ != nullptr) library_.Close(theme_);
    theme_ = nullptr;
  }
  void OnThemeChanged(HWND window) { OpenThemeData(window); }
  bool IsThemeNull() const { return theme_ == nullptr; }

  HRESULT DrawThemeBackground(HDC dc, int part, int state, const RECT& rect, const RECT* clip = nullptr) const {
    return theme_ != nullptr ? library_.DrawBackground(theme_, dc, part, state, &rect, clip) : E_FAIL;
  }
  // The part of `bounds` inside the themed frame; `bounds` itself without a theme.
  RECT ThemeContentRect(HDC dc, int part, int state, const RECT& bounds) const {
    RECT content = bounds;
    if (theme_ != nullptr && FAILED(library_.ContentRect(theme_, dc, part, state, &bounds, &content))) content = bounds;
    return content;
  }

 private:
  ThemeLibrary library_;
  const wchar_t* classes_;
  HTHEME theme_ = nullptr;
};

}  // namespace quillet::winui
