// The module's count of live COM objects and references (DllAddRef / DllRelease), which every object
// of the DLL holds for its lifetime and which tells DllCanUnloadNow whether the DLL may go.
#pragma once

#include <windows.h>

namespace quillet {

void DllAddRef();
// When the count drops below zero the handler given to SetModuleUnusedHandler runs, under the module
// lock (the server drops its class factory there).
void DllRelease();
// Live references minus one: -1 when nothing of the module is alive.
LONG DllRefCount();

// The module lock, held for a scope: it guards the class factory's creation and deletion.
class ModuleLock {
 public:
  ModuleLock();
  ~ModuleLock();
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;
};

// The handler runs under the module lock when the count drops below zero.
void SetModuleUnusedHandler(void (*handler)());

// The counter of ComObject for the DLL's objects.
struct ModuleCount {
  static void Add() { DllAddRef(); }
  static void Remove() { DllRelease(); }
};

}  // namespace quillet
