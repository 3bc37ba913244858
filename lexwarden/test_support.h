// Helpers shared by the loader's tests: private folders, files, and a namespace of named objects of
// their own so that they never meet a loader the user runs (or another test).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::warden::testing {

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

// Sets QUILLET_NAMESPACE to a value no other process uses; children started afterwards inherit it.
void UseFreshNamespace();

// keys "<prefix>0000000", "<prefix>0000001", ... in order; display texts on every third entry.
std::vector<uint8_t> MakeDictionary(const std::u16string& prefix, size_t count);
// The same keys without any info text.
std::vector<uint8_t> MakePlainDictionary(const std::u16string& prefix, size_t count);

}  // namespace quillet::warden::testing
