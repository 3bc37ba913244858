#include "common/rank_format.h"

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

}  // namespace quillet
