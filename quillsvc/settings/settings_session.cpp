#include "quillsvc/settings/settings_session.h"

#include "quillsvc/service/loader_link.h"

namespace quillet::settings {
namespace {

constexpr std::u16string_view kLoaderCommandLine = u"from setting";

// Holds the block's write lock for one scope.
class WriteLock {
 public:
  explicit WriteLock(SharedBlock& block) : block_(block), held_(LockWrite(block)) {}
  ~WriteLock() {
    if (held_) Unlock(block_);
  }
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;
  bool held() const { return held_; }

 private:
  SharedBlock& block_;
  bool held_;
};

class ReadLock {
 public:
  explicit ReadLock(SharedBlock& block) : block_(block), held_(LockRead(block)) {}
  ~ReadLock() {
    if (held_) Unlock(block_);
  }
  ReadLock(const ReadLock&) = delete;
  ReadLock& operator=(const ReadLock&) = delete;
  bool held() const { return held_; }

 private:
  SharedBlock& block_;
  bool held_;
};

}  // namespace

SettingsSession::~SettingsSession() { Close(); }

void SettingsSession::Close() { CloseBlock(block_, false); }

std::optional<std::u16string_view> SettingsSession::Open(const LoaderStarter& starter) {
  int32_t started = 0;
  if (starter) {
    started = starter(kLoaderCommandLine);
  } else {
    platform::OsError error = 0;
    started = EnsureLoader(&error, kLoaderCommandLine);
  }
  // 10: the loader runs but could not read one of its dictionary files; the settings are there.
  if (started != ToInt(Result::kSuccess) && started != ToInt(Result::kFileOpenFailed)) return kLoaderFailedText;
  if (OpenSettingsBlock(block_) != Result::kSuccess) return kBlockFailedText;
  const ReadLock lock(block_);
  if (!lock.held()) return kReadLockFailedText;
  record_.CopyFrom(block_.view(), block_.viewSize());
  return std::nullopt;
}

Result SettingsSession::CommitSection(SettingsSection section) {
  const bool dictionaries = section == SettingsSection::kDictionaryPage;
  SettingsView target(block_.view(), block_.viewSize());
  if (!target.valid()) return Result::kMappingOpenFailed;
  const WriteLock lock(block_);
  if (!lock.held()) return Result::kWaitFailed;
  CopySections(record_.view(), target, true, dictionaries);
  tabsWritten_ = true;
  dictionariesWritten_ = dictionariesWritten_ || dictionaries;
  return Result::kSuccess;
}

int32_t SettingsSession::NotifyLoader(std::optional<Notice>* notice) {
  const int32_t result = SendToLoader(kLoaderReloadMessage, ReloadWParam(), ReloadLParam());
  if (notice != nullptr && result != 0 && ReloadWParam() != 0) {
    *notice = Notice{FormatWithNumber(kNotKeptFormat, result), NoticeIcon::kWarning};
  }
  return result;
}

}  // namespace quillet::settings
