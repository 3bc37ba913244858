// Module-wide state of quillsvc.dll: its handle and folder, the module lock, the count of live
// references held by the server's objects, and the one class factory.
#pragma once

#include <windows.h>

namespace quillet {

// Every COM object of the server counts itself here for its lifetime (creation: DllAddRef,
// destruction: DllRelease). When the count drops below zero the class factory is deleted.
void DllAddRef();
void DllRelease();
// Live references minus one: -1 when nothing of the server is alive.
LONG DllRefCount();

// Set at process attach.
HINSTANCE ModuleHandle();
// The folder of the module file without a trailing separator; empty when it could not be read.
const wchar_t* ModuleFolder();

// Process attach and detach. Attach fails when the module lock cannot be made.
bool AttachModule(HINSTANCE module);
void DetachModule();

// DllGetClassObject and DllCanUnloadNow.
HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object);
HRESULT CanUnloadNow();

}  // namespace quillet
