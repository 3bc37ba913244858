#include "quillsvc/com/module.h"

namespace quillet {
namespace {

// Statically initialised: the lock works before process attach has run and after detach (objects
// linked into a test program count themselves too).
SRWLOCK g_lock = SRWLOCK_INIT;
LONG g_refCount = -1;
void (*g_unused)() = nullptr;

}  // namespace

void DllAddRef() { InterlockedIncrement(&g_refCount); }

void DllRelease() {
  if (InterlockedDecrement(&g_refCount) >= 0) return;
  const ModuleLock lock;
  // A reference handed out meanwhile (under this lock) keeps what the handler would drop.
  if (DllRefCount() < 0 && g_unused != nullptr) g_unused();
}

LONG DllRefCount() { return InterlockedCompareExchange(&g_refCount, 0, 0); }

ModuleLock::ModuleLock() { AcquireSRWLockExclusive(&g_lock); }
ModuleLock::~ModuleLock() { ReleaseSRWLockExclusive(&g_lock); }

void SetModuleUnusedHandler(void (*handler)()) { g_unused = handler; }

}  // namespace quillet
