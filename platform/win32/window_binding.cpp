#include "platform/win32/window_binding.h"

namespace quillet::platform::win32 {

// Every binding of the process in one list under one lock: a process has a handful of windows, and a
// slim lock needs no construction, so windows of static objects and late messages find it intact.
class BindingTable {
 public:
  class Lock {
   public:
    Lock() { AcquireSRWLockExclusive(&lock_); }
    ~Lock() { ReleaseSRWLockExclusive(&lock_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
  };

  static void Link(WindowBinding* binding) {
    const Lock lock;
    binding->next_ = head_;
    head_ = binding;
  }
  static void Unlink(WindowBinding* binding) {
    const Lock lock;
    for (WindowBinding** at = &head_; *at != nullptr; at = &(*at)->next_) {
      if (*at == binding) {
        *at = binding->next_;
        return;
      }
    }
  }
  static void Expect(WindowBinding* binding, DWORD thread) {
    const Lock lock;
    binding->expectingThread_ = thread;
    binding->expectOrder_ = ++order_;
  }
  static void* Find(HWND window, const void* kind) {
    const DWORD thread = GetCurrentThreadId();
    const Lock lock;
    WindowBinding* expecting = nullptr;
    for (WindowBinding* b = head_; b != nullptr; b = b->next_) {
      if (b->kind_ != kind) continue;
      if (b->window_ == window) return b->owner_;
      if (b->window_ == nullptr && b->expectingThread_ == thread &&
          (expecting == nullptr || b->expectOrder_ > expecting->expectOrder_)) {
        expecting = b;
      }
    }
    // Window procedures run on their window's thread; the check keeps it so for any caller.
    if (expecting == nullptr || GetWindowThreadProcessId(window, nullptr) != thread) return nullptr;
    expecting->window_ = window;
    expecting->expectingThread_ = 0;
    return expecting->owner_;
  }
  static HWND Window(const WindowBinding* binding) {
    const Lock lock;
    return binding->window_;
  }
  static void Release(WindowBinding* binding) {
    const Lock lock;
    binding->window_ = nullptr;
  }
  static void Unexpect(WindowBinding* binding) {
    const Lock lock;
    binding->expectingThread_ = 0;
  }

 private:
  static SRWLOCK lock_;
  static WindowBinding* head_;
  static uint64_t order_;
};

SRWLOCK BindingTable::lock_ = SRWLOCK_INIT;
WindowBinding* BindingTable::head_ = nullptr;
uint64_t BindingTable::order_ = 0;

WindowBinding::WindowBinding(void* owner, const void* kind) : owner_(owner), kind_(kind) { BindingTable::Link(this); }

WindowBinding::~WindowBinding() { BindingTable::Unlink(this); }

void WindowBinding::Expect() { BindingTable::Expect(this, GetCurrentThreadId()); }

void WindowBinding::Unexpect() { BindingTable::Unexpect(this); }

void* WindowBinding::Find(HWND window, const void* kind) {
  return window != nullptr ? BindingTable::Find(window, kind) : nullptr;
}

HWND WindowBinding::window() const { return BindingTable::Window(this); }

void WindowBinding::Release() { BindingTable::Release(this); }

bool WindowBinding::SentByThisThread() {
  return (InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK)) == 0;
}

}  // namespace quillet::platform::win32
