// The dictionary block: reads the dictionary files that the settings record lists and publishes
// them, in the record's order, while text services may still read an older publication (see
// block_image.h for how the two are kept apart). A block too small for a new set grows once every
// holder of the old mapping has let go; until then what fits is published and the rest stands empty.
//
// The ranking data beside each dictionary (its .rank file, when it was made for that dictionary) goes
// into a mapping of each publication's own (common/ranking_image.h), made and filled before the block
// shows the publication's generation and never written again: readers that still hold an older
// generation keep its mapping alive, so nothing they read changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/mutex.h"
#include "common/result.h"
#include "common/settings_record.h"
#include "ipc/shared_block.h"
#include "lexwarden/block_image.h"
#include "lexwarden/worker_role.h"
#include "platform/user_data.h"

namespace quillet::warden {

// Dictionary files larger than this are refused.
constexpr size_t kMaxDictionaryFileSize = kMaxBlockSize - kDirectoryAreaSize;
// Ranking files larger than this are left out (the default dictionary's is about 16 MB).
constexpr size_t kMaxRankingFileSize = size_t{64} << 20;

// A dictionary path from the record: relative paths start at the program's folder. Both separators
// are accepted (records may come from Windows); '/' works on every system.
std::u16string ResolveDictionaryPath(const std::u16string& programFolder, std::u16string_view stored);

using FileReader = std::function<platform::ReadStatus(const std::u16string& path, size_t maxSize,
                                                      std::vector<uint8_t>* bytes, platform::OsError* error)>;

class DictionaryPublisher {
 public:
  // `programFolder`: where relative paths start; `readFile`: how files are read.
  DictionaryPublisher(std::u16string programFolder, FileReader readFile);

  // Creates the block at the size the dictionaries of `record` need and publishes them. Publishing
  // gives kSuccess; kFileOpenFailed when a dictionary could not be read, is malformed or waits for
  // the block to grow (an empty placeholder stands in its place); otherwise the failure that left
  // the block as it was (kEventFailed, kMappingCreateFailed, kViewFailed, kWaitFailed for its lock).
  [[nodiscard]] Result Open(ConstSettingsView record) REQUIRES(kWorkerRole);
  // Reads the dictionaries of `record` again and publishes them; results as Open's.
  [[nodiscard]] Result Reload(ConstSettingsView record) REQUIRES(kWorkerRole);
  // While a publication waits for the block to grow: grows it when nobody holds the old mapping any
  // more and publishes the whole set (kSuccess or kFileOpenFailed as above); kWaitFailed while it
  // still waits.
  [[nodiscard]] Result RetryGrowth() REQUIRES(kWorkerRole);
  bool waitingForGrowth() const REQUIRES(kWorkerRole) { return !waiting_.empty(); }
  void Close() REQUIRES(kWorkerRole);

  // Observers, from any thread (tests, diagnostics).
  size_t capacity() const EXCLUDES(mutex_);
  bool growthPending() const EXCLUDES(mutex_);
  uint64_t publications() const EXCLUDES(mutex_);

 private:
  std::vector<PreparedDictionary> Load(ConstSettingsView record) const;
  Result Publish(std::vector<PreparedDictionary> dictionaries) REQUIRES(kWorkerRole);
  Result PlaceImage(size_t dataSize, DictionaryList* shown, bool* pending) REQUIRES(kWorkerRole);
  Result Regrow(size_t capacity, bool* fresh) REQUIRES(kWorkerRole);
  // Makes the ranking mapping of the next publication (none when no dictionary has ranking data);
  // moves generation_ on past names that readers of older publications still hold.
  void PrepareRanking(const DictionaryList& dictionaries) REQUIRES(kWorkerRole);
  void Published(bool pending) REQUIRES(kWorkerRole) EXCLUDES(mutex_);
  void NoteCapacity() REQUIRES(kWorkerRole) EXCLUDES(mutex_);

  const std::u16string programFolder_;
  const FileReader readFile_;

  SharedBlock block_ GUARDED_BY(kWorkerRole);
  Region inUse_ GUARDED_BY(kWorkerRole);  // data that readers of the last directory may use
  uint16_t generation_ GUARDED_BY(kWorkerRole) = 0;
  platform::Mapping ranking_ GUARDED_BY(kWorkerRole);      // of the publication shown
  platform::Mapping nextRanking_ GUARDED_BY(kWorkerRole);  // of the one being written
  // The whole last set while the block could not grow to hold it.
  std::vector<PreparedDictionary> waiting_ GUARDED_BY(kWorkerRole);

  mutable Mutex mutex_;
  size_t capacity_ GUARDED_BY(mutex_) = 0;
  bool growthPending_ GUARDED_BY(mutex_) = false;
  uint64_t publications_ GUARDED_BY(mutex_) = 0;
};

}  // namespace quillet::warden
