// The objects the class factory makes: the seam between the COM server and the text service.
#pragma once

#include <unknwn.h>
#include <windows.h>

namespace quillet {

// Each makes a new object whose one reference goes to *object: E_OUTOFMEMORY when it cannot be
// allocated, CLASS_E_CLASSNOTAVAILABLE while the class is not part of the module.
HRESULT NewTextService(IUnknown** object);  // CQuillsvc
HRESULT NewFnConfigure(IUnknown** object);  // CFnConfigure

// The class factory's creation routine: a configure function object when the request is for
// ITfFnConfigure (the control panel asks the class for it), a text service for anything else.
HRESULT CreateServerObject(REFIID riid, IUnknown** object);

}  // namespace quillet
