#include "winui/color_dialog.h"

namespace quillet::winui {

INT_PTR CColorDialog::DoModal(HWND owner) {
  for (COLORREF& c : custom_) c = RGB(255, 255, 255);
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof(cc);
  cc.hwndOwner = owner;
  // "Automatic" (0xFF000000) is no colour the dialog knows: it starts from black then.
  cc.rgbResult = color_ & 0x00FFFFFF;
  cc.lpCustColors = custom_;
  cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
  if (!ChooseColorW(&cc)) return IDCANCEL;
  color_ = cc.rgbResult;
  return IDOK;
}

}  // namespace quillet::winui
