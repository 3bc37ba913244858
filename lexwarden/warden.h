// The loader's portable core: it creates the settings block and the dictionary block, fills them, and
// answers the two messages of the text services, the settings sheet and the generator.
//
// Threads: Start() runs before the message channel exists. Afterwards one worker thread makes every
// change to the blocks and the settings file, so that a message is always answered quickly (a reload
// may read large files, and a block lock may be held by a slow reader); HandleMessage() waits a
// little for the work it asked for, so that a reload is usually complete when its sender goes on.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/result.h"
#include "common/settings_record.h"
#include "ipc/shared_block.h"
#include "lexwarden/block_image.h"
#include "lexwarden/settings_store.h"
#include "platform/loader_channel.h"
#include "platform/user_data.h"

namespace quillet::warden {

// How long a reload message waits for its work before it is answered anyway (senders give up after
// 5000 ms, and a second sender may be queued behind the first).
constexpr uint32_t kReplyBudgetMs = 2000;
// How often work that could not be done (a lock held too long, a block that could not grow yet) is
// tried again.
constexpr uint32_t kRetryIntervalMs = 1000;
// Dictionary files larger than this are refused.
constexpr size_t kMaxDictionaryFileSize = kMaxBlockSize - kDirectoryAreaSize;

// A dictionary path from the record: relative paths start at the program's folder. Both separators
// are accepted (records may come from Windows); '/' works on every system.
std::u16string ResolveDictionaryPath(const std::u16string& programFolder, std::u16string_view stored);

struct WardenOptions {
  using FileReader = std::function<platform::ReadStatus(const std::u16string& path, size_t maxSize,
                                                        std::vector<uint8_t>* bytes, platform::OsError* error)>;

  std::u16string programFolder;  // where relative dictionary paths start
  std::u16string settingsPath;   // the settings file; empty: nothing is kept between sessions
  // How dictionary files are read; tests put failures in its place.
  FileReader readFile = &platform::ReadWholeFile;
};

class Warden {
 public:
  explicit Warden(WardenOptions options);
  ~Warden();
  Warden(const Warden&) = delete;
  Warden& operator=(const Warden&) = delete;

  // Loads the record, creates both blocks and fills them, then starts the worker. Returns the answer
  // the handshake will give: kSuccess; kFileOpenFailed when a dictionary could not be read or is
  // malformed (an empty placeholder stands in its place); kEventFailed, kMappingCreateFailed,
  // kViewFailed or kWaitFailed when a block could not be made.
  Result Start();
  // Serves one message; see the .cpp for the answers.
  intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // Stops the worker and keeps a record that changed since it was last saved. Idempotent.
  void Stop();

  // Observers (tests, diagnostics).
  Result status() const;
  SettingsOrigin settingsOrigin() const { return settingsOrigin_; }
  const std::u16string& settingsAsidePath() const { return settingsAside_; }
  size_t dictionaryCapacity() const;
  bool growthPending() const;
  uint64_t publications() const;

 private:
  struct Jobs {
    bool save = false;
    bool reload = false;
  };

  Result CreateSettingsBlock(bool* existed);
  Result CreateDictionaryBlock(size_t capacity);
  Result PublishSettings(bool adoptExisting);
  std::vector<PreparedDictionary> LoadDictionaries(const SettingsRecord& record) const;
  Result Publish(std::vector<PreparedDictionary> dictionaries);
  Result PlaceImage(size_t dataSize, DictionaryList* shown, bool* pending);
  Result Regrow(size_t capacity, bool* fresh);
  void RetryGrowth();
  Result SaveFromBlock(bool asked);
  bool ReadRecordFromBlock(SettingsRecord* record);
  void RunJobs(Jobs jobs, Jobs* retry);
  void WorkerLoop();
  void SetStatus(Result status);

  WardenOptions options_;
  SettingsStore store_;
  SettingsOrigin settingsOrigin_ = SettingsOrigin::kFirstRun;
  std::u16string settingsAside_;
  SettingsRecord lastSaved_;  // what the file holds (or, on a first run, would hold)
  bool fileHolds_ = false;    // the file exists and holds lastSaved_

  // Owned by Start() and then by the worker thread alone.
  SharedBlock settings_;
  SharedBlock dictionary_;
  Region inUse_;
  uint16_t generation_ = 0;
  std::vector<PreparedDictionary> published_;  // kept while the block could not grow to hold them

  mutable std::mutex mutex_;
  std::condition_variable wake_;  // work for the worker, or stop
  std::condition_variable done_;  // the worker finished a batch
  Jobs pending_;
  bool stopping_ = false;
  bool retryJobs_ = false;
  bool growthPending_ = false;
  uint64_t requested_ = 0;
  uint64_t completed_ = 0;
  uint64_t publications_ = 0;
  size_t capacity_ = 0;
  Result status_ = Result::kSuccess;
  std::thread worker_;
};

// The loader program: takes the session's presence mark (returns 0 at once when another loader
// serves), fills the blocks, and serves messages until the channel is told to quit. `serving` is
// called with the channel once it exists, so that a platform can wire its own ways to end the run.
int RunLoader(std::u16string_view commandLine, void (*serving)(platform::LoaderChannel*));

}  // namespace quillet::warden
