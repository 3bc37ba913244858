#include "lookup/tab_source_set.h"

#include <algorithm>
#include <cstring>

#include "common/ranking_image.h"
#include "common/settings_record.h"
#include "common/tab_options.h"

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

TabSourceSet::~TabSourceSet() { Close(); }

Result TabSourceSet::Open() {
  Result r = OpenSettingsBlock(settings_);
  if (r != Result::kSuccess) return r;
  r = OpenDictionaryBlock(dictionaries_);
  if (r != Result::kSuccess) return r;
  // Without the options block every tab has the defaults, and without ranking data every order is
  // dictionary order: neither is an error.
  (void)OpenTabOptionsBlock(options_);
  (void)OpenLearnInboxBlock(inbox_);
  OpenRanking();
  Rebuild();
  return Result::kSuccess;
}

void TabSourceSet::UsePrivateRanking(std::vector<uint8_t> image) {
  sources_.clear();  // they may point into what goes
  ranking_.Close();
  privateRanking_ = std::move(image);
  OpenRanking();
}

void TabSourceSet::OpenRanking() {
  if (ranking_.mapped()) return;
  sources_.clear();
  rankings_.clear();
  rankViews_.clear();
  if (!privateRanking_.empty()) {
    rankViews_ = ReadRankingImage(privateRanking_.data(), privateRanking_.size());
  } else if (OpenRankingMapping(dictionaries_, &ranking_)) {
    rankViews_ = ReadRankingImage(ranking_.data(), ranking_.size());
  }
  rankings_.resize(rankViews_.size());
  for (size_t i = 0; i < rankViews_.size(); ++i) {
    if (rankViews_[i]) rankings_[i].rank = &*rankViews_[i];
    rankings_[i].learned = learned_ ? &*learned_ : nullptr;
  }
}

std::vector<uint8_t> TabSourceSet::OptionsRecord() {
  std::vector<uint8_t> record(kTabOptionsRecordSize, 0);  // before the lock: nothing may throw while it is held
  if (options_.view() == nullptr) return record;
  BlockReadLock lock(options_);
  if (lock) std::memcpy(record.data(), options_.view(), kTabOptionsRecordSize);
  return record;
}

void TabSourceSet::RefreshLearned() {
  // 0: nothing published yet, or the lock could not be had (the store open stays).
  const uint16_t generation = ReadLearnedGeneration(inbox_);
  if (generation == 0 || (generation == learnedGeneration_ && learned_)) return;
  learned_.reset();
  learnedMapping_.Close();
  learnedGeneration_ = generation;
  LearnedView view;
  if (OpenLearnedMapping(generation, &learnedMapping_) &&
      LearnedView::FromBytes(learnedMapping_.data(), learnedMapping_.size(), &view)) {
    learned_ = view;
  }
  for (RankingData& data : rankings_) data.learned = learned_ ? &*learned_ : nullptr;
}

void TabSourceSet::Report(LearnKind kind, std::u16string_view word) {
  if (inbox_.view() == nullptr) return;
  BlockWriteLock lock(inbox_);
  if (lock) AppendLearnEvent(inbox_.view(), inbox_.viewSize(), kind, word);
}

void TabSourceSet::ReportWritten(std::u16string_view text) {
  if (learningPaused_) return;
  SplitWords(
      text, [this](std::u16string_view word) { Report(LearnKind::kWord, word); },
      [this] { Report(LearnKind::kSentenceEnd, u""); });
}

void TabSourceSet::ReportForget(std::u16string_view word) { Report(LearnKind::kForget, word); }

void TabSourceSet::Rebuild() {
  sources_.clear();
  RefreshLearned();
  // Read before the settings lock is taken, so that no two of these locks are ever held together.
  const std::vector<uint8_t> options = OptionsRecord();
  learningPaused_ = LearningPaused(options.data(), options.size());
  toggleKey_ = ReadToggleKey(options.data(), options.size());
  BlockReadLock lock(settings_);
  if (!lock) return;
  const ConstSettingsView settings(settings_.view(), settings_.viewSize());
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
    sources.push_back(CreateTabSource(dictionaries_, position, tab.minWordLength(), ranking));
    const TabOptions tabOptions = ReadTabOptions(options.data(), options.size(), tab.tabId());
    nextWords[t] = tabOptions.nextWords;
    if (sources.back() != nullptr) {
      sources.back()->SetOrder(tabOptions.order);
      sources.back()->SetContext(context_);
    }
    tabNames_[t] = tab.name();
  }
  sources_.swap(sources);
  nextWords_.swap(nextWords);
  tabCount_ = static_cast<uint16_t>(count);
}

void TabSourceSet::Close() {
  // The sources read the ranking views, which read the mapping: they go first.
  sources_.clear();
  rankings_.clear();
  rankViews_.clear();
  ranking_.Close();
  learned_.reset();
  learnedMapping_.Close();
  learnedGeneration_ = 0;
  CloseBlock(inbox_, false);
  CloseBlock(options_, false);
  CloseBlock(dictionaries_, false);
  CloseBlock(settings_, false);
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

uint16_t TabSourceSet::ShowFromLetters() {
  if (ShownSource() == nullptr) return 0;
  BlockReadLock lock(settings_);
  if (!lock) return 0;
  const ConstSettingsView settings(settings_.view(), settings_.viewSize());
  const size_t t = ShownPosition();
  return t < settings.tabCount() ? settings.tab(t).showFromLetters() : 0;
}

int TabSourceSet::LinkedTabPosition() {
  if (ShownSource() == nullptr) return -1;
  BlockReadLock lock(settings_);
  if (!lock) return -1;
  const ConstSettingsView settings(settings_.view(), settings_.viewSize());
  const size_t t = ShownPosition();
  if (t >= settings.tabCount()) return -1;
  return TabPositionForId(settings.bytes(), kSettingsRecordSize, settings.tab(t).linkTabId());
}

}  // namespace quillet
