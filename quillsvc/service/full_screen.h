// Whether the user is in a full-screen program (a game, a presentation), where a lone Shift is the
// program's and does not toggle the input method.
#pragma once

#include <windows.h>

namespace quillet {

// The shell's notification state says so (a full-screen or Direct3D exclusive program, presentation
// mode), or else the foreground window is one that covers its monitor.
bool FullScreenForeground();
// `window` covers the whole of its monitor without a title bar, and is neither the desktop nor the
// shell's (a maximised window with a title bar covers the monitor too when the taskbar hides itself).
bool CoversItsMonitor(HWND window);

}  // namespace quillet
