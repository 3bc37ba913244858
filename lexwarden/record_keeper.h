// A record that the loader keeps: read from its file at the start, published in its shared block for
// every party to read and write, and saved back to the file when a party says that it changed and on
// the way out. The settings record is one; another kept record is one more KeptRecord and keeper.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"
#include "ipc/protocol.h"
#include "ipc/shared_block.h"
#include "lexwarden/record_file.h"
#include "lexwarden/worker_role.h"

namespace quillet::warden {

struct KeptRecord {
  BlockNames block;
  size_t size;
  std::u16string_view fileName;        // in the per-user folder
  std::vector<uint8_t> (*defaults)();  // what a first run (or a damaged file) starts from
  RecordCheck check = nullptr;         // files whose bytes it refuses are damaged
};

extern const KeptRecord kKeptSettings;
// The tabs' options beyond the settings record (common/tab_options.h).
extern const KeptRecord kKeptTabOptions;

class RecordKeeper {
 public:
  // `path` is the record's file; empty: nothing is kept between sessions.
  RecordKeeper(const KeptRecord& kind, std::u16string path);

  // Loads the file and publishes the record in a newly created block. A block that outlived an
  // earlier loader (a text service still holds it) is kept as it is: what it holds is newer than the
  // file. kSuccess, or the block's failure (kEventFailed, kMappingCreateFailed, kViewFailed, or
  // kWaitFailed for its lock).
  [[nodiscard]] Result Open() REQUIRES(kWorkerRole);
  // Copies the block's record (under its read lock); false when the block is not open or its lock
  // could not be had.
  [[nodiscard]] bool Read(std::vector<uint8_t>* record) REQUIRES(kWorkerRole);
  // Writes the block's record to the file unless the file already holds exactly it. kWaitFailed
  // when the block's lock could not be had; the file's failure otherwise.
  [[nodiscard]] Result Keep() REQUIRES(kWorkerRole);
  // Saves a record that changed since it was last saved, then closes the block. Idempotent; throws
  // nothing (a record that cannot be saved for lack of memory is lost like one that cannot be written).
  void Close() REQUIRES(kWorkerRole);

  // Set by Open() and not changed afterwards.
  RecordOrigin origin() const { return origin_; }
  const std::u16string& asidePath() const { return asidePath_; }

 private:
  Result CreateBlock(bool* existed) REQUIRES(kWorkerRole);
  Result Publish(bool adoptExisting) REQUIRES(kWorkerRole);
  [[nodiscard]] Result Save(bool asked) REQUIRES(kWorkerRole);

  const KeptRecord& kind_;
  RecordOrigin origin_ = RecordOrigin::kFirstRun;
  std::u16string asidePath_;
  RecordFile file_ GUARDED_BY(kWorkerRole);
  SharedBlock block_ GUARDED_BY(kWorkerRole);
  std::vector<uint8_t> lastSaved_ GUARDED_BY(kWorkerRole);  // what the file holds (or, on a first run, would)
  bool fileHolds_ GUARDED_BY(kWorkerRole) = false;          // the file exists and holds lastSaved_
};

}  // namespace quillet::warden
