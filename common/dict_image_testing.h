// Builds dictionary images in memory for tests, benchmarks and fuzz seeds: the file layout with the
// same depth-first 26-way index that the generator makes, without touching the disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::testing {

struct ImageEntry {
  std::u16string key;
  std::u16string display;
  std::u16string commit;
  std::u16string description;
};

// The bytes of a dictionary file holding `entries` in the given order (nothing is sorted or checked).
std::vector<uint8_t> BuildDictionaryImage(const std::vector<ImageEntry>& entries);
std::vector<uint8_t> BuildDictionaryImage(const std::vector<std::u16string>& keys);

}  // namespace quillet::testing
