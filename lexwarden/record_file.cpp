#include "lexwarden/record_file.h"

#include "platform/process.h"
#include "platform/user_data.h"

namespace quillet::warden {

namespace {

std::u16string FolderOf(const std::u16string& path) {
  const size_t slash = path.find_last_of(u"/\\");
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

}  // namespace

std::u16string RecordFile::Beside(const std::u16string& path, std::u16string_view name) {
  if (path.empty()) return std::u16string();
  const std::u16string folder = FolderOf(path);
  return folder.empty() ? std::u16string(name) : platform::JoinPath(folder, std::u16string(name));
}

std::u16string RecordFile::InUserFolder(std::u16string_view name) {
  const std::u16string folder = platform::UserConfigFolder();
  if (folder.empty()) return std::u16string();
  return platform::JoinPath(folder, std::u16string(name));
}

LoadedRecord RecordFile::Load() {
  LoadedRecord out;
  protected_ = false;
  if (path_.empty()) {
    out.origin = RecordOrigin::kNoFolder;
    return out;
  }
  std::vector<uint8_t> bytes;
  // A larger file is certainly not the record; it is not read into memory to find out.
  switch (platform::ReadWholeFile(path_, size_, &bytes, &out.error)) {
    case platform::ReadStatus::kNotFound:
      out.origin = RecordOrigin::kFirstRun;
      return out;
    case platform::ReadStatus::kFailed:
      out.origin = RecordOrigin::kUnreadable;
      protected_ = true;
      return out;
    case platform::ReadStatus::kRead:
      if (bytes.size() == size_ && (check_ == nullptr || check_(bytes.data(), bytes.size()))) {
        out.bytes = std::move(bytes);
        out.origin = RecordOrigin::kFile;
        return out;
      }
      break;
    case platform::ReadStatus::kTooLarge:
      break;
  }
  out.origin = RecordOrigin::kDamaged;
  if (!platform::MoveAside(path_, kDamagedSuffix, &out.asidePath, &out.error)) protected_ = true;
  return out;
}

Result RecordFile::Save(const uint8_t* record, platform::OsError* error) {
  if (path_.empty() || protected_) return Result::kFileWriteFailed;
  const std::u16string folder = FolderOf(path_);
  if (!folder.empty() && !platform::CreateFolders(folder, error)) return Result::kFileOpenFailed;
  if (!platform::ReplaceFileDurably(path_, record, size_, error)) return Result::kFileWriteFailed;
  return Result::kSuccess;
}

}  // namespace quillet::warden
