#include "quillsvc/candwin/accessible_link.h"

namespace quillet {

AccessibleLink::AccessibleLink(AccessibleList& list, HWND window)
    : list_(&list), window_(window), thread_(::GetCurrentThreadId()) {}

void AccessibleLink::Disconnect() {
  calls_.Close();
  list_ = nullptr;
}

void AccessibleLink::Send(OwnerThreadCalls::Cookie cookie) const {
  // A handle that another thread now owns is no longer the window (it went, and its number was reused).
  if (::GetWindowThreadProcessId(window_, nullptr) != thread_) return;
  DWORD_PTR answer = 0;
  ::SendMessageTimeoutW(window_, kCallMessage, cookie, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT,
                        kCallTimeoutMs, &answer);
}

}  // namespace quillet
