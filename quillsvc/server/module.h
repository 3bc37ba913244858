// The server's part of the module: process attach and detach, the one class factory (made on first
// request, dropped when the module's object count says nothing is alive) and the two exports that
// hand it out and tell whether the DLL may be unloaded.
#pragma once

#include <windows.h>

namespace quillet {

// Process attach: the factory is dropped when nothing of the module is alive.
void AttachModule();

// DllGetClassObject and DllCanUnloadNow.
HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object);
HRESULT CanUnloadNow();

}  // namespace quillet
