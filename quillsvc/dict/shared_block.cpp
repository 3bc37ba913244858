#include "quillsvc/dict/shared_block.h"

#include <new>

#include "common/dict_format.h"
#include "common/le.h"
#include "common/settings_record.h"

namespace quillet {

namespace {

constexpr uint32_t kOutOfMemoryError = 0x8007000E;

platform::OsError NonZero(platform::OsError e) { return e != 0 ? e : 1; }

// Steps shared by both blocks: the two events, the read lock, the mapping and its view. On success
// the caller holds the lock as a reader; on failure the block is closed and the lock not held.
Result OpenEventsAndView(SharedBlock& block, std::u16string_view mappingName, std::u16string_view readName,
                         std::u16string_view writeName) {
  platform::OsError error = 0;
  bool existed = false;
  if (!block.readEvent.CreateOrOpen(readName, /*manualReset=*/false, /*initiallySignalled=*/true, &existed, &error)) {
    block.lastError = block.waitError = error;
    return Result::kEventFailed;
  }
  if (!block.writeEvent.CreateOrOpen(writeName, /*manualReset=*/true, /*initiallySignalled=*/true, &existed, &error)) {
    block.waitError = error;
    block.readEvent.Close();
    block.writeEvent.Close();
    block.lastError = error;
    return Result::kEventFailed;
  }
  if (!LockRead(block)) {
    CloseBlock(block, false);
    return Result::kWaitFailed;
  }
  if (!block.mapping.Open(mappingName, &error)) {
    block.lastError = error;
    CloseBlock(block, true);
    return Result::kMappingOpenFailed;
  }
  if (!block.mapping.Map(&error)) {
    block.lastError = error;
    CloseBlock(block, true);
    return Result::kViewFailed;
  }
  return Result::kSuccess;
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

Result OpenDictionaryBlock(DictionaryBlock& block) {
  if (block.view() != nullptr) return Result::kSuccess;
  const Result r =
      OpenEventsAndView(block, kDictionaryMappingName, kDictionaryReadEventName, kDictionaryWriteEventName);
  if (r != Result::kSuccess) return r;
  const uint8_t* view = block.view();
  const size_t size = block.viewSize();
  // A block too small to hold a count holds no dictionary either.
  const uint16_t count = size >= kDirectoryEntriesOffset ? LoadU16(view + 2) : 0;
  if (count == 0) {
    CloseBlock(block, true);
    return Result::kNoDictionary;
  }
  try {
    std::vector<DictionaryView> directory;
    directory.reserve(count);
    for (size_t i = 0; i < count; ++i) directory.push_back(DirectoryView(view, size, i));
    block.directory.swap(directory);
  } catch (const std::bad_alloc&) {
    block.lastError = kOutOfMemoryError;
    CloseBlock(block, true);
    return Result::kOutOfMemory;
  }
  Unlock(block);
  return Result::kSuccess;
}

Result OpenSettingsBlock(SharedBlock& block) {
  if (block.view() != nullptr) return Result::kSuccess;
  const Result r = OpenEventsAndView(block, kSettingsMappingName, kSettingsReadEventName, kSettingsWriteEventName);
  if (r != Result::kSuccess) return r;
  // Readers of the record rely on all of it being there.
  if (block.viewSize() < kSettingsRecordSize) {
    CloseBlock(block, true);
    return Result::kMalformed;
  }
  Unlock(block);
  return Result::kSuccess;
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

}  // namespace quillet
