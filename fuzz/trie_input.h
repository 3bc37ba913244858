// Fuzz inputs for binary trie language models. A model of order 2 or 3 carries one to three
// quantisation tables of 65536 floats behind its header; an input holds only the first 256 bytes of
// them, which fill the tables when repeated. Everything else is the file's bytes as they are.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quillet::fuzz {

constexpr char kTrieTag[] = "Trie Language Model";
constexpr size_t kTrieTagSize = sizeof(kTrieTag) - 1;
constexpr size_t kQuantTableBytes = 65536 * 4;
constexpr size_t kQuantTileBytes = 256;

// Where the tables begin and their size in the file; false for bytes that are not the header of a
// model of order 2 or 3.
inline bool QuantTables(const uint8_t* data, size_t size, size_t* at, size_t* bytes) {
  if (size <= kTrieTagSize || std::memcmp(data, kTrieTag, kTrieTagSize) != 0) return false;
  const int order = data[kTrieTagSize];
  if (order < 2 || order > 3) return false;
  *at = kTrieTagSize + 1 + 4 * order + 4;  // tag, order, counts, quantisation kind
  *bytes = (2 * (order - 2) + 1) * kQuantTableBytes;
  return true;
}

// The file an input stands for.
inline std::vector<uint8_t> TrieFileFromInput(const uint8_t* data, size_t size) {
  size_t at = 0, bytes = 0;
  if (!QuantTables(data, size, &at, &bytes) || size < at + kQuantTileBytes) return {data, data + size};
  std::vector<uint8_t> file(size - kQuantTileBytes + bytes);
  std::memcpy(file.data(), data, at + kQuantTileBytes);
  // The tile doubled until the tables are full.
  for (size_t filled = kQuantTileBytes; filled < bytes; filled *= 2) {
    std::memcpy(&file[at + filled], &file[at], std::min(filled, bytes - filled));
  }
  std::memcpy(&file[at + bytes], data + at + kQuantTileBytes, size - at - kQuantTileBytes);
  return file;
}

// The input that stands for a file; false when its tables are not one tile repeated.
inline bool TrieInputFromFile(const std::vector<uint8_t>& file, std::vector<uint8_t>* input) {
  size_t at = 0, bytes = 0;
  if (!QuantTables(file.data(), file.size(), &at, &bytes)) {
    *input = file;
    return true;
  }
  if (file.size() < at + bytes) return false;
  for (size_t done = kQuantTileBytes; done < bytes; done += kQuantTileBytes) {
    if (std::memcmp(&file[at], &file[at + done], kQuantTileBytes) != 0) return false;
  }
  input->assign(file.begin(), file.begin() + at + kQuantTileBytes);
  input->insert(input->end(), file.begin() + at + bytes, file.end());
  return true;
}

}  // namespace quillet::fuzz
