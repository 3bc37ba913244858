#include "ipc/shared_block.h"

#include "common/dict_format.h"
#include "common/le.h"
#include "common/learn_inbox.h"
#include "common/settings_record.h"
#include "common/tab_options.h"

namespace quillet {

namespace {

platform::OsError NonZero(platform::OsError e) { return e != 0 ? e : 1; }

// Closes a block on the way out of an open sequence unless it was kept; declared before the lock
// guard, so the lock is given back before the events are closed.
class CloseUnlessKept {
 public:
  explicit CloseUnlessKept(SharedBlock& block) : block_(block) {}
  ~CloseUnlessKept() {
    if (!kept_) CloseBlock(block_, false);
  }
  CloseUnlessKept(const CloseUnlessKept&) = delete;
  CloseUnlessKept& operator=(const CloseUnlessKept&) = delete;
  void Keep() { kept_ = true; }

 private:
  SharedBlock& block_;
  bool kept_ = false;
};

// Steps shared by both blocks: the two events, the read lock, the mapping and its view, then `check`
// on the mapped block while the lock is still held. Any failure, an exception included, releases the
// lock and leaves the block closed.
template <typename Check>
Result OpenBlock(SharedBlock& block, const BlockNames& names, Check check) {
  if (block.view() != nullptr) return Result::kSuccess;
  Result r = CreateBlockEvents(block, names);
  if (r != Result::kSuccess) return r;
  CloseUnlessKept closer(block);
  {
    BlockReadLock lock(block);
    if (!lock) return Result::kWaitFailed;
    platform::OsError error = 0;
    if (!block.mapping.Open(names.mapping, &error)) {
      block.lastError = error;
      return Result::kMappingOpenFailed;
    }
    if (!block.mapping.Map(&error)) {
      block.lastError = error;
      return Result::kViewFailed;
    }
    r = check(block);
  }
  if (r == Result::kSuccess) closer.Keep();
  return r;
}

// View i of the directory, or an empty view when the entry or its tables do not lie inside the block.
DictionaryView DirectoryView(const uint8_t* block, size_t size, size_t i) {
  DictionaryView view;
  const uint64_t at = kDirectoryEntriesOffset + uint64_t{i} * kDirectoryEntrySize;
  if (at + kDirectoryEntrySize > size) return view;
  const DictHeader header = ReadDictHeader(block + at);
  if (!DictionaryView::Make(block, size, header, 0, &view)) return DictionaryView();
  return view;
}

}  // namespace

Result CreateBlockEvents(SharedBlock& block, const BlockNames& names) {
  platform::OsError error = 0;
  bool existed = false;
  if (!block.readEvent.CreateOrOpen(names.readEvent, /*manualReset=*/false, /*initiallySignalled=*/true, &existed,
                                    &error) ||
      !block.writeEvent.CreateOrOpen(names.writeEvent, /*manualReset=*/true, /*initiallySignalled=*/true, &existed,
                                     &error)) {
    block.lastError = block.waitError = error;
    block.readEvent.Close();
    block.writeEvent.Close();
    return Result::kEventFailed;
  }
  return Result::kSuccess;
}

std::vector<DictionaryView> ReadDirectory(const uint8_t* block, size_t size, size_t count) {
  std::vector<DictionaryView> directory;
  directory.reserve(count);
  for (size_t i = 0; i < count; ++i) directory.push_back(DirectoryView(block, size, i));
  return directory;
}

Result OpenDictionaryBlock(DictionaryBlock& block) {
  return OpenBlock(block, kDictionaryBlockNames, [](SharedBlock& b) {
    // A block too small to hold a count holds no dictionary either.
    const uint16_t count = b.viewSize() >= kDirectoryEntriesOffset ? LoadU16(b.view() + 2) : 0;
    if (count == 0) return Result::kNoDictionary;
    b.directory = ReadDirectory(b.view(), b.viewSize(), count);
    static_cast<DictionaryBlock&>(b).generation = LoadU16(b.view());
    return Result::kSuccess;
  });
}

Result OpenSettingsBlock(SharedBlock& block) {
  // Readers of the record rely on all of it being there.
  return OpenBlock(block, kSettingsBlockNames, [](SharedBlock& b) {
    return b.viewSize() < kSettingsRecordSize ? Result::kMalformed : Result::kSuccess;
  });
}

Result OpenTabOptionsBlock(SharedBlock& block) {
  return OpenBlock(block, kTabOptionsBlockNames, [](SharedBlock& b) {
    return b.viewSize() < kTabOptionsRecordSize ? Result::kMalformed : Result::kSuccess;
  });
}

Result OpenLearnInboxBlock(SharedBlock& block) {
  return OpenBlock(block, kLearnInboxBlockNames, [](SharedBlock& b) {
    return b.viewSize() < kLearnInboxSize ? Result::kMalformed : Result::kSuccess;
  });
}

namespace {

std::u16string GenerationName(std::u16string_view prefix, uint16_t generation) {
  static const char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string name(prefix);
  for (int shift = 12; shift >= 0; shift -= 4) name += kHex[(generation >> shift) & 0xF];
  return name;
}

}  // namespace

std::u16string RankingMappingName(uint16_t generation) { return GenerationName(kRankingMappingPrefix, generation); }
std::u16string LearnedMappingName(uint16_t generation) { return GenerationName(kLearnedMappingPrefix, generation); }

bool OpenRankingMapping(const DictionaryBlock& block, platform::Mapping* mapping) {
  platform::OsError error = 0;
  if (block.view() == nullptr || !mapping->Open(RankingMappingName(block.generation), &error, /*readOnly=*/true) ||
      !mapping->Map(&error)) {
    mapping->Close();
    return false;
  }
  return true;
}

uint16_t ReadLearnedGeneration(SharedBlock& inbox) {
  if (inbox.view() == nullptr) return 0;
  const BlockReadLock lock(inbox);
  return lock.held() ? LearnedGeneration(inbox.view(), inbox.viewSize()) : 0;
}

bool OpenLearnedMapping(uint16_t generation, platform::Mapping* mapping) {
  platform::OsError error = 0;
  if (generation == 0 || !mapping->Open(LearnedMappingName(generation), &error, /*readOnly=*/true) ||
      !mapping->Map(&error)) {
    mapping->Close();
    return false;
  }
  return true;
}

void CloseBlock(SharedBlock& block, bool release) {
  if (release) Unlock(block);
  std::vector<DictionaryView>().swap(block.directory);
  block.mapping.Close();
  block.readEvent.Close();
  block.writeEvent.Close();
}

bool LockRead(SharedBlock& block) {
  block.holderRole = HolderRole::kReader;
  platform::OsError error = 0;
  if (platform::WaitAll(block.readEvent, block.writeEvent, kLockTimeoutMs, &error) !=
      platform::WaitResult::kSignalled) {
    block.waitError = NonZero(error);
    return false;
  }
  block.waitError = 0;
  return true;
}

bool LockWrite(SharedBlock& block) {
  block.holderRole = HolderRole::kWriter;
  if (!block.writeEvent.Reset()) {
    block.waitError = NonZero(platform::LastError());
    return false;
  }
  platform::OsError error = 0;
  if (platform::Wait(block.readEvent, kLockTimeoutMs, &error) != platform::WaitResult::kSignalled) {
    block.waitError = NonZero(error);
    block.writeEvent.Set();
    return false;
  }
  block.waitError = 0;
  return true;
}

void Unlock(SharedBlock& block) {
  block.readEvent.Set();
  if (block.holderRole == HolderRole::kWriter) block.writeEvent.Set();
}

BlockLock& BlockLock::operator=(BlockLock&& other) noexcept {
  if (this != &other) {
    Release();
    block_ = other.block_;
    other.block_ = nullptr;
  }
  return *this;
}

void BlockLock::Release() {
  if (block_ != nullptr) Unlock(*block_);
  block_ = nullptr;
}

}  // namespace quillet
