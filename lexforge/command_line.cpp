#include "lexforge/command_line.h"

#include "common/utf16.h"
#include "ipc/loader_link.h"
#include "lexforge/export.h"
#include "lexforge/order_command.h"
#include "lexforge/prepare.h"
#include "lexforge/rank_builder.h"
#include "lexforge/trie_model.h"
#include "platform/file.h"

namespace quillet::lexforge {

namespace {

bool IsYes(std::u16string_view flag) {
  if (flag.size() != 3) return false;
  return FoldLower(flag[0]) == u'y' && FoldLower(flag[1]) == u'e' && FoldLower(flag[2]) == u's';
}

constexpr char kUsage[] =
    "usage: lexforge build WORDLIST DICT     word list (UTF-16LE with BOM) to dictionary\n"
    "       lexforge export DICT WORDLIST    dictionary back to a word list\n"
    "       lexforge prepare PLAIN WORDLIST  plain UTF-8 words, one a line, to a sorted word list\n"
    "       lexforge lookup ...              what the input method offers for a prefix\n"
    "       lexforge rank DICT MODEL [--case TEXT]\n"
    "                                        ranking data DICT.rank from an ARPA language model;\n"
    "                                        TEXT (UTF-8) tells which spelling of a word is usual\n"
    "       lexforge arpa BINARY ARPA        a binary trie language model to ARPA text\n"
    "       lexforge order [--tab N] dictionary|frequent|learning\n"
    "                                        a tab's candidate order, set through the loader\n"
    "       lexforge learn FILE... [--history FILE]\n"
    "                                        learn text files as if written, through the loader\n"
    "                                        or into a history file\n"
    "       lexforge \"SOURCE;DEST;DELETE;NOTIFY\"\n"
    "                                        build DEST.dict from SOURCE; DELETE=yes deletes SOURCE\n"
    "                                        after success; NOTIFY=yes tells the loader to reload\n"
    "       lexforge --help\n"
    "The dictionary is named like DICT with the extension .dict.\n";

std::string Utf8(const std::u16string& s) { return ToUtf8(s); }

// What was being done to the file when a call failed, by the result it gave.
const char* Verb(Result r) {
  switch (r) {
    case Result::kFileOpenFailed:
      return "open";
    case Result::kFileReadFailed:
      return "read";
    case Result::kFileWriteFailed:
      return "write";
    case Result::kFileSizeFailed:
      return "get the size of";
    case Result::kMappingCreateFailed:
    case Result::kViewFailed:
      return "map";
    default:
      return nullptr;
  }
}

// "lexforge: build failed: cannot open 'words.txt': No such file or directory (result 10)"
void ReportFailure(std::ostream& err, const char* what, Result r, platform::OsError os,
                   const std::u16string& path = {}) {
  err << "lexforge: " << what << " failed: ";
  const char* verb = Verb(r);
  if (verb != nullptr && !path.empty()) {
    err << "cannot " << verb << " '" << Utf8(path) << "': ";
    if (os != 0) {
      err << platform::ErrorText(os);
    } else {
      err << ResultMessage(r);
    }
  } else {
    if (!path.empty()) err << "'" << Utf8(path) << "': ";
    err << ResultMessage(r);
    if (os != 0) err << ": " << platform::ErrorText(os);
  }
  err << " (result " << ToInt(r) << ")\n";
  if (r == Result::kNoByteOrderMark) {
    err << "lexforge: a plain UTF-8 list of words must be made into a word list first: lexforge prepare " << Utf8(path)
        << " WORDLIST\n";
  }
}

void ReportWarnings(std::ostream& err, const BuildReport& report) {
  if (report.unsortedKeys > 0) {
    err << "lexforge: warning: " << report.unsortedKeys
        << " entries are below the key before them and cannot all be found; first at line " << report.firstUnsortedLine
        << " (the word list must be sorted by key)\n";
  }
  if (report.uppercaseKeys > 0) {
    err << "lexforge: warning: " << report.uppercaseKeys
        << " keys hold uppercase letters A-Z and can never be found; first at line " << report.firstUppercaseLine
        << " (put capitalised forms in the display and commit fields)\n";
  }
}

int Build(const std::u16string& source, const std::u16string& destination, std::ostream& out, std::ostream& err) {
  BuildReport report;
  const Result r = ConvertTextToDictionary(destination, source, &report);
  if (r != Result::kSuccess) {
    ReportFailure(err, "build", r, report.osError, report.failedPath);
    return 1;
  }
  ReportWarnings(err, report);
  out << Utf8(ReplaceExtension(destination, u".dict")) << ": " << report.entries << " entries, " << report.nodes
      << " index nodes";
  if (report.skippedLines > 0) out << ", " << report.skippedLines << " lines skipped (empty key or overlong field)";
  out << "\n";
  return 0;
}

int Export(const std::u16string& source, const std::u16string& destination, std::ostream& out, std::ostream& err) {
  platform::OsError os = 0;
  std::u16string failed;
  const Result r = ConvertDictionaryToText(destination, source, &os, &failed);
  if (r != Result::kSuccess) {
    ReportFailure(err, "export", r, os, failed);
    return 1;
  }
  out << Utf8(destination) << ": written\n";
  return 0;
}

int Prepare(const std::u16string& source, const std::u16string& destination, std::ostream& out, std::ostream& err) {
  PrepareReport report;
  const Result r = PrepareWordList(destination, source, &report);
  if (r != Result::kSuccess) {
    ReportFailure(err, "prepare", r, report.osError, report.failedPath);
    return 1;
  }
  out << Utf8(destination) << ": " << report.entries << " entries from " << report.words << " words";
  if (report.skippedLines > 0) {
    out << ", " << report.skippedLines << " lines skipped (first at line " << report.firstSkippedLine << ")";
  }
  out << "\n";
  return 0;
}

int Arpa(const std::u16string& source, const std::u16string& destination, std::ostream& out, std::ostream& err) {
  ModelReport report;
  const Result r = ConvertTrieModelToArpa(source, destination, &report);
  if (r != Result::kSuccess) {
    ReportFailure(err, "arpa", r, report.osError, report.failedPath);
    if (r == Result::kMalformed) err << "lexforge: not a binary trie language model (or a damaged one)\n";
    return 1;
  }
  out << Utf8(destination) << ": order " << report.order;
  for (int n = 0; n < report.order; ++n) out << ", " << report.counts[n] << " " << (n + 1) << "-grams";
  out << "\n";
  return 0;
}

int Rank(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::u16string> paths;
  std::u16string caseText;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == u"--case" && i + 1 < args.size()) {
      caseText = args[++i];
    } else {
      paths.push_back(args[i]);
    }
  }
  if (paths.size() != 2) {
    err << "lexforge: rank takes a dictionary and a language model\n" << kUsage;
    return 2;
  }
  const std::u16string destination = ReplaceExtension(paths[0], u".rank");
  RankReport report;
  const Result r = BuildRankFile(paths[0], paths[1], caseText, destination, RankOptions{}, &report);
  if (r != Result::kSuccess) {
    ReportFailure(err, "rank", r, report.osError, report.failedPath);
    if (!report.problem.empty()) err << "lexforge: " << report.problem << "\n";
    return 1;
  }
  out << Utf8(destination) << ": " << report.scoredEntries << " of " << report.entries << " entries scored, "
      << report.caseGroups << " words with several spellings, " << report.contexts << " contexts, " << report.followers
      << " followers, " << report.bytes << " bytes\n";
  return 0;
}

}  // namespace

