#include "lexwarden/record_keeper.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/boundary.h"
#include "common/options_record.h"
#include "common/program_rules.h"
#include "common/settings_record.h"
#include "lexwarden/owned_block.h"

namespace quillet::warden {

namespace {

std::vector<uint8_t> DefaultSettings() {
  const SettingsRecord r = MakeDefaultSettings();
  return std::vector<uint8_t>(r.data(), r.data() + r.size());
}

bool AllZero(const uint8_t* p, size_t n) {
  return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

}  // namespace

const KeptRecord kKeptSettings{kSettingsBlockNames, PublicationKind::kSettings, kSettingsRecordSize, u"settings.dat",
                               &DefaultSettings};
const KeptRecord kKeptOptions{kOptionsBlockNames, PublicationKind::kOptions, kOptionsRecordSize,
                              u"options.dat",     &DefaultOptionsRecord,     &ValidOptionsRecord};
const KeptRecord kKeptPrograms{kProgramsBlockNames, PublicationKind::kPrograms, kProgramRulesSize,
                               u"programs.dat",     &DefaultProgramRules,       &ValidProgramRules};

platform::KeptFile KeptRecordFile(const KeptRecord& kind, std::u16string path) {
  return platform::KeptFile(std::move(path), kind.size, [&kind](const uint8_t* bytes, size_t size) {
    return size == kind.size && (kind.check == nullptr || kind.check(bytes, size));
  });
}

RecordKeeper::RecordKeeper(const KeptRecord& kind, std::u16string path, PublicationBoard& board)
    : kind_(kind), board_(board), file_(KeptRecordFile(kind, std::move(path))) {}

Result RecordKeeper::Open() {
  platform::KeptContent loaded = file_.Load();
  origin_ = loaded.origin;
  asidePath_ = std::move(loaded.asidePath);
  fileHolds_ = loaded.origin == platform::KeptOrigin::kFile;
  lastSaved_ = fileHolds_ ? std::move(loaded.bytes) : kind_.defaults();

  bool existed = false;
  Result r = CreateBlock(&existed);
  if (r == Result::kSuccess) r = Fill(existed);
  std::vector<uint8_t> record;
  if (r == Result::kSuccess && Read(&record)) Publish(record);
  return r;
}

Result RecordKeeper::CreateBlock(bool* existed) {
  const Result r = CreateOwnedBlock(block_, kind_.block, kind_.size, existed);
  if (r == Result::kSuccess && block_.viewSize() < kind_.size) return Result::kViewFailed;
  return r;
}

Result RecordKeeper::Fill(bool adoptExisting) {
  BlockWriteLock lock(block_);
  if (!lock) return Result::kWaitFailed;
  // An adopted record stays as it is; Close() or the next Keep() writes it to the file.
  uint8_t* block = block_.view();
  if (!adoptExisting || AllZero(block, kind_.size)) std::memcpy(block, lastSaved_.data(), kind_.size);
  return Result::kSuccess;
}

bool RecordKeeper::Read(std::vector<uint8_t>* record) {
  if (!block_.mapping.mapped()) return false;
  record->resize(kind_.size);  // before the lock: nothing may throw while it is held
  BlockReadLock lock(block_);
  if (!lock) return false;
  std::memcpy(record->data(), block_.view(), kind_.size);
  return true;
}

void RecordKeeper::Publish(const std::vector<uint8_t>& record) {
  if (record == published_) return;
  std::optional<PublicationBoard::Made> made = board_.Make(kind_.publication, record);
  if (!made) return;  // readers keep the one before; the next change tries again
  board_.Name(std::move(*made));
  published_ = record;
}

Result RecordKeeper::Keep() {
  std::vector<uint8_t> record;
  const Result r = Save(true, &record);
  if (!record.empty()) Publish(record);
  return r;
}

Result RecordKeeper::Save(bool asked, std::vector<uint8_t>* read) {
  if (!block_.mapping.mapped()) return Result::kViewFailed;  // never opened: nothing to retry
  std::vector<uint8_t> record;
  if (!Read(&record)) return Result::kWaitFailed;
  *read = record;
  // Asked to keep the record, the file is written unless it already holds exactly this; on the way
  // out only a changed record is (first-run defaults need no file).
  if (record == lastSaved_ && (fileHolds_ || !asked)) return Result::kSuccess;
  platform::OsError error = 0;
  const Result r = file_.Save(record.data(), record.size(), &error);
  if (r == Result::kSuccess) {
    lastSaved_ = std::move(record);
    fileHolds_ = true;
  }
  return r;
}

void RecordKeeper::Close() {
  if (block_.mapping.mapped()) {
    AtBoundary([this] {
      kWorkerRole.Assume();  // run right here, on this thread
      std::vector<uint8_t> record;
      (void)Save(false, &record);  // nowhere to report it on the way out
    });
  }
  CloseBlock(block_, false);
}

}  // namespace quillet::warden
