// The text service's one handle on both shared blocks and on the candidate sources of its tabs: one
// TabSource per tab of the settings, the shown tab, and the tab names for the language bar. The shown
// tab is the one whose words the list offers: the active tab (the user's choice, which the text
// service keeps), or for a moment the tab it links to after a pick.
// Each tab's order comes from the tabs' options block, and the ranking data from the mapping of the
// dictionary block's publication (both optional: without them, dictionary order).
// Lock order: the settings lock may be held while the dictionary lock is taken, never the reverse;
// the options lock is never held with another.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/learn_inbox.h"
#include "common/result.h"
#include "common/tab_options.h"
#include "ipc/shared_block.h"
#include "lookup/tab_source.h"

namespace quillet {

class TabSourceSet {
 public:
  static constexpr size_t kNameSlots = 9;  // the tab capacity of the settings record

  // Both blocks closed, no sources, tab 0 shown, no names.
  TabSourceSet() = default;
  ~TabSourceSet();
  TabSourceSet(const TabSourceSet&) = delete;
  TabSourceSet& operator=(const TabSourceSet&) = delete;

  // Opens the settings block, then the dictionary block (no-ops when open), then rebuilds. A failing
  // open returns its code unchanged and leaves the set without sources.
  Result Open();
  // Recreates one source per tab from the settings as they are now. When the settings lock fails the
  // set has no sources until the next successful rebuild; so too after an allocation failure, which
  // throws std::bad_alloc.
  void Rebuild();
  // Drops the sources, the ranking data and the options, then closes the dictionary block and the
  // settings block. The tab count and names keep their values.
  void Close();

  // The source of the shown tab, the first source when that is out of range, nullptr when there is
  // none (also for a tab whose source could not be allocated).
  TabSource* ShownSource();

  // The lookup the text service drives, on the shown source; 0 without one.
  size_t SetPrefix(const char16_t* text, size_t length);
  size_t SetPrefix(std::u16string_view text) { return SetPrefix(text.data(), text.size()); }
  size_t AppendLetter(char16_t c);
  size_t PreviousPage();
  size_t NextPage();
  size_t TurnPage(bool forward) { return forward ? NextPage() : PreviousPage(); }

  // The text a pick of candidate i inserts: its commit text, else its word; empty when i is not on
  // the shown page.
  std::u16string CommitText(size_t i);
  std::u16string DescriptionText(size_t i);

  // Read from the settings on each call: the shown tab's letters before candidates show (0 without
  // a shown source or when the lock fails), and the position of the tab it links to (-1 for none).
  uint16_t ShowFromLetters();
  int LinkedTabPosition();

  // The words before the one typed, for every source (kept across rebuilds).
  void SetContext(const WordHistory& history);
  const WordHistory& context() const { return context_; }
  // Reports what the user wrote to the loader's learning (words and sentence ends of `text`; nothing
  // while the options pause learning), or a word to forget. Nothing without the learning inbox; a full
  // inbox drops it.
  void ReportWritten(std::u16string_view text);
  void ReportForget(std::u16string_view word);

  // Whether the shown tab offers the likely next words after a pick (its options say so), and that
  // page on the shown source (its count; 0 without one or in dictionary order).
  bool ShownOffersNextWords() const;
  size_t NextWords();

  // The key that opens and closes the input method, from the options as of the last rebuild (a lone
  // Shift without them).
  ToggleKey toggleKey() const { return toggleKey_; }

  void SetShownTab(size_t tab) { shownTab_ = tab; }
  size_t shownTab() const { return shownTab_; }

  uint16_t tabCount() const { return tabCount_; }
  // Names as of the last rebuild; position t below kNameSlots.
  const std::array<std::u16string, kNameSlots>& tabNames() const { return tabNames_; }
  size_t sourceCount() const { return sources_.size(); }
  TabSource* Source(size_t t) { return t < sources_.size() ? sources_[t].get() : nullptr; }

  // The blocks, for the candidate window's reads under their locks and for tests and tools that
  // publish blocks of their own.
  SharedBlock& settingsBlock() { return settings_; }
  DictionaryBlock& dictionaryBlock() { return dictionaries_; }
  SharedBlock& optionsBlock() { return options_; }
  SharedBlock& learnInbox() { return inbox_; }
  // Opens the ranking data of the dictionary block as it is open now (Open does this).
  void OpenRanking();
  // Ranking data published in this process instead (tools and tests that publish blocks of their
  // own): an image as the loader's mapping holds it (common/ranking_image.h). Rebuild to use it.
  void UsePrivateRanking(std::vector<uint8_t> image);

 private:
  size_t ShownPosition() const;
  // A copy of the tabs' options (the defaults without the block or its lock).
  std::vector<uint8_t> OptionsRecord();
  // Opens the learned store the inbox names when it is another than the one open; the sources must
  // be gone (they read it).
  void RefreshLearned();
  void Report(LearnKind kind, std::u16string_view word);

  SharedBlock settings_;
  DictionaryBlock dictionaries_;
  SharedBlock options_;
  SharedBlock inbox_;
  platform::Mapping learnedMapping_;
  uint16_t learnedGeneration_ = 0;
  std::optional<LearnedView> learned_;
  platform::Mapping ranking_;
  std::vector<uint8_t> privateRanking_;
  std::vector<std::optional<RankView>> rankViews_;
  std::vector<RankingData> rankings_;  // per dictionary position; the sources point into it
  WordHistory context_;
  std::vector<bool> nextWords_;  // per source, from the tabs' options
  bool learningPaused_ = false;  // from the tabs' options
  ToggleKey toggleKey_ = ToggleKey::kShift;
  std::vector<std::unique_ptr<TabSource>> sources_;
  uint16_t tabCount_ = 0;
  std::array<std::u16string, kNameSlots> tabNames_;
  size_t shownTab_ = 0;
};

// Settings-record reads of the tab sources, on the record's bytes (size checked). Positions of the
// dictionary a tab draws from (0 when no id matches) and of the tab with a given id (-1 for none).
size_t DictionaryPositionForTab(const uint8_t* record, size_t size, size_t tab);
int TabPositionForId(const uint8_t* record, size_t size, int16_t tabId);

}  // namespace quillet
