#include "quillsvc/langbar/fn_configure.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <new>

#include "common/boundary.h"
#include "quillsvc/server/instances.h"
#include "quillsvc/settings/setting_dialog.h"

namespace quillet {

STDMETHODIMP CFnConfigure::GetDisplayName(BSTR* name) { return DisplayName(L"Quillet Settings", name); }

STDMETHODIMP CFnConfigure::Show(HWND parent, LANGID, REFGUID) {
  // Whatever happens inside, the caller only learns that the function ran.
  AtBoundary([&] { CSettingDialog().Run(parent); });
  return S_OK;
}

STDMETHODIMP CFnHelp::GetDisplayName(BSTR* name) { return DisplayName(L"Quillet Help", name); }

STDMETHODIMP CFnHelp::Show(HWND parent) {
  const wchar_t* folder = ModuleFolder();
  if (folder == nullptr || folder[0] == L'\0') return S_OK;
  wchar_t manual[MAX_PATH] = {};
  if (PathCombineW(manual, folder, L"Manual.chm") == nullptr) return S_OK;
  ShellExecuteW(parent, nullptr, manual, nullptr, nullptr, SW_SHOWNORMAL);
  return S_OK;
}

HRESULT NewFnConfigure(IUnknown** object) {
  *object = new (std::nothrow) CFnConfigure();
  return *object != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT NewFnShowHelp(IUnknown** object) {
  *object = new (std::nothrow) CFnHelp();
  return *object != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace quillet