bool SplitArgumentString(std::u16string_view text, ArgumentString* out) {
  const size_t a = text.find(u';');
  if (a == std::u16string_view::npos) return false;
  const size_t b = text.find(u';', a + 1);
  if (b == std::u16string_view::npos) return false;
  const size_t c = text.rfind(u';');
  ArgumentString r;
  r.source = std::u16string(text.substr(0, a));
  r.destination = std::u16string(text.substr(a + 1, b - a - 1));
  r.deleteSource = b < c && IsYes(text.substr(b + 1, c - b - 1));
  r.notifyLoader = IsYes(text.substr(c + 1));
  *out = std::move(r);
  return true;
}

ArgumentStringOutcome RunArgumentString(std::u16string_view text, const LoaderNotifier& notify) {
  ArgumentStringOutcome outcome;
  ArgumentString args;
  if (!SplitArgumentString(text, &args)) return outcome;
  if (args.source.empty() || args.destination.empty() || !platform::FileExists(args.source)) {
    outcome.action = ArgumentStringOutcome::Action::kNoSource;
    return outcome;
  }
  outcome.action = ArgumentStringOutcome::Action::kConverted;
  outcome.result = ConvertTextToDictionary(args.destination, args.source, &outcome.report);
  if (args.deleteSource) {
    if (outcome.result == Result::kSuccess) {
      outcome.deleted = platform::RemoveFile(args.source);
    } else {
      outcome.keptSource = true;
    }
  }
  if (args.notifyLoader && notify) {
    notify();
    outcome.notified = true;
  }
  return outcome;
}

void NotifyLoader() {
  // Whatever the answer, nothing follows from it: a missing loader simply has nothing to reload.
  static_cast<void>(SendToLoader(kLoaderReloadMessage, 0, 1));
}

int RunCommandLine(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err,
                   const LoaderNotifier& notify, const LookupRunner& lookup) {
  if (args.empty()) {
    err << kUsage;
    return 2;
  }
  const std::u16string& command = args[0];
  if (command == u"--help" || command == u"-h" || command == u"help") {
    out << kUsage;
    return 0;
  }
  if (command == u"lookup") {
    if (lookup) return lookup(args, out, err);
    err << "lexforge: lookup is not part of this build\n";
    return 2;
  }
  if (command == u"rank") return Rank(args, out, err);
  if (command == u"order") return RunOrder(args, out, err);
  if (command == u"build" || command == u"export" || command == u"prepare" || command == u"arpa") {
    if (args.size() != 3) {
      err << "lexforge: " << Utf8(command) << " takes two paths\n" << kUsage;
      return 2;
    }
    if (command == u"build") return Build(args[1], args[2], out, err);
    if (command == u"export") return Export(args[1], args[2], out, err);
    if (command == u"arpa") return Arpa(args[1], args[2], out, err);
    return Prepare(args[1], args[2], out, err);
  }
  if (args.size() == 1 && command.find(u';') != std::u16string::npos) {
    const ArgumentStringOutcome outcome = RunArgumentString(command, notify);
    switch (outcome.action) {
      case ArgumentStringOutcome::Action::kNone:
        err << "lexforge: an argument string needs at least two semicolons\n" << kUsage;
        return 2;
      case ArgumentStringOutcome::Action::kNoSource:
        err << "lexforge: nothing done: the source is empty or missing, or the destination is empty\n";
        return 1;
      case ArgumentStringOutcome::Action::kConverted:
        break;
    }
    if (outcome.result != Result::kSuccess) {
      ReportFailure(err, "build", outcome.result, outcome.report.osError, outcome.report.failedPath);
      if (outcome.keptSource) err << "lexforge: the word list was kept because the conversion failed\n";
      return 1;
    }
    ReportWarnings(err, outcome.report);
    return 0;
  }
  err << "lexforge: unknown command '" << Utf8(command) << "'\n" << kUsage;
  return 2;
}

}  // namespace quillet::lexforge
