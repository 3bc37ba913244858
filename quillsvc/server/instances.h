// The objects the class factory and the function provider make: the seam between the COM server, the
// text service and its function objects.
#pragma once

#include <unknwn.h>
#include <windows.h>

namespace quillet {

// Each makes a new object whose one reference goes to *object, or gives E_OUTOFMEMORY when it cannot
// be allocated.
HRESULT NewTextService(IUnknown** object);  // CQuillsvc
HRESULT NewFnConfigure(IUnknown** object);  // CFnConfigure
HRESULT NewFnShowHelp(IUnknown** object);   // CFnHelp, asked of the text service's function provider

// The class factory's creation routine: a configure function object when the request is for
// ITfFnConfigure (the control panel asks the class for it), a text service for anything else.
HRESULT CreateServerObject(REFIID riid, IUnknown** object);

}  // namespace quillet
