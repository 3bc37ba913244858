// A file that keeps a piece of the user's data between sessions (the settings, the options, the
// learned store): read whole, up to a size limit, and checked. A missing file means first run. A file
// that is too large, or whose bytes the check refuses, is damaged: it is moved aside under a name of
// its own, never over an earlier damaged copy. A file that could not be read is never overwritten.
// Saving replaces the file durably: a crash or a kill at any moment leaves the old content or the new,
// never a torn file (see ReplaceFileDurably; owner-only on POSIX).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "platform/error.h"

namespace quillet::platform {

constexpr char16_t kDamagedSuffix[] = u".damaged";

enum class KeptOrigin {
  kFile,        // read from the file
  kFirstRun,    // no file yet
  kDamaged,     // too large or refused by the check: moved aside (asidePath)
  kUnreadable,  // the file exists but could not be read (or moved aside), and is not replaced
  kNoFolder,    // no per-user folder could be determined: nothing is saved
};

struct KeptContent {
  std::vector<uint8_t> bytes;  // when read from the file, else empty
  KeptOrigin origin = KeptOrigin::kFirstRun;
  std::u16string asidePath;  // where a damaged file went
  OsError error = 0;
};

// Whether bytes read from the file are the data it keeps; null: any bytes are.
using KeptCheck = std::function<bool(const uint8_t* bytes, size_t size)>;

class KeptFile {
 public:
  // `path` is the file; empty means there is nowhere to keep the data.
  KeptFile(std::u16string path, size_t maxSize, KeptCheck check = nullptr)
      : path_(std::move(path)), maxSize_(maxSize), check_(std::move(check)) {}

  // The file `name` in the per-user folder (see UserConfigFolder); empty when there is none.
  static std::u16string InUserFolder(std::u16string_view name);
  // The file `name` in the folder of `path`; empty when `path` is.
  static std::u16string Beside(const std::u16string& path, std::u16string_view name);

  KeptContent Load();
  // Writes `size` bytes (at most maxSize); creates the folder when needed. Refused
  // (kFileWriteFailed) when there is no path, or when a file that could not be read or moved aside
  // is still in the way.
  Result Save(const uint8_t* bytes, size_t size, OsError* error);

  const std::u16string& path() const { return path_; }

 private:
  std::u16string path_;
  size_t maxSize_;
  KeptCheck check_;
  bool protected_ = false;  // a file we could not read or move aside: never overwrite it
};

}  // namespace quillet::platform
