#include "winui/module.h"

#include <vector>

#include "platform/win32/wide.h"

namespace quillet::winui {

std::u16string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return u"";
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  const int got = GetWindowTextW(window, buffer.data(), length + 1);
  return platform::win32::FromWide(std::wstring_view(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0));
}

void SetText(HWND window, std::u16string_view text) { SetWindowTextW(window, platform::win32::ToWide(text).c_str()); }

int ShowMessage(HWND owner, std::u16string_view text, UINT style) {
  return MessageBoxW(owner, platform::win32::ToWide(text).c_str(), L"Quillet", style);
}

}  // namespace quillet::winui
