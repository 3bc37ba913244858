// The Windows generator. With an argument string (source;destination;delete;notify) it converts silently
// and exits with 0 whatever happened. A command line without a semicolon that starts with one of the
// subcommands (build, export, prepare, lookup, --help) runs it as the native program does, writing to
// the standard streams; any other text does nothing. Without arguments it shows the generator's dialog.
#include <windows.h>
// after windows.h
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <iostream>

#include "common/boundary.h"
#include "lexforge/command_line.h"
#include "lexforge/convertor_dialog.h"
#include "lexforge/lookup_command.h"
#include "platform/win32/wide.h"

namespace {

bool IsSubcommand(const std::u16string& word) {
  return word == u"build" || word == u"export" || word == u"prepare" || word == u"lookup" || word == u"order" || word == u"--help" ||
         word == u"-h";
}

// A GUI program gets no console of its own: write to the starter's console unless the streams were
// redirected, and keep line ends and UTF-8 bytes exactly as the native program writes them.
void AttachStandardStreams() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    FILE* ignored = nullptr;
    ignored = freopen("CONOUT$", "w", stdout);
    ignored = freopen("CONOUT$", "w", stderr);
    (void)ignored;
  }
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

int RunSubcommand() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return 0;
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(quillet::platform::win32::FromWide(argv[i]));
  LocalFree(argv);
  if (args.empty() || !IsSubcommand(args[0])) return 0;
  AttachStandardStreams();
  const int code = quillet::RunGeneratorCommand(args, std::cout, std::cerr);
  std::cout.flush();
  std::cerr.flush();
  return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  // Nothing escapes into the system, not even an allocation failure; the argument string's mode ends
  // with 0 whatever happened.
  return quillet::AtBoundary(0, [&] {
    const std::u16string text = quillet::platform::win32::FromWide(commandLine != nullptr ? commandLine : L"");
    if (text.empty()) {
      quillet::lexforge::RunConvertorDialog();
      return 0;
    }
    if (text.find(u';') == std::u16string::npos) return RunSubcommand();
    quillet::lexforge::RunArgumentString(text, quillet::lexforge::NotifyLoader);
    return 0;
  });
}
