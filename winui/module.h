// The module that holds this code, and text and message-box helpers for our windows.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace quillet::winui {

// The module this code is linked into (the DLL when it is in one, not the program that loaded it):
// where our dialog templates and window classes are found.
inline HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

// Text of a window or dialog item, and setting it, in the portable text type.
std::u16string WindowText(HWND window);
void SetText(HWND window, std::u16string_view text);

// A message box with the product's caption "Quillet"; `style` gives the icon and buttons.
int ShowMessage(HWND owner, std::u16string_view text, UINT style);

}  // namespace quillet::winui
