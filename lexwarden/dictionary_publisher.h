// The dictionaries: reads the dictionary files that the settings record lists and publishes them, in
// the record's order, as one dictionary block (block_image.h), with the ranking data beside each
// dictionary (its .rank file, when it was made for that dictionary) and the sound index of each
// (made here, lookup/sound_key.h) as publications of their own. All are named in the index together,
// so a reader never finds ranking data or sound indexes of another set.
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
#include "lexwarden/block_image.h"
#include "lexwarden/publication_board.h"
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
  // `programFolder`: where relative paths start; `readFile`: how files are read; `board`: where they
  // are published.
  DictionaryPublisher(std::u16string programFolder, FileReader readFile, PublicationBoard& board);

  // Reads the dictionaries of `record` and publishes them. kSuccess; kFileOpenFailed when a
  // dictionary could not be read, is malformed, too large or lies on a network share (an empty
  // placeholder stands in its place, so positions still match the record); kMappingCreateFailed when
  // nothing could be published (readers keep the publication before).
  [[nodiscard]] Result Publish(ConstSettingsView record) REQUIRES(kWorkerRole);

  // Observer, from any thread (tests, diagnostics).
  uint64_t publications() const EXCLUDES(mutex_);

 private:
  std::vector<PreparedDictionary> Load(ConstSettingsView record) const;

  const std::u16string programFolder_;
  const FileReader readFile_;
  PublicationBoard& board_;

  mutable Mutex mutex_;
  uint64_t publications_ GUARDED_BY(mutex_) = 0;
};

}  // namespace quillet::warden
