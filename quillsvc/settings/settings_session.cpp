#include "quillsvc/settings/settings_session.h"

#include <cstring>

#include "common/tab_options.h"
#include "ipc/loader_link.h"
#include "ipc/protocol.h"

namespace quillet::settings {

SettingsSession::~SettingsSession() { Close(); }

void SettingsSession::Close() {
  CloseBlock(block_, false);
  CloseBlock(optionsBlock_, false);
}

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
  {
    const BlockReadLock lock(block_);
    if (!lock.held()) return kReadLockFailedText;
    record_.CopyFrom(block_.view(), block_.viewSize());
  }
  // A loader without the options block still serves the settings; the sheet then edits no options.
  if (OpenTabOptionsBlock(optionsBlock_) == Result::kSuccess) {
    std::vector<uint8_t> copy(kTabOptionsRecordSize);
    const BlockReadLock lock(optionsBlock_);
    if (lock.held()) {
      std::memcpy(copy.data(), optionsBlock_.view(), copy.size());
      options_ = std::move(copy);
    }
  }
  return std::nullopt;
}

Result SettingsSession::CommitSection(SettingsSection section) {
  const bool dictionaries = section == SettingsSection::kDictionaryPage;
  SettingsView target(block_.view(), block_.viewSize());
  if (!target.valid()) return Result::kMappingOpenFailed;
  {
    const BlockWriteLock lock(block_);
    if (!lock.held()) return Result::kWaitFailed;
    CopySections(record_.view(), target, true, dictionaries);
    tabsWritten_ = true;
    dictionariesWritten_ = dictionariesWritten_ || dictionaries;
  }
  // The options go with the tabs they belong to; never under the settings lock.
  if (section != SettingsSection::kAppearancePage && !options_.empty()) {
    const BlockWriteLock lock(optionsBlock_);
    if (!lock.held()) return Result::kWaitFailed;
    std::memcpy(optionsBlock_.view(), options_.data(), kTabOptionsRecordSize);
    optionsWritten_ = true;
  }
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
