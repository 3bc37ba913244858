// What a page asks its window to tell the user: a message box text and its icon. The pages' models
// decide the texts; the windows only show them.
#pragma once

#include <string>
#include <string_view>

namespace quillet::settings {

enum class NoticeIcon { kWarning, kError };

struct Notice {
  std::u16string text;
  NoticeIcon icon = NoticeIcon::kError;
};

// The sections a page commits through the sheet, by page.
enum class SettingsSection : int {
  kTabPage = 1,
  kDictionaryPage = 2,
  kAppearancePage = 3,
  kLearningPage = 4,
  kGeneralPage = 5,
  kProgramsPage = 6
};

// A number as decimal text, and `format` with its "%d" replaced by the number.
std::u16string DecimalText(long value);
std::u16string FormatWithNumber(std::u16string_view format, long value);

// The page-level outcome of Apply: refused with a notice (the sheet stays on the page), or accepted,
// with a commit of the page's section when it had changed.
struct ApplyDecision {
  bool refused = false;
  Notice notice;        // set when refused
  bool commit = false;  // the page changed since its last commit: write its section
};

}  // namespace quillet::settings
