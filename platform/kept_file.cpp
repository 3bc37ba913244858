#include "platform/kept_file.h"

#include <utility>

#include "platform/file.h"
#include "platform/process.h"
#include "platform/user_data.h"

namespace quillet::platform {

namespace {

std::u16string FolderOf(const std::u16string& path) {
  const size_t slash = path.find_last_of(u"/\\");
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

}  // namespace

std::u16string KeptFile::Beside(const std::u16string& path, std::u16string_view name) {
  if (path.empty()) return std::u16string();
  const std::u16string folder = FolderOf(path);
  return folder.empty() ? std::u16string(name) : JoinPath(folder, std::u16string(name));
}

std::u16string KeptFile::InUserFolder(std::u16string_view name) {
  const std::u16string folder = UserConfigFolder();
  if (folder.empty()) return std::u16string();
  return JoinPath(folder, std::u16string(name));
}

KeptContent KeptFile::Load() {
  KeptContent out;
  protected_ = false;
  if (path_.empty()) {
    out.origin = KeptOrigin::kNoFolder;
    return out;
  }
  std::vector<uint8_t> bytes;
  // A larger file is certainly damaged; it is not read into memory to find out.
  switch (ReadWholeFile(path_, maxSize_, &bytes, &out.error)) {
    case ReadStatus::kNotFound:
      out.origin = KeptOrigin::kFirstRun;
      return out;
    case ReadStatus::kFailed:
      out.origin = KeptOrigin::kUnreadable;
      protected_ = true;
      return out;
    case ReadStatus::kRead:
      if (!check_ || check_(bytes.data(), bytes.size())) {
        out.bytes = std::move(bytes);
        out.origin = KeptOrigin::kFile;
        return out;
      }
      break;
    case ReadStatus::kTooLarge:
      break;
  }
  out.origin = KeptOrigin::kDamaged;
  if (!MoveAside(path_, kDamagedSuffix, &out.asidePath, &out.error)) {
    out.origin = KeptOrigin::kUnreadable;
    protected_ = true;
  }
  return out;
}

Result KeptFile::Save(const uint8_t* bytes, size_t size, OsError* error) {
  if (path_.empty() || protected_ || size > maxSize_) return Result::kFileWriteFailed;
  const std::u16string folder = FolderOf(path_);
  if (!folder.empty() && !CreateFolders(folder, error)) return Result::kFileOpenFailed;
  if (!ReplaceFile(path_, bytes, size, /*ownerOnly=*/true, error)) return Result::kFileWriteFailed;
  return Result::kSuccess;
}

}  // namespace quillet::platform
