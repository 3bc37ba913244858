#include "quillsvc/settings/settings_session.h"

#include "ipc/loader_link.h"
#include "ipc/protocol.h"

namespace quillet::settings {

SettingsSession::~SettingsSession() { Close(); }

void SettingsSession::Close() { CloseBlock(block_, false); }

std::optional<std::u16string_view> SettingsSession::Open(const LoaderStarter& starter) {
  int32_t started = 0;
  if (starter) {
    started = starter(kFromSetting);
  } else {
    platform::OsError error = 0;
    started = ToInt(EnsureLoader(&error, kFromSetting));
  }
  // 10: the loader runs but could not read one of its dictionary files; the settings are there.
  if (started != ToInt(Result::kSuccess) && started != ToInt(Result::kFileOpenFailed)) return kLoaderFailedText;
  if (OpenSettingsBlock(block_) != Result::kSuccess) return kBlockFailedText;
  const BlockReadLock lock(block_);
  if (!lock.held()) return kReadLockFailedText;
  record_.CopyFrom(block_.view(), block_.viewSize());
  return std::nullopt;
}

Result SettingsSession::CommitSection(SettingsSection section) {
  const bool dictionaries = section == SettingsSection::kDictionaryPage;
  SettingsView target(block_.view(), block_.viewSize());
  if (!target.valid()) return Result::kMappingOpenFailed;
  const BlockWriteLock lock(block_);
  if (!lock.held()) return Result::kWaitFailed;
  CopySections(record_.view(), target, true, dictionaries);
  tabsWritten_ = true;
  dictionariesWritten_ = dictionariesWritten_ || dictionaries;
  return Result::kSuccess;
}

int32_t SettingsSession::NotifyLoader(std::optional<Notice>* notice) {
  const int32_t result = ToInt(SendToLoader(kLoaderReloadMessage, ReloadWParam(), ReloadLParam()));
  if (notice != nullptr && result != 0 && ReloadWParam() != 0) {
    *notice = Notice{FormatWithNumber(kNotKeptFormat, result), NoticeIcon::kWarning};
  }
  return result;
}

}  // namespace quillet::settings
