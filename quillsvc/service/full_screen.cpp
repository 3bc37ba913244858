#include "quillsvc/service/full_screen.h"

#include <shellapi.h>

#include "winui/gdi.h"

namespace quillet {
namespace {

using QueryNotificationStateFn = decltype(&SHQueryUserNotificationState);

// From Vista on only: looked up, not imported. This module imports shell32, so it is loaded.
QueryNotificationStateFn QueryNotificationState() {
  static const QueryNotificationStateFn query =
      winui::FindProc<QueryNotificationStateFn>(GetModuleHandleW(L"shell32.dll"), "SHQueryUserNotificationState");
  return query;
}

bool ShellSaysFullScreen() {
  const QueryNotificationStateFn query = QueryNotificationState();
  QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
  if (query == nullptr || FAILED(query(&state))) return false;
  return state == QUNS_BUSY || state == QUNS_RUNNING_D3D_FULL_SCREEN || state == QUNS_PRESENTATION_MODE;
}

bool IsDesktopOrShell(HWND window) {
  if (window == GetDesktopWindow() || window == GetShellWindow()) return true;
  // The desktop's icons live in a window of one of these classes behind the shell's.
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return lstrcmpW(name, L"Progman") == 0 || lstrcmpW(name, L"WorkerW") == 0;
}

}  // namespace

bool CoversItsMonitor(HWND window) {
  if (window == nullptr || !IsWindowVisible(window) || IsDesktopOrShell(window)) return false;
  if ((GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) return false;
  RECT rect;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  if (!GetWindowRect(window, &rect) || !GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONULL), &monitor)) {
    return false;
  }
  return rect.left <= monitor.rcMonitor.left && rect.top <= monitor.rcMonitor.top &&
         rect.right >= monitor.rcMonitor.right && rect.bottom >= monitor.rcMonitor.bottom;
}

bool FullScreenForeground() { return ShellSaysFullScreen() || CoversItsMonitor(GetForegroundWindow()); }

}  // namespace quillet
