// The text input processor of quillsvc.dll, as the rest of the DLL sees it: the class factory makes
// one per request (text_service_impl.h has the class).
#pragma once

#include <unknwn.h>
#include <windows.h>

namespace quillet {

// A new text service whose one reference goes to *object. Throws std::bad_alloc when it cannot be
// made.
HRESULT NewTextService(IUnknown** object);

// A host that may start no program of ours, send the loader nothing and write no settings: an app
// container (store apps, browsers' sandboxes) or the logon desktop.
bool RestrictedHost();

}  // namespace quillet
