// The generator's command lines, shared by the Windows program and the native one.
//
// The argument string "source;destination;delete;notify" converts one word list without any window:
// a = first semicolon, b = first semicolon after a, c = last semicolon; source is the text before a,
// destination the text between a and b, the delete flag the text between b and c, the notify flag the
// text after c. Nothing is trimmed or unquoted; a flag is set when it reads "yes" in any case (A-Z).
// With exactly two semicolons the third field is the notify flag and the delete flag is empty.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "lexforge/builder.h"

namespace quillet::lexforge {

struct ArgumentString {
  std::u16string source;
  std::u16string destination;
  bool deleteSource = false;
  bool notifyLoader = false;
};

// False when the text has fewer than two semicolons.
bool SplitArgumentString(std::u16string_view text, ArgumentString* out);

struct ArgumentStringOutcome {
  enum class Action {
    kNone,       // fewer than two semicolons: nothing done
    kNoSource,   // empty source or destination, or no file at source: nothing done
    kConverted,  // the conversion ran; `result` says how it went
  };
  Action action = Action::kNone;
  Result result = Result::kSuccess;
  BuildReport report;
  bool deleted = false;     // the source was deleted as asked
  bool keptSource = false;  // deletion was asked but the conversion failed, so the list was kept
  bool notified = false;    // the notifier ran
};

// Tells the loader that the dictionaries changed; see NotifyLoader.
using LoaderNotifier = std::function<void()>;

// Runs the argument-string mode: convert, delete the source when asked and the conversion succeeded
// (a failed conversion keeps it: the user must not lose the list and get no dictionary), then notify.
ArgumentStringOutcome RunArgumentString(std::u16string_view text, const LoaderNotifier& notify);

// Sends the loader's reload message with wParam 0 (settings unchanged) and lParam 1 (dictionaries
// changed) and waits, bounded, until it was handled. A missing loader is no error.
void NotifyLoader();

// The lookup subcommand, given all arguments ("lookup" first); returns the exit code.
using LookupRunner = std::function<int(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err)>;

// The native program: `args` are the words after the program name. Subcommands build, export,
// prepare, lookup (when `lookup` is given) and --help; one other argument holding a semicolon is taken
// as an argument string. Failures go to `err` with the result code and its meaning. Returns the exit
// code: 0 success, 1 failure, 2 wrong usage.
int RunCommandLine(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err,
                   const LoaderNotifier& notify, const LookupRunner& lookup = nullptr);

}  // namespace quillet::lexforge
