// Our thin window-template layer: a window class per C++ class, registered once per process with the
// class's traits, and a window procedure that routes every message to the object that made the
// window (bound through platform/win32/window_binding.h: never to what a message names). No exception
// leaves the procedure: whatever a handler throws ends there, and the message gets the failure answer
// (a creation fails, anything else is answered 0).
//
//   class CMyWindow : public winui::CWindowImpl<CMyWindow, winui::CWinTraits<WS_POPUP, WS_EX_TOPMOST>> {
//    public:
//     static winui::WindowClassInfo GetWndClassInfo() { return {CS_HREDRAW, COLOR_WINDOW + 1, IDC_ARROW}; }
//     bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT& result);  // true: handled
//   };
#pragma once

#include <windows.h>

#include <cstdio>
#include <mutex>

#include "platform/win32/window_binding.h"
#include "winui/module.h"

namespace quillet::winui {

template <DWORD Style, DWORD ExStyle = 0>
struct CWinTraits {
  static DWORD GetWndStyle(DWORD style) { return style == 0 ? Style : style; }
  static DWORD GetWndExStyle(DWORD exStyle) { return exStyle == 0 ? ExStyle : exStyle; }
};

struct WindowClassInfo {
  UINT style = 0;
  INT_PTR background = 0;  // a system colour index + 1, or 0 for none
  LPCWSTR cursor = IDC_ARROW;
};

template <class T, class TWinTraits = CWinTraits<WS_OVERLAPPEDWINDOW>>
class CWindowImpl {
 public:
  CWindowImpl() : binding_(this, Kind()) {}
  CWindowImpl(const CWindowImpl&) = delete;
  CWindowImpl& operator=(const CWindowImpl&) = delete;
  // A window still there is destroyed without reaching the object, whose derived parts are gone by now.
  ~CWindowImpl() {
    const HWND window = binding_.window();
    binding_.Release();
    if (window != nullptr) ::DestroyWindow(window);
  }

  // Registers the class when needed and creates the window; null when either fails. Style 0 takes
  // the traits' style.
  HWND Create(HWND parent, const RECT& rect, LPCWSTR title = nullptr, DWORD style = 0, DWORD exStyle = 0) {
    if (hwnd() != nullptr || RegisterWindowClass() == 0) return nullptr;
    HWND window = nullptr;
    {
      const platform::win32::WindowBinding::Creating creating(binding_);
      window = ::CreateWindowExW(TWinTraits::GetWndExStyle(exStyle), ClassName(), title, TWinTraits::GetWndStyle(style),
                                 rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                                 ModuleInstance(), nullptr);
    }
    if (window == nullptr || window != hwnd()) {
      // Failed, or made without reaching the procedure: nothing of ours to use.
      binding_.Release();
      if (window != nullptr) ::DestroyWindow(window);
      return nullptr;
    }
    return window;
  }
  BOOL DestroyWindow() {
    const HWND window = binding_.window();
    if (window == nullptr) return FALSE;
    const BOOL destroyed = ::DestroyWindow(window);
    if (destroyed || !::IsWindow(window)) binding_.Release();
    return destroyed;
  }
  // The window, null for none. The system may have destroyed it from outside (an owner going, say)
  // while this thread was answering another thread: IsWindow tells.
  HWND hwnd() const { return binding_.window(); }

  // The class atom, registering it on first use (any thread).
  static ATOM RegisterWindowClass() {
    std::lock_guard<std::mutex> lock(ClassMutex());
    ATOM& atom = Atom();
    if (atom != 0) return atom;
    const WindowClassInfo info = T::GetWndClassInfo();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = info.style;
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = info.cursor != nullptr ? ::LoadCursorW(nullptr, info.cursor) : nullptr;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(info.background);
    wc.lpszClassName = ClassName();
    atom = ::RegisterClassExW(&wc);
    return atom;
  }
  // A DLL's classes outlive it unless it unregisters them when it is unloaded.
  static void UnregisterWindowClass() {
    std::lock_guard<std::mutex> lock(ClassMutex());
    if (Atom() != 0 && ::UnregisterClassW(ClassName(), ModuleInstance())) Atom() = 0;
  }
  // Unique to this class in this module.
  static LPCWSTR ClassName() {
    static const auto name = [] {
      struct Name {
        wchar_t text[64];
      } n{};
      std::swprintf(n.text, 64, L"Quillet.%p.%p", static_cast<void*>(ModuleInstance()),
                    reinterpret_cast<void*>(&WindowProc));
      return n;
    }();
    return name.text;
  }

 private:
  static std::mutex& ClassMutex() {
    static std::mutex m;
    return m;
  }
  static ATOM& Atom() {
    static ATOM atom = 0;
    return atom;
  }

  static const void* Kind() {
    static const char kind = 0;
    return &kind;
  }

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* base = static_cast<CWindowImpl*>(platform::win32::WindowBinding::Find(hwnd, Kind()));
    if (base == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    T* self = static_cast<T*>(base);
    if (message == WM_NCDESTROY) {
      // Only the window's own end frees it for another; another process may send this one too.
      if (platform::win32::WindowBinding::SentByThisThread()) base->binding_.Release();
      return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    try {
      LRESULT result = 0;
      if (self->ProcessWindowMessage(hwnd, message, wParam, lParam, result)) return result;
    } catch (...) {
      // A failed creation is refused; other messages count as handled.
      if (message == WM_NCCREATE) return FALSE;
      if (message == WM_CREATE) return -1;
      return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }

  platform::win32::WindowBinding binding_;
};

}  // namespace quillet::winui
