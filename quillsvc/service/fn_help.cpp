#include "quillsvc/service/fn_help.h"

#include <shellapi.h>

#include "platform/process.h"
#include "platform/win32/wide.h"
#include "quillsvc/com/bstr.h"
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/service/text_service.h"

namespace quillet {

HRESULT CFnHelp::GetDisplayName(BSTR* name) { return NewBstr(u"Quillet Help", name); }

HRESULT CFnHelp::Show(HWND parent) {
  return ComBoundary([&] {
    // No program is started from a sandbox or the logon desktop.
    if (RestrictedHost()) return E_ACCESSDENIED;
    const std::u16string folder = platform::ModuleFolder();
    if (folder.empty()) return S_OK;
    const std::wstring manual = platform::win32::ToWide(platform::JoinPath(folder, u"Manual.chm"));
    ShellExecuteW(parent, nullptr, manual.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return S_OK;
  });
}

}  // namespace quillet
