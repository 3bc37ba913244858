// The help function the function provider hands out: opens Manual.chm from the module's folder with
// the shell's default action.
#pragma once

#include <windows.h>

#include "quillsvc/com/com_object.h"
#include "quillsvc/com/module.h"
#include "quillsvc/com/tsf_interfaces.h"

namespace quillet {

class CFnHelp final : public ComObject<ModuleCount, ITfFnShowHelp> {
 public:
  HRESULT STDMETHODCALLTYPE GetDisplayName(BSTR* name) override;  // "Quillet Help"
  // S_OK also when there is no manual or it cannot be opened.
  HRESULT STDMETHODCALLTYPE Show(HWND parent) override;
};

}  // namespace quillet
