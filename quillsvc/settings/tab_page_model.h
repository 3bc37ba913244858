// The rules of the "Tab" settings page over the sheet's private settings record and options:
// adding, removing, renaming and moving tabs, each tab's title, letter counts, dictionary, link, order
// of candidates, spelling (exact or forgiving) and next-word offer, and the checks on Apply. Positions are list
// positions (record order); every edit returns whether the record changed, which is what marks the page changed. The
// record may come from anywhere the loader got it: counts beyond capacity are clamped, unknown ids show as no choice,
// nothing is written that no edit asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/options_record.h"
#include "common/settings_record.h"
#include "quillsvc/settings/notice.h"

namespace quillet::settings {

constexpr int kMaxLetterCount = 128;

enum class LetterField {
  kMinWordLength,    // "Only show words longer than:"
  kShowFromLetters,  // "Show candidate from letters:"
};

class TabPageModel {
 public:
  // `options` is the sheet's copy of the options (kOptionsRecordSize bytes); null when the
  // loader publishes none, and then the order, spelling and next-word fields stay at their defaults.
  explicit TabPageModel(SettingsView settings, std::vector<uint8_t>* options = nullptr)
      : s_(settings), options_(options) {}

  size_t tabCount() const { return s_.tabCount(); }
  std::u16string TabName(size_t p) const { return s_.tab(p < tabCount() ? p : kMaxTabs).name(); }

  // What the editing controls show for tab p.
  struct Fields {
    std::u16string title;
    uint16_t minWordLength = 0;
    uint16_t showFromLetters = 0;
    int dictionaryChoice = -1;  // position in DictionaryChoices(), -1 when the id matches none
    int linkChoice = 0;         // position in LinkChoices(): 0 "None", 1 + the linked tab's position
    int orderChoice = 0;        // position in OrderChoices()
    int spellingChoice = 0;     // position in SpellingChoices()
    bool nextWords = false;
  };
  std::optional<Fields> FieldsOf(size_t p) const;

  // The "Dictionary:" entries (every dictionary's name in order) and the "Link to Tab:" entries
  // ("None", then every tab's name in order, the tab's own included).
  std::vector<std::u16string> DictionaryChoices() const;
  std::vector<std::u16string> LinkChoices() const;
  // The "Order:" entries, in CandidateOrder's order.
  static std::vector<std::u16string> OrderChoices();
  // The spelling entries: exact, then forgiving.
  static std::vector<std::u16string> SpellingChoices();
  bool hasOptions() const { return options_ != nullptr; }

  // "Add": a notice when the list is full, else nothing (then call Add).
  std::optional<Notice> CheckAdd() const;
  // Appends a new tab; its position, or nullopt when the list is full.
  std::optional<size_t> Add();
  // Removes tab p: the tabs after it move up, links to its id become "None". False without such a tab.
  bool Remove(size_t p);
  // Swaps tab p with its neighbour; ids and links stay with their tabs. The position the tab went to,
  // or nullopt when it cannot move (first Up, last Down, no such tab).
  std::optional<size_t> MoveUp(size_t p);
  std::optional<size_t> MoveDown(size_t p);
  // Stores at most 15 characters. True when the name changed.
  bool Rename(size_t p, std::u16string_view name);
  // Stores at most 31 characters.
  bool SetTitle(size_t p, std::u16string_view title);

  struct LetterOutcome {
    bool changed = false;
    std::optional<Notice> notice;  // the value was above the maximum
    int shown = 0;                 // what the field must show afterwards
  };
  // A typed value; above 128 it is refused with a notice and 128 is stored and shown instead.
  LetterOutcome SetLetters(size_t p, LetterField field, int value);
  // An up-down step from `position` by `delta`: the new value, or nullopt when it leaves 0..128 (the
  // step is refused and nothing changes). Stores the new value.
  std::optional<int> StepLetters(size_t p, LetterField field, int position, int delta, bool* changed);

  // A selection in "Dictionary:" (an out-of-range one means id 0) and in "Link to Tab:".
  bool ChooseDictionary(size_t p, int choice);
  bool ChooseLink(size_t p, int choice);
  // A selection in "Order:" (an out-of-range one means dictionary order) and the next-word box.
  bool ChooseOrder(size_t p, int choice);
  // A selection in the spelling choice (an out-of-range one means exact spelling).
  bool ChooseSpelling(size_t p, int choice);
  bool SetNextWords(size_t p, bool offer);

  // Apply: refuses with no tabs or with a tab whose dictionary id is negative; otherwise commits
  // when anything changed since the last commit, clearing the changed flag.
  ApplyDecision Apply();
  // A commit that could not be written: the page stays changed so that the next Apply tries again.
  void CommitFailed() { changed_ = true; }

  bool changed() const { return changed_; }

 private:
  TabRecord Tab(size_t p) const { return s_.tab(p < tabCount() ? p : kMaxTabs); }
  TabOptions OptionsOf(int16_t tabId) const;
  // Stores the options of a tab id; true when they changed.
  bool StoreOptions(int16_t tabId, const TabOptions& options);
  void SwapTabs(size_t a, size_t b);
  bool Mark(bool changed) {
    changed_ = changed_ || changed;
    return changed;
  }

  SettingsView s_;
  std::vector<uint8_t>* options_;
  bool changed_ = false;
};

// Messages of the page.
inline constexpr std::u16string_view kTooManyTabsText = u"Can not add more tabs.";
inline constexpr std::u16string_view kLetterRangeFormat = u"Please enter a value between 0 and %d";
inline constexpr std::u16string_view kNoTabsText = u"Must add at least one tab.";
inline constexpr std::u16string_view kTabWithoutDictionaryText = u"Dictionary index can not be empty.";
inline constexpr std::u16string_view kNoLinkText = u"None";
inline constexpr std::u16string_view kOrderTexts[] = {u"Dictionary order", u"Most likely first",
                                                      u"Most likely first, learning from my typing"};
inline constexpr std::u16string_view kSpellingTexts[] = {u"Exact spelling", u"Forgive spelling mistakes"};

}  // namespace quillet::settings
