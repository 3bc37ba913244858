// Scratch folders and file contents for the generator's tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillet::lexforge::testing {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::filesystem::path Path(const std::string& name) const { return root_ / name; }
  // The same as a path for the conversions.
  std::u16string U16(const std::string& name) const { return Path(name).u16string(); }

 private:
  std::filesystem::path root_;
};

bool Exists(const std::filesystem::path& path);
Bytes ReadAll(const std::filesystem::path& path);
void WriteAll(const std::filesystem::path& path, const Bytes& bytes);

// UTF-16LE bytes of `text`, with a byte-order mark in front when asked.
Bytes Utf16(const std::u16string& text, bool byteOrderMark = true);
// The inverse, for a whole file that starts with a byte-order mark (which is dropped).
std::u16string TextOf(const Bytes& bytes);

}  // namespace quillet::lexforge::testing
