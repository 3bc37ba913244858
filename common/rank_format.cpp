#include "common/rank_format.h"

#include <algorithm>
#include <cstring>

#include "common/le.h"

namespace quillet {
namespace {

uint64_t LoadU64(const uint8_t* p) { return uint64_t{LoadU32(p)} | (uint64_t{LoadU32(p + 4)} << 32); }

void StoreU64(uint8_t* p, uint64_t v) {
  StoreU32(p, static_cast<uint32_t>(v));
  StoreU32(p + 4, static_cast<uint32_t>(v >> 32));
}

}  // namespace

RankHeader ReadRankHeader(const uint8_t* p) {
  RankHeader h;
  h.tag = LoadU32(p);
  h.version = LoadU16(p + 4);
  h.blockShift = LoadU16(p + 6);
  h.fingerprint = LoadU64(p + 8);
  h.entryCount = LoadU32(p + 16);
  h.levelCount = LoadU32(p + 20);
  h.unigramOffset = LoadU32(p + 24);
  h.blockOffset = LoadU32(p + 28);
  h.sparseOffset = LoadU32(p + 32);
  h.contextCount = LoadU32(p + 36);
  h.contextOffset = LoadU32(p + 40);
  h.followerCount = LoadU32(p + 44);
  h.followerOffset = LoadU32(p + 48);
  return h;
}

void WriteRankHeader(uint8_t* p, const RankHeader& h) {
  std::memset(p, 0, kRankHeaderSize);
  StoreU32(p, h.tag);
  StoreU16(p + 4, h.version);
  StoreU16(p + 6, h.blockShift);
  StoreU64(p + 8, h.fingerprint);
  StoreU32(p + 16, h.entryCount);
  StoreU32(p + 20, h.levelCount);
  StoreU32(p + 24, h.unigramOffset);
  StoreU32(p + 28, h.blockOffset);
  StoreU32(p + 32, h.sparseOffset);
  StoreU32(p + 36, h.contextCount);
  StoreU32(p + 40, h.contextOffset);
  StoreU32(p + 44, h.followerCount);
  StoreU32(p + 48, h.followerOffset);
}

ContextRecord ReadContextRecord(const uint8_t* p) {
  ContextRecord c;
  c.older = LoadU32(p);
  c.last = LoadU32(p + 4);
  c.firstFollower = LoadU32(p + 8);
  c.followerCount = LoadU16(p + 12);
  c.backoff = LoadI16(p + 14);
  return c;
}

void WriteContextRecord(uint8_t* p, const ContextRecord& c) {
  StoreU32(p, c.older);
  StoreU32(p + 4, c.last);
  StoreU32(p + 8, c.firstFollower);
  StoreU16(p + 12, c.followerCount);
  StoreI16(p + 14, c.backoff);
}

namespace {

// The best entry of each block of 2^blockShift entries: the lower cost, the lower index on a tie.
std::vector<uint32_t> BestOfBlocks(const std::vector<uint16_t>& costs, uint32_t blockSize, uint32_t blocks) {
  const uint32_t n = static_cast<uint32_t>(costs.size());
  std::vector<uint32_t> blockBest(blocks);
  for (uint32_t b = 0; b < blocks; ++b) {
    uint32_t best = b * blockSize;
    const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(n, uint64_t{b + 1} * blockSize));
    for (uint32_t i = best + 1; i < end; ++i) {
      if (costs[i] < costs[best]) best = i;
    }
    blockBest[b] = best;
  }
  return blockBest;
}

// The best block of each run of 2^k blocks: rows[k - 1][j] for [j, j + 2^k).
std::vector<std::vector<uint32_t>> BestOfRuns(const std::vector<uint16_t>& costs,
                                              const std::vector<uint32_t>& blockBest) {
  const uint32_t blocks = static_cast<uint32_t>(blockBest.size());
  auto better = [&](uint32_t a, uint32_t b) { return costs[a] != costs[b] ? costs[a] < costs[b] : a < b; };
  std::vector<std::vector<uint32_t>> rows;
  for (uint32_t k = 1; k < 32 && (uint64_t{1} << k) <= blocks; ++k) {
    std::vector<uint32_t> row(blocks);
    for (uint32_t j = 0; j < blocks; ++j) {
      const uint32_t a = k == 1 ? j : rows.back()[j];
      const uint64_t half = uint64_t{j} + (uint64_t{1} << (k - 1));
      const uint32_t b = half < blocks ? (k == 1 ? static_cast<uint32_t>(half) : rows.back()[half]) : a;
      row[j] = better(blockBest[b], blockBest[a]) ? b : a;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// The parts' offsets, one after the other behind the header; false beyond 32-bit offsets.
bool PlaceParts(uint32_t blocks, const std::vector<RankContext>& contexts, RankHeader* h, uint64_t* total) {
  uint64_t followerCount = 0;
  for (const RankContext& c : contexts) followerCount += c.followers.size();
  uint64_t at = kRankHeaderSize;
  auto place = [&](uint64_t bytes) {
    const uint64_t offset = at;
    at += bytes;
    return offset;
  };
  const uint64_t unigramAt = place(2 * uint64_t{h->entryCount});
  const uint64_t blockAt = place(4 * uint64_t{blocks});
  const uint64_t sparseAt = place(4 * uint64_t{blocks} * h->levelCount);
  const uint64_t contextAt = place(kContextRecordSize * uint64_t{contexts.size()});
  const uint64_t followerAt = place(kFollowerRecordSize * followerCount);
  if (at > 0xFFFFFFFFull) return false;
  h->unigramOffset = static_cast<uint32_t>(unigramAt);
  h->blockOffset = static_cast<uint32_t>(blockAt);
  h->sparseOffset = static_cast<uint32_t>(sparseAt);
  h->contextCount = static_cast<uint32_t>(contexts.size());
  h->contextOffset = static_cast<uint32_t>(contextAt);
  h->followerCount = static_cast<uint32_t>(followerCount);
  h->followerOffset = static_cast<uint32_t>(followerAt);
  *total = at;
  return true;
}

// Each context's record and, from its first follower on, its followers.
void WriteContexts(const std::vector<RankContext>& contexts, const RankHeader& h, std::vector<uint8_t>* bytes) {
  uint32_t first = 0;
  for (size_t c = 0; c < contexts.size(); ++c) {
    ContextRecord r;
    r.older = contexts[c].older;
    r.last = contexts[c].last;
    r.backoff = contexts[c].backoff;
    r.firstFollower = first;
    r.followerCount = static_cast<uint16_t>(std::min<size_t>(contexts[c].followers.size(), 0xFFFF));
    WriteContextRecord(&(*bytes)[h.contextOffset + kContextRecordSize * c], r);
    for (const FollowerRecord& f : contexts[c].followers) {
      uint8_t* p = &(*bytes)[h.followerOffset + kFollowerRecordSize * size_t{first++}];
      StoreU32(p, f.entry);
      StoreU16(p + 4, f.cost);
    }
  }
}

}  // namespace

std::vector<uint8_t> EncodeRankData(uint64_t fingerprint, const std::vector<uint16_t>& costs,
                                    const std::vector<RankContext>& contexts) {
  RankHeader h;
  h.fingerprint = fingerprint;
  const uint32_t n = static_cast<uint32_t>(costs.size());
  if (n != costs.size()) return {};  // more entries than the format counts
  h.entryCount = n;
  const uint32_t blockSize = 1u << h.blockShift;
  const uint32_t blocks = static_cast<uint32_t>((uint64_t{n} + blockSize - 1) / blockSize);
  const std::vector<uint32_t> blockBest = BestOfBlocks(costs, blockSize, blocks);
  const std::vector<std::vector<uint32_t>> rows = BestOfRuns(costs, blockBest);
  h.levelCount = static_cast<uint32_t>(rows.size());
  uint64_t size = 0;
  if (!PlaceParts(blocks, contexts, &h, &size)) return {};

  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  WriteRankHeader(bytes.data(), h);
  for (uint32_t i = 0; i < n; ++i) StoreU16(&bytes[h.unigramOffset + 2 * size_t{i}], costs[i]);
  for (uint32_t b = 0; b < blocks; ++b) StoreU32(&bytes[h.blockOffset + 4 * size_t{b}], blockBest[b]);
  for (size_t k = 0; k < rows.size(); ++k) {
    for (uint32_t j = 0; j < blocks; ++j) StoreU32(&bytes[h.sparseOffset + 4 * (k * blocks + j)], rows[k][j]);
  }
  WriteContexts(contexts, h, &bytes);
  return bytes;
}

}  // namespace quillet
