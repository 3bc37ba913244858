// The configure function: the system's text services settings ask the class for it and call Show,
// which runs the settings sheet on the caller's thread.
#pragma once

#include "quillsvc/langbar/function_object.h"

namespace quillet {

class CFnConfigure final : public CFunctionObject<ITfFnConfigure> {
 public:
  STDMETHODIMP GetDisplayName(BSTR* name) override;  // "Quillet Settings"
  // Runs the sheet over `parent` until it is closed. S_OK whatever the sheet did.
  STDMETHODIMP Show(HWND parent, LANGID language, REFGUID profile) override;
};

// The help function: opens Manual.chm from the module's folder with the shell's default action.
class CFnHelp final : public CFunctionObject<ITfFnShowHelp> {
 public:
  STDMETHODIMP GetDisplayName(BSTR* name) override;  // "Quillet Help"
  // S_OK also when there is no manual or it cannot be opened.
  STDMETHODIMP Show(HWND parent) override;
};

}  // namespace quillet
