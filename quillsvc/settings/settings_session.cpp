#include "quillsvc/settings/settings_session.h"

#include <cstring>

#include "common/learn_inbox.h"
#include "common/learned_store.h"
#include "common/options_record.h"
#include "common/program_rules.h"
#include "ipc/loader_link.h"
#include "ipc/protocol.h"
#include "lookup/published_data.h"

namespace quillet::settings {

SettingsSession::SettingsSession() {
  for (SharedBlock* block : {&block_, &optionsBlock_, &programsBlock_, &inbox_}) block->policy = kSheetLockPolicy;
}

SettingsSession::~SettingsSession() { Close(); }

void SettingsSession::Close() {
  CloseBlock(block_, false);
  CloseBlock(optionsBlock_, false);
  CloseBlock(programsBlock_, false);
  CloseBlock(inbox_, false);
}

namespace {

// The single words of the store by falling weight, as written.
std::vector<std::u16string> RankedWords(const LearnedView& store) {
  std::vector<std::u16string> words;
  for (uint32_t k = 0; k < store.rankedCount(); ++k) {
    LearnedRecord record;
    if (!store.Record(store.Ranked(k), &record) || record.pair()) continue;
    words.push_back(record.form.ToString());
  }
  return words;
}

}  // namespace

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
  // The learned words, as the loader published them last (none: an empty list).
  if (OpenLearnInboxBlock(inbox_) == Result::kSuccess) {
    PublishedData published;
    if (published.Open() == Result::kSuccess && published.learned() != nullptr) {
      learnedWords_ = RankedWords(*published.learned());
    }
  }
  // A loader without the options block still serves the settings; the sheet then edits no options.
  if (OpenOptionsBlock(optionsBlock_) == Result::kSuccess) {
    std::vector<uint8_t> copy(kOptionsRecordSize);
    const BlockReadLock lock(optionsBlock_);
    if (lock.held()) {
      std::memcpy(copy.data(), optionsBlock_.view(), copy.size());
      options_ = std::move(copy);
    }
  }
  // Nor without the programs block: the sheet then edits no program rules.
  if (OpenProgramsBlock(programsBlock_) == Result::kSuccess) {
    std::vector<uint8_t> copy(kProgramRulesSize);
    const BlockReadLock lock(programsBlock_);
    if (lock.held()) {
      std::memcpy(copy.data(), programsBlock_.view(), copy.size());
      programs_ = std::move(copy);
    }
  }
  return std::nullopt;
}

Result SettingsSession::CommitSection(SettingsSection section) {
  if (section == SettingsSection::kProgramsPage) {
    if (programs_.empty()) return Result::kSuccess;
    const BlockWriteLock lock(programsBlock_);
    if (!lock.held()) return Result::kWaitFailed;
    std::memcpy(programsBlock_.view(), programs_.data(), kProgramRulesSize);
    programsWritten_ = true;
    return Result::kSuccess;
  }
  const bool dictionaries = section == SettingsSection::kDictionaryPage;
  SettingsView target(block_.view(), block_.viewSize());
  if (!target.valid()) return Result::kMappingOpenFailed;
  const bool optionsOnly = section == SettingsSection::kLearningPage || section == SettingsSection::kGeneralPage;
  if (!optionsOnly) {
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
    std::memcpy(optionsBlock_.view(), options_.data(), kOptionsRecordSize);
    optionsWritten_ = true;
  }
  if (section == SettingsSection::kLearningPage && inbox_.view() != nullptr &&
      (learningEdits_.clearAll || !learningEdits_.add.empty() || !learningEdits_.forget.empty())) {
    const BlockWriteLock lock(inbox_);
    if (!lock.held()) return Result::kWaitFailed;
    if (learningEdits_.clearAll) AppendLearnEvent(inbox_.view(), inbox_.viewSize(), LearnKind::kClear, u"");
    for (const std::u16string& word : learningEdits_.add) {
      AppendLearnEvent(inbox_.view(), inbox_.viewSize(), LearnKind::kAddWord, word);
    }
    for (const std::u16string& word : learningEdits_.forget) {
      AppendLearnEvent(inbox_.view(), inbox_.viewSize(), LearnKind::kForget, word);
    }
    learningEdits_ = LearningEdits{};
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
