#include "common/dict_format.h"

#include "common/le.h"

namespace quillet {

DictHeader ReadDictHeader(const uint8_t* p) {
  DictHeader h;
  h.nodeCount = LoadU32(p);
  h.entryCount = LoadU32(p + 4);
  h.nodeTableOffset = LoadU32(p + 8);
  h.positionTableOffset = LoadU32(p + 12);
  h.keyAreaOffset = LoadU32(p + 16);
  h.infoAreaOffset = LoadU32(p + 20);
  return h;
}

void WriteDictHeader(uint8_t* p, const DictHeader& h) {
  StoreU32(p, h.nodeCount);
  StoreU32(p + 4, h.entryCount);
  StoreU32(p + 8, h.nodeTableOffset);
  StoreU32(p + 12, h.positionTableOffset);
  StoreU32(p + 16, h.keyAreaOffset);
  StoreU32(p + 20, h.infoAreaOffset);
}

IndexNode ReadIndexNode(const uint8_t* p) {
  IndexNode n;
  n.rangeBegin = LoadU32(p);
  n.rangeEnd = LoadU32(p + 4);
  n.lettersBegin = LoadU32(p + 8);
  n.lettersEnd = LoadU32(p + 12);
  for (size_t i = 0; i < kIndexLetters; ++i) n.children[i] = LoadU16(p + 16 + 2 * i);
  return n;
}

void WriteIndexNode(uint8_t* p, const IndexNode& n) {
  StoreU32(p, n.rangeBegin);
  StoreU32(p + 4, n.rangeEnd);
  StoreU32(p + 8, n.lettersBegin);
  StoreU32(p + 12, n.lettersEnd);
  for (size_t i = 0; i < kIndexLetters; ++i) StoreU16(p + 16 + 2 * i, n.children[i]);
}

EntryPosition ReadEntryPosition(const uint8_t* p) { return {LoadU32(p), LoadU32(p + 4)}; }

void WriteEntryPosition(uint8_t* p, const EntryPosition& e) {
  StoreU32(p, e.keyOffset);
  StoreU32(p + 4, e.infoOffset);
}

}  // namespace quillet
