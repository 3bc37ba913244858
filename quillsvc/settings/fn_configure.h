// The configure function: the system's text services settings ask the class for it and call Show,
// which runs the settings sheet on the caller's thread.
#pragma once

#include <windows.h>

#include "quillsvc/com/com_object.h"
#include "quillsvc/com/module.h"
#include "quillsvc/com/tsf_interfaces.h"

namespace quillet {

class CFnConfigure final : public ComObject<ModuleCount, ITfFnConfigure> {
 public:
  HRESULT STDMETHODCALLTYPE GetDisplayName(BSTR* name) override;  // "Quillet Settings"
  // Runs the sheet over `parent` until it is closed. S_OK whatever the sheet did.
  HRESULT STDMETHODCALLTYPE Show(HWND parent, LANGID language, REFGUID profile) override;
};

}  // namespace quillet
