#include "lexforge/learn_command.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "common/learn_progress.h"
#include "common/learned_store.h"
#include "common/utf16.h"
#include "ipc/loader_link.h"
#include "ipc/protocol.h"
#include "lookup/learn_file_client.h"
#include "lookup/text_file_learning.h"
#include "platform/kept_file.h"

namespace quillet::lexforge {
namespace {

constexpr char kLearnUsage[] = "usage: lexforge learn FILE... [--history FILE]\n";
// A loader that has not taken a request up by then never will (an older one drops it).
constexpr auto kTakeUpTimeout = std::chrono::seconds(10);

int Failed(std::ostream& err, const std::string& what, Result r) {
  err << "lexforge learn: " << what << " (result " << ToInt(r) << ")\n";
  return ToInt(r);
}

// One line per file; true when it was learned.
bool Report(std::ostream& out, std::ostream& err, const std::u16string& file, LearnFileResult result, uint32_t words,
            uint32_t sentences, uint32_t osError) {
  if (result == LearnFileResult::kLearned) {
    out << ToUtf8(file) << ": learned " << words << " words, " << sentences << " sentences\n";
    return true;
  }
  err << "lexforge learn: " << ToUtf8(file) << ": " << LearnFileResultText(result);
  if (osError != 0) err << " (system error " << osError << ")";
  err << "\n";
  return false;
}

std::u16string FullPath(const std::u16string& file) {
  std::error_code ignored;
  const std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(file), ignored);
  return full.empty() ? file : full.u16string();
}

int LearnIntoHistory(const std::vector<std::u16string>& files, const std::u16string& history, std::ostream& out,
                     std::ostream& err) {
  LearnedStore store;
  platform::KeptFile kept(history, kMaxLearnedFileSize, &IsLearnedStore);
  const platform::KeptContent content = kept.Load();
  if (content.origin == platform::KeptOrigin::kUnreadable) {
    return Failed(err, "cannot read '" + ToUtf8(history) + "'", Result::kFileReadFailed);
  }
  if (content.origin == platform::KeptOrigin::kDamaged) {
    err << "lexforge learn: '" << ToUtf8(history) << "' is not a learned store; kept as '" << ToUtf8(content.asidePath)
        << "', starting with nothing learned\n";
  }
  if (content.origin == platform::KeptOrigin::kFile) store.Load(content.bytes.data(), content.bytes.size());
  bool all = true;
  for (const std::u16string& file : files) {
    uint32_t words = 0, sentences = 0, os = 0;
    const LearnFileResult r = LearnWholeFile(file, &store, &words, &sentences, &os);
    all = Report(out, err, file, r, words, sentences, os) && all;
  }
  const std::vector<uint8_t> bytes = store.Serialize();
  platform::OsError os = 0;
  if (const Result r = kept.Save(bytes.data(), bytes.size(), &os); r != Result::kSuccess) {
    return Failed(err, "cannot write '" + ToUtf8(history) + "'", r);
  }
  return all ? 0 : 1;
}

// Waits for the loader to finish the request; false with *progress untouched when it never took it up.
bool Await(LearnFileClient& client, uint32_t ticket, LearnFileProgress* progress) {
  const auto giveUp = std::chrono::steady_clock::now() + kTakeUpTimeout;
  bool seen = false;
  for (;;) {
    LearnFileProgress p;
    if (client.Progress(ticket, &p)) {
      seen = true;
      *progress = p;
      if (p.state == LearnFileState::kDone) return true;
    } else if (!seen && std::chrono::steady_clock::now() > giveUp) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

int LearnThroughLoader(const std::vector<std::u16string>& files, std::ostream& out, std::ostream& err) {
  platform::OsError os = 0;
  if (const Result r = EnsureLoader(&os, kFromSetting); r != Result::kSuccess && r != Result::kFileOpenFailed) {
    return Failed(err, "the loader is not running and could not be started", r);
  }
  if (const Result r = AwaitLoader(kLoaderIdleTimeoutMs, &os); r != Result::kSuccess && r != Result::kFileOpenFailed) {
    return Failed(err, "the loader does not answer", r);
  }
  LearnFileClient client(kToolLockPolicy);
  if (const Result r = client.Open(); r != Result::kSuccess) {
    return Failed(err, "the loader's learning cannot be reached (a loader too old to learn files?)", r);
  }
  bool all = true;
  for (const std::u16string& file : files) {
    uint32_t ticket = 0;
    switch (client.Ask(FullPath(file), &ticket)) {
      case LearnFileClient::Asked::kAsked:
        break;
      case LearnFileClient::Asked::kPathTooLong:
        err << "lexforge learn: " << ToUtf8(file) << ": the path is longer than " << kMaxLearnFilePath
            << " characters\n";
        all = false;
        continue;
      default:
        return Failed(err, "the learning inbox is busy or full; try again", Result::kWaitFailed);
    }
    LearnFileProgress p;
    if (!Await(client, ticket, &p))
      return Failed(err, "the loader did not take the request up", Result::kLoaderNoAnswer);
    all = Report(out, err, file, p.result, p.words, p.sentences, p.osError) && all;
  }
  return all ? 0 : 1;
}

}  // namespace

int RunLearn(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::u16string> files;
  std::u16string history;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == u"--history") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        err << "lexforge learn: --history takes a file\n" << kLearnUsage;
        return 2;
      }
      history = args[++i];
    } else if (args[i].empty() || args[i][0] == u'-') {
      err << "lexforge learn: unexpected '" << ToUtf8(args[i]) << "'\n" << kLearnUsage;
      return 2;
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.empty()) {
    err << kLearnUsage;
    return 2;
  }
  return history.empty() ? LearnThroughLoader(files, out, err) : LearnIntoHistory(files, history, out, err);
}

}  // namespace quillet::lexforge
