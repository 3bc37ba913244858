// Registration of the text service: its COM class under HKEY_CLASSES_ROOT, its language profile with
// the framework, and the keyboard category that makes the framework list it as a keyboard.
#pragma once

#include <windows.h>

namespace quillet {

// The three steps in order, each only after the previous succeeded. S_OK, or E_FAIL (E_OUTOFMEMORY
// when memory ran out) after the full unregistration has removed whatever was written.
HRESULT RegisterServer();
// Removes the profile, both categories and the class keys; errors are ignored.
void UnregisterServer();

// The class key below HKEY_CLASSES_ROOT: "CLSID\{...}".
const wchar_t* ClassKeyName();

}  // namespace quillet
