// The system's open and save file dialogs, explorer style, with one filter.
#pragma once

#include <windows.h>
// after windows.h
#include <commdlg.h>

#include <string>
#include <string_view>
#include <vector>

namespace quillet::winui {

class CFileDialog {
 public:
  // `open`: an open-file dialog, else a save-file dialog. `flags` are added to OFN_EXPLORER (for
  // example OFN_HIDEREADONLY, OFN_OVERWRITEPROMPT, OFN_ENABLESIZING). The filter is one entry: its
  // name ("Text Files(*.txt)") and pattern ("*.txt"). `defaultExtension` without the dot, may be empty.
  // `bufferChars` bounds the chosen path, terminator included.
  CFileDialog(bool open, std::u16string_view filterName, std::u16string_view filterPattern,
              std::u16string_view defaultExtension, DWORD flags, size_t bufferChars);

  // IDOK with path() set, or IDCANCEL (also when the dialog failed or the path did not fit).
  INT_PTR DoModal(HWND owner);
  std::u16string path() const { return path_; }

 private:
  bool open_;
  std::wstring filter_;
  std::wstring defaultExtension_;
  DWORD flags_;
  std::vector<wchar_t> buffer_;
  std::u16string path_;
};

}  // namespace quillet::winui
