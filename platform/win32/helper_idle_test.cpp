// Test helper support: a message loop, whose first wait for input is what WaitForInputIdle sees.
#include <windows.h>

void IdleForever() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
}
