// One run of the settings sheet without its windows: the loader is made sure of, the settings block
// (and the options and programs blocks, when the loader has them) opened and copied into private
// records, pages' sections written back under the write lock, and the loader told at the end what
// was written. The Windows sheet drives it; tests drive it natively.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "common/settings_record.h"
#include "ipc/shared_block.h"
#include "platform/error.h"
#include "quillsvc/settings/notice.h"

namespace quillet::settings {

// Messages of a run.
inline constexpr std::u16string_view kLoaderFailedText = u"Fail to load setting data!";
inline constexpr std::u16string_view kBlockFailedText = u"Can not open setting file!";
inline constexpr std::u16string_view kReadLockFailedText = u"Can not open setting file !";
inline constexpr std::u16string_view kWriteFailedFormat =
    u"The settings could not be saved: another program kept them locked (error %d). Nothing was saved. Press "
    u"Apply to try again, or Cancel to leave without saving.";
inline constexpr std::u16string_view kNotKeptFormat =
    u"The Quillet loader did not confirm that it kept the new settings (error %d). If they are missing the next "
    u"time you type, open the settings again and repeat your changes.";

class SettingsSession {
 public:
  // Makes sure the loader runs; returns its result (0 and 10 count as success).
  using LoaderStarter = std::function<int32_t(std::u16string_view commandLine)>;

  SettingsSession();
  ~SettingsSession();  // closes the block; a lock is never held between calls
  SettingsSession(const SettingsSession&) = delete;
  SettingsSession& operator=(const SettingsSession&) = delete;

  // Everything before the sheet shows: the loader ("from setting"), the block, the copy. Nullopt on
  // success, else the message to show (the run ends without a sheet). Without a starter the loader
  // next to this module is used.
  std::optional<std::u16string_view> Open(const LoaderStarter& starter = nullptr);

  SettingsRecord& record() { return record_; }
  SettingsView view() { return record_.view(); }
  // The copy of the options; null when the loader publishes none.
  std::vector<uint8_t>* options() { return options_.empty() ? nullptr : &options_; }
  // The copy of the per-program rules; null when the loader has none.
  std::vector<uint8_t>* programs() { return programs_.empty() ? nullptr : &programs_; }
  // The words the loader's learned store ranks highest (at most 256, the most used first), as read
  // when the session opened; empty without a published store.
  const std::vector<std::u16string>& learnedWords() const { return learnedWords_; }
  // What the learning page asks of the loader, sent with its section's commit (then emptied).
  struct LearningEdits {
    bool clearAll = false;               // first forget everything
    std::vector<std::u16string> add;     // then take these as written twice
    std::vector<std::u16string> forget;  // then forget each of these
  };
  LearningEdits& learningEdits() { return learningEdits_; }
  bool hasLearnInbox() const { return inbox_.view() != nullptr; }

  // Writes the section(s) of `section` from the private record into the block under the write lock:
  // the tab and appearance pages write the tabs section, the dictionary page the dictionaries section
  // and then the tabs section; the tab and dictionary pages then write the options into theirs, the
  // general page writes only the options, and the learning page the options (its pause) and its edits
  // into the learning inbox, the programs page only the program rules. kWaitFailed (the block keeps the wait error)
  // when the lock could not be taken: nothing is written and the written flags stay as they were.
  Result CommitSection(SettingsSection section);

  bool tabsWritten() const { return tabsWritten_; }

  // The reload message's parameters: wParam 1 when any section was written, lParam 1 when the
  // dictionaries section was.
  uintptr_t ReloadWParam() const {
    return tabsWritten_ || dictionariesWritten_ || optionsWritten_ || programsWritten_ ? 1 : 0;
  }
  intptr_t ReloadLParam() const { return dictionariesWritten_ ? 1 : 0; }
  // After the sheet closed: sends the loader the reload message (also when nothing was written) and
  // returns its result. When something was written and the loader did not take it, *notice is set.
  int32_t NotifyLoader(std::optional<Notice>* notice);

  void Close();

 private:
  SharedBlock block_;
  SettingsRecord record_;
  SharedBlock optionsBlock_;
  std::vector<uint8_t> options_;
  SharedBlock programsBlock_;
  std::vector<uint8_t> programs_;
  SharedBlock inbox_;
  std::vector<std::u16string> learnedWords_;
  LearningEdits learningEdits_;
  bool tabsWritten_ = false;
  bool dictionariesWritten_ = false;
  bool optionsWritten_ = false;
  bool programsWritten_ = false;
};

}  // namespace quillet::settings
