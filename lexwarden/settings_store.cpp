#include "lexwarden/settings_store.h"

#include <vector>

#include "platform/process.h"
#include "platform/user_data.h"

namespace quillet::warden {

namespace {

// Larger files are certainly not a record; do not read them into memory to find out.
constexpr size_t kReadLimit = 1 << 20;

std::u16string FolderOf(const std::u16string& path) {
  const size_t slash = path.find_last_of(u"/\\");
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

}  // namespace

std::u16string SettingsStore::DefaultPath() {
  const std::u16string folder = platform::UserConfigFolder();
  if (folder.empty()) return std::u16string();
  return platform::JoinPath(folder, kSettingsFileName);
}

LoadedSettings SettingsStore::Load() {
  LoadedSettings out;
  out.record = MakeDefaultSettings();
  protected_ = false;
  if (path_.empty()) {
    out.origin = SettingsOrigin::kNoFolder;
    return out;
  }
  std::vector<uint8_t> bytes;
  switch (platform::ReadWholeFile(path_, kReadLimit, &bytes, &out.error)) {
    case platform::ReadStatus::kNotFound:
      out.origin = SettingsOrigin::kFirstRun;
      return out;
    case platform::ReadStatus::kFailed:
      out.origin = SettingsOrigin::kUnreadable;
      protected_ = true;
      return out;
    case platform::ReadStatus::kRead:
      if (bytes.size() == kSettingsRecordSize && out.record.CopyFrom(bytes.data(), bytes.size())) {
        out.origin = SettingsOrigin::kFile;
        return out;
      }
      break;
    case platform::ReadStatus::kTooLarge:
      break;
  }
  out.origin = SettingsOrigin::kDamaged;
  if (!platform::MoveAside(path_, kDamagedSuffix, &out.asidePath, &out.error)) protected_ = true;
  return out;
}

Result SettingsStore::Save(const SettingsRecord& record, platform::OsError* error) {
  if (path_.empty() || protected_) return Result::kFileWriteFailed;
  const std::u16string folder = FolderOf(path_);
  if (!folder.empty() && !platform::CreateFolders(folder, error)) return Result::kFileOpenFailed;
  if (!platform::ReplaceFileDurably(path_, record.data(), record.size(), error)) return Result::kFileWriteFailed;
  return Result::kSuccess;
}

}  // namespace quillet::warden
