#include "common/rank_view.h"

#include <algorithm>

#include "common/le.h"

namespace quillet {
namespace {

constexpr uint32_t kMaxLevels = 32;

bool Inside(uint64_t offset, uint64_t length, uint64_t size) { return offset <= size && length <= size - offset; }

uint32_t FloorLog2(uint32_t v) {
  uint32_t k = 0;
  while (v > 1) {
    v >>= 1;
    ++k;
  }
  return k;
}

class Fnv {
 public:
  void Add(uint32_t v) {
    for (int i = 0; i < 4; ++i) Byte(static_cast<uint8_t>(v >> (8 * i)));
  }
  void Add(const TextRef& t) {
    Add(t.length);
    for (size_t i = 0; i < t.length; ++i) Add(t[i]);
  }
  uint64_t value() const { return h_; }

 private:
  void Byte(uint8_t b) {
    h_ ^= b;
    h_ *= 0x100000001B3ull;
  }
  uint64_t h_ = 0xCBF29CE484222325ull;
};

}  // namespace

bool RankView::FromBytes(const uint8_t* data, size_t size, RankView* out) {
  if (data == nullptr || size < kRankHeaderSize) return false;
  const RankHeader h = ReadRankHeader(data);
  if (h.tag != kRankTag || h.version != kRankVersion || h.blockShift == 0 || h.blockShift > 16) return false;
  if (h.entryCount > kMaxEntries || h.levelCount > kMaxLevels) return false;
  const uint64_t blocks = (uint64_t{h.entryCount} + (1u << h.blockShift) - 1) >> h.blockShift;
  // Every range of whole blocks needs its row: row k covers 2^k blocks.
  if (blocks > 1 && h.levelCount < FloorLog2(static_cast<uint32_t>(blocks))) return false;
  if (!Inside(h.unigramOffset, 2 * uint64_t{h.entryCount}, size)) return false;
  if (!Inside(h.blockOffset, 4 * blocks, size)) return false;
  if (!Inside(h.sparseOffset, 4 * blocks * h.levelCount, size)) return false;
  if (!Inside(h.contextOffset, uint64_t{kContextRecordSize} * h.contextCount, size)) return false;
  if (!Inside(h.followerOffset, uint64_t{kFollowerRecordSize} * h.followerCount, size)) return false;
  RankView v;
  v.data_ = data;
  v.size_ = size;
  v.header_ = h;
  v.blockCount_ = static_cast<uint32_t>(blocks);
  *out = v;
  return true;
}

bool RankView::MadeFor(uint64_t fingerprint, uint32_t entryCount) const {
  return data_ != nullptr && header_.entryCount == entryCount && header_.fingerprint == fingerprint;
}

bool RankView::MadeFor(const DictionaryView& dictionary) const {
  return MadeFor(DictionaryFingerprint(dictionary), dictionary.entryCount());
}

uint16_t RankView::UnigramCost(uint32_t entry) const {
  if (entry >= header_.entryCount) return kWorstCost;
  return LoadU16(data_ + header_.unigramOffset + 2 * size_t{entry});
}

bool RankView::Better(uint32_t a, uint32_t b) const {
  if (b == kNone) return a != kNone;
  if (a == kNone) return false;
  const uint16_t ca = UnigramCost(a), cb = UnigramCost(b);
  return ca != cb ? ca < cb : a < b;
}

uint32_t RankView::ScanBest(uint32_t first, uint32_t end) const {
  uint32_t best = kNone;
  for (uint32_t i = first; i < end; ++i) {
    if (Better(i, best)) best = i;
  }
  return best;
}

// A stored best that lies outside its block is damage: the block's first entry stands in.
uint32_t RankView::BlockBest(uint32_t block) const {
  const uint32_t begin = block << header_.blockShift;
  const uint32_t end = std::min<uint64_t>(uint64_t{begin} + (1u << header_.blockShift), header_.entryCount);
  const uint32_t best = LoadU32(data_ + header_.blockOffset + 4 * size_t{block});
  return best >= begin && best < end ? best : begin;
}

uint32_t RankView::SparseBlock(uint32_t level, uint32_t block) const {
  if (level == 0) return block;
  const uint32_t b = LoadU32(data_ + header_.sparseOffset + 4 * (size_t{level - 1} * blockCount_ + block));
  return b >= block && uint64_t{b} < uint64_t{block} + (uint64_t{1} << level) && b < blockCount_ ? b : block;
}

uint32_t RankView::BestInRange(uint32_t first, uint32_t end) const {
  end = std::min(end, header_.entryCount);
  if (data_ == nullptr || first >= end) return kNone;
  const uint32_t shift = header_.blockShift;
  const uint32_t blockSize = 1u << shift;
  if (end - first <= 2 * blockSize) return ScanBest(first, end);
  const uint32_t firstBlock = (first + blockSize - 1) >> shift;
  const uint32_t endBlock = end >> shift;
  uint32_t best = ScanBest(first, firstBlock << shift);
  const uint32_t tail = ScanBest(endBlock << shift, end);
  if (Better(tail, best)) best = tail;
  if (firstBlock < endBlock) {
    const uint32_t level = FloorLog2(endBlock - firstBlock);
    for (uint32_t b : {SparseBlock(level, firstBlock), SparseBlock(level, endBlock - (1u << level))}) {
      const uint32_t e = BlockBest(b);
      if (Better(e, best)) best = e;
    }
  }
  return best;
}

bool RankView::FindContext(uint32_t older, uint32_t last, ContextRecord* out) const {
  if (data_ == nullptr) return false;
  uint32_t lo = 0, hi = header_.contextCount;
  const uint8_t* table = data_ + header_.contextOffset;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    const uint8_t* p = table + size_t{mid} * kContextRecordSize;
    if (ContextBefore(LoadU32(p), LoadU32(p + 4), older, last)) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (lo == header_.contextCount) return false;
  ContextRecord c = ReadContextRecord(table + size_t{lo} * kContextRecordSize);
  if (c.older != older || c.last != last) return false;
  if (!Inside(c.firstFollower, c.followerCount, header_.followerCount)) c.followerCount = 0;
  *out = c;
  return true;
}

FollowerRecord RankView::Follower(const ContextRecord& context, uint32_t k) const {
  FollowerRecord f;
  if (k >= context.followerCount || uint64_t{context.firstFollower} + k >= header_.followerCount) {
    f.entry = kNone;
    f.cost = kWorstCost;
    return f;
  }
  const uint8_t* p = data_ + header_.followerOffset + (size_t{context.firstFollower} + k) * kFollowerRecordSize;
  f.entry = LoadU32(p);
  f.cost = LoadU16(p + 4);
  return f;
}

uint32_t RankView::LowerFollower(const ContextRecord& context, uint32_t entry) const {
  uint32_t lo = 0, hi = context.followerCount;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (Follower(context, mid).entry < entry) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

uint64_t DictionaryFingerprint(const DictionaryView& dictionary) {
  Fnv h;
  const uint32_t n = dictionary.entryCount();
  h.Add(n);
  h.Add(dictionary.nodeCount());
  const auto add = [&](uint32_t i) {
    TextRef key;
    if (dictionary.Key(i, &key)) h.Add(key);
    InfoRef info;
    if (dictionary.Info(i, &info)) {
      h.Add(info.display);
      h.Add(info.commit);
    }
  };
  const uint32_t step = n <= 1024 ? 1 : n / 1024;
  for (uint32_t i = 0; i < n; i += step) add(i);
  if (n > 0) add(n - 1);
  return h.value();
}

}  // namespace quillet
