// A record that the loader keeps: read from its file at the start, held in its block (where the
// settings sheet and the generator write a changed record under the block's lock), published for text
// services to read, and saved back to the file and published again when a party says that it
// changed, and saved on the way out. The settings record is one; another kept record is one more
// KeptRecord and keeper.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"
#include "ipc/protocol.h"
#include "ipc/shared_block.h"
#include "lexwarden/publication_board.h"
#include "lexwarden/worker_role.h"
#include "platform/kept_file.h"

namespace quillet::warden {

struct KeptRecord {
  BlockNames block;
  PublicationKind publication;
  size_t size;
  std::u16string_view fileName;        // in the per-user folder
  std::vector<uint8_t> (*defaults)();  // what a first run (or a damaged file) starts from
  // Files of the record's size whose bytes it refuses are damaged; null: any bytes are the record.
  bool (*check)(const uint8_t* record, size_t size) = nullptr;
};

// The file that keeps a record of `kind`: a file of another size, or one the kind's check refuses, is
// damaged.
platform::KeptFile KeptRecordFile(const KeptRecord& kind, std::u16string path);

extern const KeptRecord kKeptSettings;
// The options record (common/options_record.h).
extern const KeptRecord kKeptOptions;
// The per-program rules (common/program_rules.h): a first run starts the common terminals closed.
extern const KeptRecord kKeptPrograms;

class RecordKeeper {
 public:
  // `path` is the record's file; empty: nothing is kept between sessions.
  RecordKeeper(const KeptRecord& kind, std::u16string path, PublicationBoard& board);

  // Loads the file, puts the record in a newly created block and publishes it. A block that outlived
  // an earlier loader (a settings sheet still holds it) is kept as it is: what it holds is newer than
  // the file. kSuccess, or the block's failure (kEventFailed, kMappingCreateFailed, kViewFailed, or
  // kWaitFailed for its lock).
  [[nodiscard]] Result Open() REQUIRES(kWorkerRole);
  // Copies the block's record (under its read lock); false when the block is not open or its lock
  // could not be had.
  [[nodiscard]] bool Read(std::vector<uint8_t>* record) REQUIRES(kWorkerRole);
  // Writes the block's record to the file unless the file already holds exactly it, and publishes it
  // when it differs from what is published. kWaitFailed when the block's lock could not be had; the
  // file's failure otherwise (it is published all the same).
  [[nodiscard]] Result Keep() REQUIRES(kWorkerRole);
  // Saves a record that changed since it was last saved, then closes the block. Idempotent; throws
  // nothing (a record that cannot be saved for lack of memory is lost like one that cannot be written).
  void Close() REQUIRES(kWorkerRole);

  // Set by Open() and not changed afterwards.
  platform::KeptOrigin origin() const { return origin_; }
  const std::u16string& asidePath() const { return asidePath_; }

 private:
  Result CreateBlock(bool* existed) REQUIRES(kWorkerRole);
  Result Fill(bool adoptExisting) REQUIRES(kWorkerRole);
  // Publishes `record` for text services unless it is what they read already.
  void Publish(const std::vector<uint8_t>& record) REQUIRES(kWorkerRole);
  [[nodiscard]] Result Save(bool asked, std::vector<uint8_t>* record) REQUIRES(kWorkerRole);

  const KeptRecord& kind_;
  PublicationBoard& board_;
  platform::KeptOrigin origin_ = platform::KeptOrigin::kFirstRun;
  std::u16string asidePath_;
  platform::KeptFile file_ GUARDED_BY(kWorkerRole);
  SharedBlock block_ GUARDED_BY(kWorkerRole);
  std::vector<uint8_t> lastSaved_ GUARDED_BY(kWorkerRole);  // what the file holds (or, on a first run, would)
  bool fileHolds_ GUARDED_BY(kWorkerRole) = false;          // the file exists and holds lastSaved_
  std::vector<uint8_t> published_ GUARDED_BY(kWorkerRole);  // what text services read
};

}  // namespace quillet::warden
