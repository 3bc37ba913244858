// The Windows generator. With an argument string it converts silently and exits with 0 whatever
// happened; without one it will show the conversion dialog.
#include <windows.h>

#include "lexforge/command_line.h"
#include "platform/win32/wide.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  const std::u16string text = quillet::platform::win32::FromWide(commandLine != nullptr ? commandLine : L"");
  if (text.empty()) return 0;
  try {
    quillet::lexforge::RunArgumentString(text, quillet::lexforge::NotifyLoader);
  } catch (...) {
    // Nothing is shown in this mode, not even an allocation failure.
  }
  return 0;
}
