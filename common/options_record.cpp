#include "common/options_record.h"

#include <cstring>

#include "common/le.h"

namespace quillet {
namespace {

constexpr uint8_t kMagic[4] = {'Q', 'L', 'T', 'O'};
constexpr size_t kCountOffset = 6;
constexpr size_t kEntriesOffset = 16;
constexpr size_t kEntrySize = 4;
constexpr uint8_t kNextWordsFlag = 0x01;
constexpr uint8_t kForgivingFlag = 0x02;
constexpr size_t kFlagsOffset = 8;
constexpr uint8_t kLearningPausedFlag = 0x01;
constexpr uint8_t kSpeakFlag = 0x02;
constexpr uint8_t kSpeakWithScreenReaderFlag = 0x04;
constexpr size_t kToggleKeyOffset = 9;

uint8_t* Entry(uint8_t* record, size_t i) { return record + kEntriesOffset + i * kEntrySize; }
const uint8_t* Entry(const uint8_t* record, size_t i) { return record + kEntriesOffset + i * kEntrySize; }

TabOptions Decode(const uint8_t* entry) {
  TabOptions options;
  if (entry[2] <= static_cast<uint8_t>(CandidateOrder::kLearning))
    options.order = static_cast<CandidateOrder>(entry[2]);
  options.nextWords = (entry[3] & kNextWordsFlag) != 0;
  options.forgiving = (entry[3] & kForgivingFlag) != 0;
  return options;
}

// A record not of the shape above is made empty before a write (false when `size` is not the record's).
bool MakeWritable(uint8_t* record, size_t size) {
  if (record == nullptr || size != kOptionsRecordSize) return false;
  if (!ValidOptionsRecord(record, size)) {
    const std::vector<uint8_t> empty = DefaultOptionsRecord();
    std::memcpy(record, empty.data(), size);
  }
  return true;
}

}  // namespace

std::vector<uint8_t> DefaultOptionsRecord() {
  std::vector<uint8_t> record(kOptionsRecordSize, 0);
  std::memcpy(record.data(), kMagic, sizeof(kMagic));
  StoreU16(record.data() + 4, kOptionsRecordVersion);
  return record;
}

bool ValidOptionsRecord(const uint8_t* record, size_t size) {
  return record != nullptr && size == kOptionsRecordSize && std::memcmp(record, kMagic, sizeof(kMagic)) == 0 &&
         LoadU16(record + 4) == kOptionsRecordVersion && LoadU16(record + kCountOffset) <= kTabEntriesCapacity;
}

TabOptions ReadTabOptions(const uint8_t* record, size_t size, int16_t tabId) {
  if (!ValidOptionsRecord(record, size)) return {};
  const size_t count = LoadU16(record + kCountOffset);
  for (size_t i = 0; i < count; ++i) {
    if (LoadI16(Entry(record, i)) == tabId) return Decode(Entry(record, i));
  }
  return {};
}

bool LearningPaused(const uint8_t* record, size_t size) {
  return ValidOptionsRecord(record, size) && (record[kFlagsOffset] & kLearningPausedFlag) != 0;
}

bool SetLearningPaused(uint8_t* record, size_t size, bool paused) {
  if (!MakeWritable(record, size)) return false;
  record[kFlagsOffset] = static_cast<uint8_t>(paused ? record[kFlagsOffset] | kLearningPausedFlag
                                                     : record[kFlagsOffset] & ~kLearningPausedFlag);
  return true;
}

ToggleKey ReadToggleKey(const uint8_t* record, size_t size) {
  if (!ValidOptionsRecord(record, size) || record[kToggleKeyOffset] > static_cast<uint8_t>(ToggleKey::kNone)) {
    return ToggleKey::kShift;
  }
  return static_cast<ToggleKey>(record[kToggleKeyOffset]);
}

bool SetToggleKey(uint8_t* record, size_t size, ToggleKey key) {
  if (!MakeWritable(record, size)) return false;
  record[kToggleKeyOffset] = static_cast<uint8_t>(key);
  return true;
}

SpeechOptions ReadSpeechOptions(const uint8_t* record, size_t size) {
  if (!ValidOptionsRecord(record, size)) return {};
  return SpeechOptions{(record[kFlagsOffset] & kSpeakFlag) != 0,
                       (record[kFlagsOffset] & kSpeakWithScreenReaderFlag) != 0};
}

bool SetSpeechOptions(uint8_t* record, size_t size, const SpeechOptions& options) {
  if (!MakeWritable(record, size)) return false;
  uint8_t flags = record[kFlagsOffset] & ~(kSpeakFlag | kSpeakWithScreenReaderFlag);
  if (options.speak) flags |= kSpeakFlag;
  if (options.withScreenReader) flags |= kSpeakWithScreenReaderFlag;
  record[kFlagsOffset] = flags;
  return true;
}

bool WriteTabOptions(uint8_t* record, size_t size, int16_t tabId, const TabOptions& options) {
  if (!MakeWritable(record, size)) return false;
  size_t count = LoadU16(record + kCountOffset);
  size_t at = 0;
  while (at < count && LoadI16(Entry(record, at)) != tabId) ++at;
  if (at == count && options != TabOptions{} && count == kTabEntriesCapacity) return false;
  // Every entry of the id goes (a record from elsewhere may hold it twice), the last entry taking
  // each one's place; then the options go in at the end unless they are the defaults.
  for (size_t i = 0; i < count;) {
    if (LoadI16(Entry(record, i)) != tabId) {
      ++i;
      continue;
    }
    std::memmove(Entry(record, i), Entry(record, count - 1), kEntrySize);
    std::memset(Entry(record, count - 1), 0, kEntrySize);
    --count;
  }
  if (options != TabOptions{}) {
    uint8_t* entry = Entry(record, count++);
    StoreI16(entry, tabId);
    entry[2] = static_cast<uint8_t>(options.order);
    entry[3] =
        static_cast<uint8_t>((options.nextWords ? kNextWordsFlag : 0) | (options.forgiving ? kForgivingFlag : 0));
  }
  StoreU16(record + kCountOffset, static_cast<uint16_t>(count));
  return true;
}

}  // namespace quillet
