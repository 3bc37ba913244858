#include "lexwarden/block_image.h"

#include <cstring>
#include <utility>

#include "common/dictionary_view.h"
#include "common/le.h"

namespace quillet::warden {

namespace {

size_t AlignUp(size_t n) { return (n + kBodyAlignment - 1) / kBodyAlignment * kBodyAlignment; }

// The 8-byte body of a placeholder: the position table's terminator record alone.
const uint8_t kPlaceholderBody[kEntryPositionSize] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

uint32_t Rebase(uint32_t offset, size_t base) { return offset == kNone ? kNone : static_cast<uint32_t>(offset + base); }

}  // namespace

size_t PreparedDictionary::bodySize() const {
  return placeholder() ? sizeof(kPlaceholderBody) : file.size() - kDictHeaderSize;
}

const uint8_t* PreparedDictionary::body() const {
  return placeholder() ? kPlaceholderBody : file.data() + kDictHeaderSize;
}

PreparedDictionary Placeholder(Result problem) {
  PreparedDictionary d;
  d.problem = problem == Result::kSuccess ? Result::kMalformed : problem;
  d.header.nodeCount = 0;
  d.header.entryCount = 0;
  d.header.nodeTableOffset = kNone;
  d.header.positionTableOffset = 0;
  d.header.keyAreaOffset = kEntryPositionSize;
  d.header.infoAreaOffset = kNone;
  return d;
}

PreparedDictionary PrepareDictionary(std::vector<uint8_t> file) {
  DictionaryView view;
  if (file.size() > kMaxBlockSize - kDirectoryAreaSize || !DictionaryView::FromFile(file.data(), file.size(), &view)) {
    return Placeholder(Result::kMalformed);
  }
  PreparedDictionary d;
  d.header = view.header();
  d.file = std::move(file);
  return d;
}

DictionaryList ListOf(const std::vector<PreparedDictionary>& dictionaries) {
  DictionaryList list;
  for (const PreparedDictionary& d : dictionaries) list.push_back(&d);
  return list;
}

size_t DataSize(const PreparedDictionary& dictionary) { return AlignUp(dictionary.bodySize()); }

size_t DataSize(const DictionaryList& dictionaries) {
  size_t total = 0;
  for (const PreparedDictionary* d : dictionaries) {
    const size_t size = DataSize(*d);
    if (size > kMaxBlockSize - total) return kMaxBlockSize;  // saturates: can never fit
    total += size;
  }
  return total;
}

size_t CapacityFor(size_t dataSize) {
  if (dataSize > kMaxBlockSize - kDirectoryAreaSize) return 0;
  size_t capacity = kDirectoryAreaSize + dataSize;
  // Headroom for the next publication beside this one, and for growth in between.
  capacity += dataSize <= kMaxBlockSize - capacity ? dataSize + dataSize / 4 : kMaxBlockSize - capacity;
  if (capacity > kMaxBlockSize) capacity = kMaxBlockSize;
  if (capacity < kMinBlockCapacity) capacity = kMinBlockCapacity;
  constexpr size_t kGranularity = size_t{1} << 16;
  capacity = (capacity + kGranularity - 1) / kGranularity * kGranularity;
  return capacity > kMaxBlockSize ? kMaxBlockSize : capacity;
}

bool PlaceBeside(size_t capacity, Region inUse, size_t size, size_t* begin) {
  if (capacity < kDirectoryAreaSize) return false;
  const size_t room = capacity - kDirectoryAreaSize;
  if (inUse.begin >= inUse.end) {
    if (size > room) return false;
    *begin = kDirectoryAreaSize;
    return true;
  }
  if (inUse.begin >= kDirectoryAreaSize && size <= inUse.begin - kDirectoryAreaSize) {
    *begin = kDirectoryAreaSize;
    return true;
  }
  const size_t after = AlignUp(inUse.end);
  if (after <= capacity && size <= capacity - after) {
    *begin = after;
    return true;
  }
  return false;
}

Region WriteImage(uint8_t* block, size_t capacity, const DictionaryList& dictionaries, size_t begin,
                  uint16_t generation) {
  const size_t count =
      dictionaries.size() < kMaxPublishedDictionaries ? dictionaries.size() : kMaxPublishedDictionaries;
  // Bodies first, then the directory that points at them.
  size_t at = begin;
  DictHeader entries[kMaxPublishedDictionaries];
  for (size_t i = 0; i < count; ++i) {
    const PreparedDictionary& d = *dictionaries[i];
    const size_t size = d.bodySize();
    if (at > capacity || size > capacity - at) break;  // the caller checked; never write past the block
    std::memcpy(block + at, d.body(), size);
    DictHeader h = d.header;
    h.nodeTableOffset = Rebase(h.nodeTableOffset, at);
    h.positionTableOffset = Rebase(h.positionTableOffset, at);
    h.keyAreaOffset = Rebase(h.keyAreaOffset, at);
    h.infoAreaOffset = Rebase(h.infoAreaOffset, at);
    entries[i] = h;
    at = AlignUp(at + size);
    if (at > capacity) at = capacity;
  }
  std::memset(block + 4, 0, kDirectoryAreaSize - 4);
  for (size_t i = 0; i < count; ++i) WriteDictHeader(block + 4 + kDictHeaderSize * i, entries[i]);
  StoreU16(block, generation);
  StoreU16(block + 2, static_cast<uint16_t>(count));
  return Region{begin, at};
}

uint16_t ImageGeneration(const uint8_t* block) { return LoadU16(block); }

}  // namespace quillet::warden
