#include "quillsvc/settings/fn_configure.h"

#include "common/boundary.h"
#include "quillsvc/com/bstr.h"
#include "quillsvc/settings/setting_dialog.h"

namespace quillet {

HRESULT CFnConfigure::GetDisplayName(BSTR* name) { return NewBstr(u"Quillet Settings", name); }

HRESULT CFnConfigure::Show(HWND parent, LANGID, REFGUID) {
  // Whatever happens inside, the caller only learns that the function ran.
  AtBoundary([&] { CSettingDialog().Run(parent); });
  return S_OK;
}

}  // namespace quillet
