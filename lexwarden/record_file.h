// A fixed-size record kept between sessions in one per-user file holding exactly the record's bytes.
// A missing file means first run. A file of any other size, or whose bytes the record's check
// refuses, is damaged: it is moved aside under a new name, never overwritten. Saving replaces the
// file durably.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "platform/error.h"

namespace quillet::warden {

constexpr char16_t kDamagedSuffix[] = u".damaged";

enum class RecordOrigin {
  kFile,        // read from the file
  kFirstRun,    // no file yet
  kDamaged,     // wrong size or refused by the check: moved aside (asidePath)
  kUnreadable,  // the file exists but could not be read, and is not replaced
  kNoFolder,    // no per-user folder could be determined: nothing is saved
};

struct LoadedRecord {
  std::vector<uint8_t> bytes;  // the record when read from the file, else empty
  RecordOrigin origin = RecordOrigin::kFirstRun;
  std::u16string asidePath;  // where a damaged file went
  platform::OsError error = 0;
};

// Whether a record's bytes (of the record's size) are one; null: any bytes are.
using RecordCheck = bool (*)(const uint8_t* record, size_t size);

class RecordFile {
 public:
  // `path` is the file; empty means there is nowhere to keep the record.
  RecordFile(std::u16string path, size_t recordSize, RecordCheck check = nullptr)
      : path_(std::move(path)), size_(recordSize), check_(check) {}

  // The file `name` in the per-user folder (see platform::UserConfigFolder); empty when there is none.
  static std::u16string InUserFolder(std::u16string_view name);
  // The file `name` in the folder of `path`; empty when `path` is.
  static std::u16string Beside(const std::u16string& path, std::u16string_view name);

  LoadedRecord Load();
  // Writes the record (recordSize bytes); creates the folder when needed. Refused (kFileWriteFailed)
  // when there is no path, or when a file that could not be read or moved aside is still in the way.
  Result Save(const uint8_t* record, platform::OsError* error);

  const std::u16string& path() const { return path_; }

 private:
  std::u16string path_;
  size_t size_;
  RecordCheck check_;
  bool protected_ = false;  // a file we could not read or move aside: never overwrite it
};

}  // namespace quillet::warden
