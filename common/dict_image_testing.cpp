#include "common/dict_image_testing.h"

#include "common/dict_format.h"
#include "common/le.h"

namespace quillet::testing {
namespace {

class IndexMaker {
 public:
  IndexMaker(const std::vector<ImageEntry>& entries)
      : entries_(entries), capacity_(static_cast<uint32_t>(entries.size() / kEntriesPerNode + 1)) {}

  std::vector<IndexNode> Build() {
    MakeNode(0, static_cast<uint32_t>(entries_.size()), 0);
    return std::move(nodes_);
  }

 private:
  // The character at depth, or -1 when the key is not longer than depth.
  int At(uint32_t i, size_t depth) const {
    const auto& k = entries_[i].key;
    return depth < k.size() ? static_cast<int>(k[depth]) : -1;
  }

  uint16_t MakeNode(uint32_t first, uint32_t end, size_t depth) {
    if (end - first < kEntriesPerNode) return kChildUnindexed;
    if (nodes_.size() + 1 >= capacity_) return kChildUnindexed;
    const uint32_t k = static_cast<uint32_t>(nodes_.size());
    nodes_.emplace_back();
    nodes_[k].rangeBegin = first;
    nodes_[k].rangeEnd = end;
    uint32_t scan = first;
    for (int letter = 0; letter < 26; ++letter) {
      const int l = 'a' + letter;
      uint32_t g0 = scan;
      while (g0 < end && (At(g0, depth) < 0 || At(g0, depth) < l)) ++g0;
      if (g0 >= end || At(g0, depth) != l) {
        nodes_[k].children[letter] = kChildAbsent;
        continue;
      }
      uint32_t g1 = g0 + 1;
      bool passed = false;
      while (g1 < end && (At(g1, depth) < 0 || At(g1, depth) <= l)) {
        passed = passed || At(g1, depth) == l;
        ++g1;
      }
      if (!passed) g1 = g0 + 1;
      const uint16_t slot = MakeNode(g0, g1, depth + 1);
      nodes_[k].children[letter] = slot;
      if (nodes_[k].lettersBegin == kNone) nodes_[k].lettersBegin = g0;
      nodes_[k].lettersEnd = g1;
      scan = g1;
    }
    return static_cast<uint16_t>(k);
  }

  const std::vector<ImageEntry>& entries_;
  uint32_t capacity_;
  std::vector<IndexNode> nodes_;
};

void PutCounted(std::vector<uint8_t>& out, const std::u16string& s) {
  const size_t at = out.size();
  out.resize(at + 2 + 2 * s.size());
  StoreU16(&out[at], static_cast<uint16_t>(s.size()));
  for (size_t i = 0; i < s.size(); ++i) StoreU16(&out[at + 2 + 2 * i], s[i]);
}

}  // namespace

std::vector<uint8_t> BuildDictionaryImage(const std::vector<ImageEntry>& entries) {
  const std::vector<IndexNode> nodes = IndexMaker(entries).Build();
  std::vector<uint8_t> positions, keys, info;
  for (const auto& e : entries) {
    const bool hasInfo = !e.display.empty() || !e.commit.empty() || !e.description.empty();
    const size_t at = positions.size();
    positions.resize(at + kEntryPositionSize);
    WriteEntryPosition(&positions[at],
                       {static_cast<uint32_t>(keys.size()), hasInfo ? static_cast<uint32_t>(info.size()) : kNone});
    PutCounted(keys, e.key);
    if (hasInfo) {
      PutCounted(info, e.display);
      PutCounted(info, e.commit);
      PutCounted(info, e.description);
    }
  }
  positions.resize(positions.size() + kEntryPositionSize, 0xFF);

  DictHeader h;
  h.nodeCount = static_cast<uint32_t>(nodes.size());
  h.entryCount = static_cast<uint32_t>(entries.size());
  h.nodeTableOffset = nodes.empty() ? kNone : 0;
  h.positionTableOffset = static_cast<uint32_t>(nodes.size() * kIndexNodeSize);
  h.keyAreaOffset = static_cast<uint32_t>(h.positionTableOffset + positions.size());
  h.infoAreaOffset = info.empty() ? kNone : static_cast<uint32_t>(h.keyAreaOffset + keys.size());

  std::vector<uint8_t> file(kDictHeaderSize + nodes.size() * kIndexNodeSize);
  WriteDictHeader(file.data(), h);
  for (size_t k = 0; k < nodes.size(); ++k) WriteIndexNode(&file[kDictHeaderSize + k * kIndexNodeSize], nodes[k]);
  file.insert(file.end(), positions.begin(), positions.end());
  file.insert(file.end(), keys.begin(), keys.end());
  file.insert(file.end(), info.begin(), info.end());
  return file;
}

std::vector<uint8_t> BuildDictionaryImage(const std::vector<std::u16string>& keys) {
  std::vector<ImageEntry> entries;
  entries.reserve(keys.size());
  for (const auto& k : keys) entries.push_back({k, {}, {}, {}});
  return BuildDictionaryImage(entries);
}

}  // namespace quillet::testing
