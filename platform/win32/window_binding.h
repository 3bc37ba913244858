// Which object each of our windows belongs to. Any process on the desktop can send a window
// WM_NCCREATE, WM_CREATE or WM_INITDIALOG with parameters of its choosing (the system copies a
// CREATESTRUCT across, lpCreateParams as the sender set it), and can set the window's GWLP_USERDATA
// or DWLP_USER. So a window procedure takes its object from this table, which lives in our own
// memory, and never from a message or from the window's longs. A window is bound once, at the first
// message it gets, to the object whose creating call on the window's thread is expecting it.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillet::platform::win32 {

class WindowBinding {
 public:
  // `owner` is what Find gives the window procedure; `kind` is an address unique to that procedure,
  // so that no procedure takes a window that another one's creation expects.
  WindowBinding(void* owner, const void* kind);
  // Forgets the window; destroys nothing.
  ~WindowBinding();
  WindowBinding(const WindowBinding&) = delete;
  WindowBinding& operator=(const WindowBinding&) = delete;

  // From now until Unexpect(), the next window of this kind that gets a message on this thread while
  // bound to nothing becomes this binding's window (when it has none). For creations made inside a
  // call of someone else's, as a property sheet makes its pages.
  void Expect();
  void Unexpect();

  // Expects for the scope of one creating call (CreateWindowExW, DialogBoxParamW).
  class Creating {
   public:
    explicit Creating(WindowBinding& binding) : binding_(binding) { binding_.Expect(); }
    ~Creating() { binding_.Unexpect(); }
    Creating(const Creating&) = delete;
    Creating& operator=(const Creating&) = delete;

   private:
    WindowBinding& binding_;
  };

  // For the window procedure of `kind`: the owner `window` is bound to, binding it first when a
  // creation on this thread expects a window of this kind; null for a window of nobody.
  static void* Find(HWND window, const void* kind);

  // The window bound, null for none. The system may have destroyed it since (IsWindow tells).
  HWND window() const;
  // Forgets the window, once it is destroyed, so that the binding may take a new one.
  void Release();

  // For WM_NCDESTROY: true when this thread sent it, so that it comes from a real destruction; one
  // from another thread may be forged, and the window may well live on.
  static bool SentByThisThread();

 private:
  void* const owner_;
  const void* const kind_;
  // All below are guarded by the table's lock.
  HWND window_ = nullptr;
  DWORD expectingThread_ = 0;
  uint64_t expectOrder_ = 0;  // the latest expectation on a thread wins (nested creations)
  WindowBinding* next_ = nullptr;
  friend class BindingTable;
};

}  // namespace quillet::platform::win32
