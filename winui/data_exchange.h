// Moving values between a dialog's controls and our data: texts, numbers, check boxes, and the
// enabled and shown states the pages switch in groups. The derived class (T) provides hwnd().
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "winui/module.h"

namespace quillet::winui {

template <class T>
class CWinDataExchange {
 public:
  std::u16string ItemText(int id) const { return WindowText(GetDlgItem(Self(), id)); }
  void SetItemText(int id, std::u16string_view text) const { winui::SetText(GetDlgItem(Self(), id), text); }

  // The number in an item; 0 when the text holds none (an empty field too).
  int ItemInt(int id) const {
    BOOL translated = FALSE;
    const UINT value = GetDlgItemInt(Self(), id, &translated, FALSE);
    return translated ? static_cast<int>(value) : 0;
  }
  void SetItemInt(int id, int value) const { SetDlgItemInt(Self(), id, static_cast<UINT>(value), TRUE); }

  bool IsChecked(int id) const { return IsDlgButtonChecked(Self(), id) == BST_CHECKED; }
  void SetChecked(int id, bool checked) const { CheckDlgButton(Self(), id, checked ? BST_CHECKED : BST_UNCHECKED); }

  void LimitText(int id, int characters) const { SendDlgItemMessageW(Self(), id, EM_LIMITTEXT, characters, 0); }

  void EnableItems(std::initializer_list<int> ids, bool enable) const {
    for (int id : ids) EnableWindow(GetDlgItem(Self(), id), enable ? TRUE : FALSE);
  }
  void ShowItems(std::initializer_list<int> ids, bool show) const {
    for (int id : ids) ShowWindow(GetDlgItem(Self(), id), show ? SW_SHOW : SW_HIDE);
  }

 private:
  HWND Self() const { return static_cast<const T*>(this)->hwnd(); }
};

}  // namespace quillet::winui
