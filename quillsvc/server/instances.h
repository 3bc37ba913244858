// What the class factory makes: the one place that knows every kind of object the server creates.
#pragma once

#include <unknwn.h>
#include <windows.h>

namespace quillet {

// A configure function object when the request is for ITfFnConfigure (the control panel asks the
// class for it), a text service for anything else; its one reference goes to *object. Throws
// std::bad_alloc when it cannot be made.
HRESULT CreateServerObject(REFIID riid, IUnknown** object);

}  // namespace quillet
