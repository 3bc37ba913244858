// The module (program or DLL) that holds this code: where our dialog templates are found.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace quillet::winui {

HINSTANCE ModuleInstance();

// Text of a window or dialog item, and setting it, in the portable text type.
std::u16string WindowText(HWND window);
void SetWindowText(HWND window, std::u16string_view text);

// A message box with the product's caption "Quillet"; `style` gives the icon and buttons.
int ShowMessage(HWND owner, std::u16string_view text, UINT style);

}  // namespace quillet::winui
