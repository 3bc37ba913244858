#include "winui/file_dialog.h"

#include "platform/win32/wide.h"

namespace quillet::winui {

CFileDialog::CFileDialog(bool open, std::u16string_view filterName, std::u16string_view filterPattern,
                         std::u16string_view defaultExtension, DWORD flags, size_t bufferChars)
    : open_(open),
      defaultExtension_(platform::win32::ToWide(defaultExtension)),
      flags_(flags),
      buffer_(bufferChars > 0 ? bufferChars : 1, L'\0') {
  // Name and pattern, each terminated, and one more terminator after the last entry.
  filter_ = platform::win32::ToWide(filterName);
  filter_.push_back(L'\0');
  filter_ += platform::win32::ToWide(filterPattern);
  filter_.push_back(L'\0');
  filter_.push_back(L'\0');
}

INT_PTR CFileDialog::DoModal(HWND owner) {
  buffer_.assign(buffer_.size(), L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter_.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer_.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer_.size());
  ofn.lpstrDefExt = defaultExtension_.empty() ? nullptr : defaultExtension_.c_str();
  ofn.Flags = OFN_EXPLORER | flags_;
  const BOOL chosen = open_ ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn);
  if (!chosen) return IDCANCEL;
  path_ = platform::win32::FromWide(buffer_.data());
  return IDOK;
}

}  // namespace quillet::winui
