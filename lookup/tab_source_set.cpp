#include "lookup/tab_source_set.h"

#include <algorithm>
#include <cstring>

#include "common/options_record.h"
#include "common/settings_record.h"

namespace quillet {

size_t DictionaryPositionForTab(const uint8_t* record, size_t size, size_t tab) {
  const ConstSettingsView settings(record, size);
  if (tab >= settings.tabCount()) return 0;
  // The tab's id is signed, the dictionary's unsigned: compared as integers, so -1 never matches.
  const int position = DictionaryPosition(settings, settings.tab(tab).dictionaryId());
  return position < 0 ? 0 : static_cast<size_t>(position);
}

int TabPositionForId(const uint8_t* record, size_t size, int16_t tabId) {
  if (tabId < 0) return -1;
  return TabPosition(ConstSettingsView(record, size), tabId);
}

void TabSourceSet::Rebuild() {
  Clear();
  const std::vector<std::optional<RankView>>& ranks = published_.rankings();
  rankings_.assign(std::max(ranks.size(), published_.directory().size()), RankingData{});
  for (size_t i = 0; i < rankings_.size(); ++i) {
    if (i < ranks.size() && ranks[i]) rankings_[i].rank = &*ranks[i];
    rankings_[i].learned = published_.learned();
    rankings_[i].sounds = published_.sounds(i);
  }
  const uint8_t* options = published_.options();
  const size_t optionsSize = published_.optionsSize();
  if (published_.settings() == nullptr) return;
  const ConstSettingsView settings(published_.settings(), published_.settingsSize());
  // A count beyond the record's nine tabs cannot come from this system; only nine are read.
  const size_t count = std::min(settings.tabCount(), kNameSlots);
  // Made aside and taken over at the end: an allocation failure on the way leaves no sources.
  std::vector<std::unique_ptr<TabSource>> sources;
  sources.reserve(count);
  std::vector<bool> nextWords(count, false);
  for (size_t t = 0; t < count; ++t) {
    const ConstTabRecord tab = settings.tab(t);
    const size_t position = DictionaryPositionForTab(settings.bytes(), kSettingsRecordSize, t);
    const RankingData* ranking = position < rankings_.size() ? &rankings_[position] : nullptr;
    // A source that cannot be allocated stays an empty slot, so source t still belongs to tab t.
    sources.push_back(CreateTabSource(published_.directory(), position, tab.minWordLength(), ranking));
    const TabOptions tabOptions = ReadTabOptions(options, optionsSize, tab.tabId());
    nextWords[t] = tabOptions.nextWords;
    if (sources.back() != nullptr) {
      sources.back()->SetOrder(tabOptions.order);
      sources.back()->SetForgiving(tabOptions.forgiving);
      sources.back()->SetContext(context_);
    }
    tabNames_[t] = tab.name();
  }
  sources_.swap(sources);
  nextWords_.swap(nextWords);
  tabCount_ = static_cast<uint16_t>(count);
}

void TabSourceSet::Clear() {
  sources_.clear();
  rankings_.clear();
}

void TabSourceSet::SetContext(const WordHistory& history) {
  context_ = history;
  for (const std::unique_ptr<TabSource>& source : sources_) {
    if (source != nullptr) source->SetContext(history);
  }
}

bool TabSourceSet::ShownOffersNextWords() const {
  const size_t t = ShownPosition();
  return t < nextWords_.size() && nextWords_[t];
}

size_t TabSourceSet::NextWords() {
  TabSource* s = ShownSource();
  return s == nullptr ? 0 : s->NextWords();
}

TabSource* TabSourceSet::ShownSource() {
  if (sources_.empty()) return nullptr;
  return shownTab_ < sources_.size() ? sources_[shownTab_].get() : sources_[0].get();
}

size_t TabSourceSet::SetPrefix(const char16_t* text, size_t length) {
  TabSource* s = ShownSource();
  if (s == nullptr || text == nullptr) return 0;
  return s->SetPrefix(std::u16string_view(text, length));
}

size_t TabSourceSet::AppendLetter(char16_t c) {
  TabSource* s = ShownSource();
  return s == nullptr ? 0 : s->AppendLetter(c);
}

size_t TabSourceSet::PreviousPage() {
  TabSource* s = ShownSource();
  return s == nullptr ? 0 : s->PreviousPage();
}

size_t TabSourceSet::NextPage() {
  TabSource* s = ShownSource();
  return s == nullptr ? 0 : s->NextPage();
}

std::u16string TabSourceSet::CommitText(size_t i) {
  TabSource* s = ShownSource();
  const Candidate* c = s == nullptr ? nullptr : s->CandidateAt(i);
  if (c == nullptr) return {};
  return c->commit.empty() ? c->word : c->commit;
}

std::u16string TabSourceSet::DescriptionText(size_t i) {
  TabSource* s = ShownSource();
  const Candidate* c = s == nullptr ? nullptr : s->CandidateAt(i);
  return c == nullptr ? std::u16string() : c->description;
}

// The tab whose settings the shown source stands for: shownTab_, or 0 when it is out of range.
size_t TabSourceSet::ShownPosition() const { return shownTab_ < sources_.size() ? shownTab_ : 0; }

bool TabSourceSet::ShownTabRecord(ConstTabRecord* out) {
  if (ShownSource() == nullptr || published_.settings() == nullptr) return false;
  const ConstSettingsView settings(published_.settings(), published_.settingsSize());
  const size_t t = ShownPosition();
  if (t >= settings.tabCount()) return false;
  *out = settings.tab(t);
  return true;
}

uint16_t TabSourceSet::ShowFromLetters() {
  ConstTabRecord tab;
  return ShownTabRecord(&tab) ? tab.showFromLetters() : 0;
}

int TabSourceSet::LinkedTabPosition() {
  ConstTabRecord tab;
  if (!ShownTabRecord(&tab)) return -1;
  return TabPositionForId(published_.settings(), kSettingsRecordSize, tab.linkTabId());
}

}  // namespace quillet
