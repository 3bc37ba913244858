// The text service's candidate sources: one TabSource per tab of the settings, the shown tab, and the
// tab names for the language bar, over what the loader publishes (a PublishedData owned beside it).
// The shown tab is the one whose words the list offers: the active tab (the user's choice, which the
// text service keeps), or for a moment the tab it links to after a pick. Each tab's order and whether
// it forgives spelling mistakes come from the options record and the ranking data from the ranking publication (both
// optional: without them, dictionary order).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/options_record.h"
#include "common/result.h"
#include "common/settings_record.h"
#include "lookup/published_data.h"
#include "lookup/tab_source.h"

namespace quillet {

class TabSourceSet {
 public:
  static constexpr size_t kNameSlots = 9;  // the tab capacity of the settings record

  // No sources, tab 0 shown, no names. `published` outlives the set; whoever changes what it holds
  // (opens, refreshes or closes it) drops the sources first, with Clear(), and rebuilds after.
  explicit TabSourceSet(const PublishedData& published) : published_(published) {}
  TabSourceSet(const TabSourceSet&) = delete;
  TabSourceSet& operator=(const TabSourceSet&) = delete;

  // Recreates one source per tab from the published settings and options. Without settings the set
  // has no sources; so too after an allocation failure, which throws std::bad_alloc.
  void Rebuild();
  // Drops the sources. The tab count and names keep their values.
  void Clear();

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

  // From the settings: the shown tab's letters before candidates show (0 without a shown source), and
  // the position of the tab it links to (-1 for none).
  uint16_t ShowFromLetters();
  int LinkedTabPosition();

  // The words before the one typed, for every source (kept across rebuilds).
  void SetContext(const WordHistory& history);
  const WordHistory& context() const { return context_; }
  // Whether the shown tab offers the likely next words after a pick (its options say so), and that
  // page on the shown source (its count; 0 without one or in dictionary order).
  bool ShownOffersNextWords() const;
  size_t NextWords();

  void SetShownTab(size_t tab) { shownTab_ = tab; }
  size_t shownTab() const { return shownTab_; }

  uint16_t tabCount() const { return tabCount_; }
  // Names as of the last rebuild; position t below kNameSlots.
  const std::array<std::u16string, kNameSlots>& tabNames() const { return tabNames_; }
  size_t sourceCount() const { return sources_.size(); }
  TabSource* Source(size_t t) { return t < sources_.size() ? sources_[t].get() : nullptr; }

  // The settings record the sources were built from (what the candidate window reads); null when
  // there is none.
  const uint8_t* settingsRecord() const { return published_.settings(); }
  size_t settingsSize() const { return published_.settingsSize(); }

 private:
  size_t ShownPosition() const;
  // The shown tab's record in the settings; false without one.
  bool ShownTabRecord(ConstTabRecord* out);

  const PublishedData& published_;
  std::vector<RankingData> rankings_;  // per dictionary position; the sources point into it
  WordHistory context_;
  std::vector<bool> nextWords_;  // per source, from the options
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
