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

size_t ImageSize(const DictionaryList& dictionaries) {
  const size_t data = DataSize(dictionaries);
  return data > kMaxBlockSize - kDirectoryAreaSize ? 0 : kDirectoryAreaSize + data;
}

void WriteImage(uint8_t* block, size_t size, const DictionaryList& dictionaries, uint16_t generation) {
  if (size < kDirectoryAreaSize) return;
  const size_t count =
      dictionaries.size() < kMaxPublishedDictionaries ? dictionaries.size() : kMaxPublishedDictionaries;
  size_t at = kDirectoryAreaSize;
  size_t written = 0;
  DictHeader entries[kMaxPublishedDictionaries];
  for (; written < count; ++written) {
    const PreparedDictionary& d = *dictionaries[written];
    const size_t bodySize = d.bodySize();
    if (at > size || bodySize > size - at) break;  // the caller sized the block; never write past it
    std::memcpy(block + at, d.body(), bodySize);
    DictHeader h = d.header;
    h.nodeTableOffset = Rebase(h.nodeTableOffset, at);
    h.positionTableOffset = Rebase(h.positionTableOffset, at);
    h.keyAreaOffset = Rebase(h.keyAreaOffset, at);
    h.infoAreaOffset = Rebase(h.infoAreaOffset, at);
    entries[written] = h;
    at = AlignUp(at + bodySize);
  }
  std::memset(block + 4, 0, kDirectoryAreaSize - 4);
  for (size_t i = 0; i < written; ++i) WriteDictHeader(block + 4 + kDictHeaderSize * i, entries[i]);
  StoreU16(block, generation);
  StoreU16(block + 2, static_cast<uint16_t>(written));
}

uint16_t ImageGeneration(const uint8_t* block) { return LoadU16(block); }

}  // namespace quillet::warden
