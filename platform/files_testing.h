// Files and folders for tests: private temporary folders and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::testing {

// A fresh empty folder under the system's temporary folder (or under `parent`), removed with its
// content on destruction.
class TempFolder {
 public:
  TempFolder();
  explicit TempFolder(const std::u16string& parent);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::u16string& path() const { return path_; }
  std::u16string File(const std::u16string& name) const;

 private:
  std::u16string path_;
};

void WriteBytes(const std::u16string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::u16string& path);
bool Exists(const std::u16string& path);
std::vector<std::u16string> ListFolder(const std::u16string& folder);
// A suffix no other test process uses at the same time.
std::string UniqueSuffix();

}  // namespace quillet::testing
