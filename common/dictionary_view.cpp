#include "common/dictionary_view.h"

#include <algorithm>

namespace quillet {

std::u16string TextRef::ToString() const {
  std::u16string s(length, u'\0');
  for (size_t i = 0; i < length; ++i) s[i] = (*this)[i];
  return s;
}

bool DictionaryView::Make(const uint8_t* data, size_t size, const DictHeader& h, size_t base, DictionaryView* out) {
  // 64-bit arithmetic throughout: counts near 2^32 must not wrap into a "valid" range.
  const uint64_t limit = size;
  auto inside = [&](uint64_t offset, uint64_t length) { return offset <= limit && length <= limit - offset; };

  if (data == nullptr || base > size) return false;
  if (h.entryCount > kMaxEntries) return false;
  DictionaryView v;
  v.data_ = data;
  v.size_ = size;
  v.header_ = h;
  if (h.nodeCount > 0) {
    if (h.nodeTableOffset == kNone || h.nodeCount >= kChildUnindexed) return false;
    const uint64_t nodes = base + uint64_t{h.nodeTableOffset};
    if (!inside(nodes, uint64_t{h.nodeCount} * kIndexNodeSize)) return false;
    v.nodeTable_ = static_cast<size_t>(nodes);
  }
  const uint64_t positions = base + uint64_t{h.positionTableOffset};
  if (!inside(positions, (uint64_t{h.entryCount} + 1) * kEntryPositionSize)) return false;
  v.positionTable_ = static_cast<size_t>(positions);
  const uint64_t keys = base + uint64_t{h.keyAreaOffset};
  if (!inside(keys, 0)) return false;
  v.keyArea_ = static_cast<size_t>(keys);
  if (h.infoAreaOffset != kNone) {
    const uint64_t info = base + uint64_t{h.infoAreaOffset};
    if (!inside(info, 0)) return false;
    v.infoArea_ = info;
  }
  *out = v;
  return true;
}

bool DictionaryView::FromFile(const uint8_t* data, size_t size, DictionaryView* out) {
  if (data == nullptr || size < kDictHeaderSize) return false;
  return Make(data, size, ReadDictHeader(data), kDictHeaderSize, out);
}

bool DictionaryView::Node(uint32_t k, IndexNode* out) const {
  if (k >= header_.nodeCount) return false;
  *out = ReadIndexNode(data_ + nodeTable_ + size_t{k} * kIndexNodeSize);
  return true;
}

uint16_t DictionaryView::Child(uint32_t k, size_t letter) const {
  if (k >= header_.nodeCount || letter >= kIndexLetters) return kChildAbsent;
  return LoadU16(data_ + nodeTable_ + size_t{k} * kIndexNodeSize + 16 + 2 * letter);
}

EntryPosition DictionaryView::Position(uint32_t i) const {
  if (i > header_.entryCount) return {kNone, kNone};
  return ReadEntryPosition(data_ + positionTable_ + size_t{i} * kEntryPositionSize);
}

bool DictionaryView::Info(uint32_t i, InfoRef* out) const {
  if (i >= header_.entryCount || infoArea_ == kNone) return false;
  const uint32_t offset = LoadU32(data_ + positionTable_ + size_t{i} * kEntryPositionSize + 4);
  if (offset == kNone) return false;
  InfoRef info;
  uint64_t at = infoArea_ + uint64_t{offset};
  if (!Text(at, &info.display)) return false;
  at += 2 + 2 * uint64_t{info.display.length};
  if (!Text(at, &info.commit)) return false;
  at += 2 + 2 * uint64_t{info.commit.length};
  if (!Text(at, &info.description)) return false;
  *out = info;
  return true;
}

namespace {

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

std::vector<DictionaryView> ReadDictionaryDirectory(const uint8_t* block, size_t size) {
  std::vector<DictionaryView> directory;
  if (block == nullptr || size < kDirectoryEntriesOffset) return directory;
  // Entries past the block cannot be read; their positions read as empty without a view of their own.
  const size_t fit = (size - kDirectoryEntriesOffset) / kDirectoryEntrySize;
  const size_t count = std::min<size_t>(LoadU16(block + 2), fit);
  directory.reserve(count);
  for (size_t i = 0; i < count; ++i) directory.push_back(DirectoryView(block, size, i));
  return directory;
}

std::vector<uint8_t> DictionaryBlockImage(const std::vector<std::vector<uint8_t>>& files) {
  if (files.empty() || files.size() > 0xFFFF) return {};
  uint64_t total = kDirectoryEntriesOffset + kDirectoryEntrySize * files.size();
  for (const auto& f : files) {
    if (f.size() < kDictHeaderSize) return {};
    total += f.size() - kDictHeaderSize;
  }
  if (total >= kNone) return {};
  std::vector<uint8_t> block;
  block.reserve(static_cast<size_t>(total));
  block.resize(kDirectoryEntriesOffset + kDirectoryEntrySize * files.size());
  StoreU16(&block[2], static_cast<uint16_t>(files.size()));
  for (size_t i = 0; i < files.size(); ++i) {
    const auto& f = files[i];
    DictHeader h = ReadDictHeader(f.data());
    // The file's sections follow its header; in the block they follow the bytes placed so far.
    const uint32_t x = static_cast<uint32_t>(block.size());
    for (uint32_t* offset : {&h.nodeTableOffset, &h.positionTableOffset, &h.keyAreaOffset, &h.infoAreaOffset}) {
      // An offset that no longer fits is damage; the directory then fails its bounds check.
      if (*offset == kNone) continue;
      const uint64_t rebased = uint64_t{*offset} + x;
      *offset = rebased < kNone ? static_cast<uint32_t>(rebased) : kNone;
    }
    WriteDictHeader(&block[kDirectoryEntriesOffset + kDirectoryEntrySize * i], h);
    block.insert(block.end(), f.begin() + kDictHeaderSize, f.end());
  }
  return block;
}

}  // namespace quillet
