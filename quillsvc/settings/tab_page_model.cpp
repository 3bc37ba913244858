#include "quillsvc/settings/tab_page_model.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "quillsvc/settings/section_snapshot.h"

namespace quillet::settings {

std::optional<TabPageModel::Fields> TabPageModel::FieldsOf(size_t p) const {
  if (p >= tabCount()) return std::nullopt;
  const ConstTabRecord t = s_.tab(p);
  Fields f;
  f.title = t.title();
  f.minWordLength = t.minWordLength();
  f.showFromLetters = t.showFromLetters();
  f.dictionaryChoice = DictionaryPosition(s_, t.dictionaryId());
  // No link, or a link to a tab that is gone, shows "None".
  f.linkChoice = t.linkTabId() < 0 ? 0 : 1 + TabPosition(s_, t.linkTabId());
  const TabOptions options = OptionsOf(t.tabId());
  f.orderChoice = static_cast<int>(options.order);
  f.spellingChoice = options.forgiving ? 1 : 0;
  f.nextWords = options.nextWords;
  return f;
}

std::vector<std::u16string> TabPageModel::OrderChoices() {
  return std::vector<std::u16string>(std::begin(kOrderTexts), std::end(kOrderTexts));
}

std::vector<std::u16string> TabPageModel::SpellingChoices() {
  return std::vector<std::u16string>(std::begin(kSpellingTexts), std::end(kSpellingTexts));
}

TabOptions TabPageModel::OptionsOf(int16_t tabId) const {
  return options_ != nullptr ? ReadTabOptions(options_->data(), options_->size(), tabId) : TabOptions{};
}

bool TabPageModel::StoreOptions(int16_t tabId, const TabOptions& options) {
  if (options_ == nullptr || OptionsOf(tabId) == options) return false;
  return WriteTabOptions(options_->data(), options_->size(), tabId, options);
}

bool TabPageModel::ChooseOrder(size_t p, int choice) {
  if (p >= tabCount()) return false;
  const int16_t id = static_cast<int16_t>(s_.tab(p).tabId());
  TabOptions options = OptionsOf(id);
  options.order = choice >= 0 && choice < static_cast<int>(std::size(kOrderTexts)) ? static_cast<CandidateOrder>(choice)
                                                                                   : CandidateOrder::kDictionary;
  return Mark(StoreOptions(id, options));
}

bool TabPageModel::ChooseSpelling(size_t p, int choice) {
  if (p >= tabCount()) return false;
  const int16_t id = static_cast<int16_t>(s_.tab(p).tabId());
  TabOptions options = OptionsOf(id);
  options.forgiving = choice == 1;
  return Mark(StoreOptions(id, options));
}

bool TabPageModel::SetNextWords(size_t p, bool offer) {
  if (p >= tabCount()) return false;
  const int16_t id = static_cast<int16_t>(s_.tab(p).tabId());
  TabOptions options = OptionsOf(id);
  options.nextWords = offer;
  return Mark(StoreOptions(id, options));
}

std::vector<std::u16string> TabPageModel::DictionaryChoices() const {
  std::vector<std::u16string> names;
  for (size_t i = 0; i < s_.dictionaryCount(); ++i) names.push_back(s_.dictionary(i).name());
  return names;
}

std::vector<std::u16string> TabPageModel::LinkChoices() const {
  std::vector<std::u16string> names{std::u16string(kNoLinkText)};
  for (size_t i = 0; i < tabCount(); ++i) names.push_back(s_.tab(i).name());
  return names;
}

std::optional<Notice> TabPageModel::CheckAdd() const {
  if (s_.rawTabCount() >= kMaxTabs) return Notice{std::u16string(kTooManyTabsText), NoticeIcon::kWarning};
  return std::nullopt;
}

std::optional<size_t> TabPageModel::Add() {
  if (!AddTab(s_)) return std::nullopt;
  Mark(true);
  // An id that a removed tab had starts afresh.
  StoreOptions(static_cast<int16_t>(s_.tab(tabCount() - 1).tabId()), TabOptions{});
  return tabCount() - 1;
}

bool TabPageModel::Remove(size_t p) {
  const size_t n = tabCount();
  if (p >= n) return false;
  const int16_t removed = static_cast<int16_t>(s_.tab(p).tabId());
  uint8_t* base = s_.tab(0).bytes();
  std::memmove(base + kTabRecordSize * p, base + kTabRecordSize * (p + 1), kTabRecordSize * (n - 1 - p));
  // The vacated slot is left as a new tab would find it.
  s_.tab(n - 1).Clear();
  s_.SetTabCount(static_cast<uint16_t>(n - 1));
  for (size_t i = 0; i + 1 < n; ++i) {
    const TabRecord t = s_.tab(i);
    if (t.linkTabId() == removed) t.SetLinkTabId(-1);
  }
  StoreOptions(removed, TabOptions{});
  return Mark(true);
}

std::optional<size_t> TabPageModel::MoveUp(size_t p) {
  if (p == 0 || p >= tabCount()) return std::nullopt;
  SwapTabs(p - 1, p);
  return p - 1;
}

std::optional<size_t> TabPageModel::MoveDown(size_t p) {
  if (p + 1 >= tabCount()) return std::nullopt;
  SwapTabs(p, p + 1);
  return p + 1;
}

void TabPageModel::SwapTabs(size_t a, size_t b) {
  // Whole records: ids travel with their tabs, so links stay right.
  std::swap_ranges(s_.tab(a).bytes(), s_.tab(a).bytes() + kTabRecordSize, s_.tab(b).bytes());
  Mark(true);
}

bool TabPageModel::Rename(size_t p, std::u16string_view name) {
  if (p >= tabCount()) return false;
  const SectionSnapshot before(s_, kTabsSection);
  Tab(p).SetName(name);
  return Mark(before.Changed());
}

bool TabPageModel::SetTitle(size_t p, std::u16string_view title) {
  if (p >= tabCount()) return false;
  const SectionSnapshot before(s_, kTabsSection);
  Tab(p).SetTitle(title);
  return Mark(before.Changed());
}

TabPageModel::LetterOutcome TabPageModel::SetLetters(size_t p, LetterField field, int value) {
  LetterOutcome out;
  if (p >= tabCount()) return out;
  if (value < 0) value = 0;
  if (value > kMaxLetterCount) {
    out.notice = Notice{FormatWithNumber(kLetterRangeFormat, kMaxLetterCount), NoticeIcon::kError};
    value = kMaxLetterCount;
  }
  const SectionSnapshot before(s_, kTabsSection);
  const TabRecord t = Tab(p);
  if (field == LetterField::kMinWordLength) {
    t.SetMinWordLength(static_cast<uint16_t>(value));
  } else {
    t.SetShowFromLetters(static_cast<uint16_t>(value));
  }
  out.changed = Mark(before.Changed());
  out.shown = value;
  return out;
}

std::optional<int> TabPageModel::StepLetters(size_t p, LetterField field, int position, int delta, bool* changed) {
  *changed = false;
  const long next = static_cast<long>(position) + delta;
  if (p >= tabCount() || next < 0 || next > kMaxLetterCount) return std::nullopt;
  *changed = SetLetters(p, field, static_cast<int>(next)).changed;
  return static_cast<int>(next);
}

bool TabPageModel::ChooseDictionary(size_t p, int choice) {
  if (p >= tabCount()) return false;
  const SectionSnapshot before(s_, kTabsSection);
  const bool known = choice >= 0 && static_cast<size_t>(choice) < s_.dictionaryCount();
  Tab(p).SetDictionaryId(known ? static_cast<int16_t>(s_.dictionary(static_cast<size_t>(choice)).dictionaryId()) : 0);
  return Mark(before.Changed());
}

bool TabPageModel::ChooseLink(size_t p, int choice) {
  if (p >= tabCount()) return false;
  const SectionSnapshot before(s_, kTabsSection);
  const bool known = choice > 0 && static_cast<size_t>(choice) <= tabCount();
  Tab(p).SetLinkTabId(known ? static_cast<int16_t>(s_.tab(static_cast<size_t>(choice) - 1).tabId()) : -1);
  return Mark(before.Changed());
}

ApplyDecision TabPageModel::Apply() {
  ApplyDecision d;
  if (tabCount() == 0) {
    d.refused = true;
    d.notice = Notice{std::u16string(kNoTabsText), NoticeIcon::kError};
    return d;
  }
  for (size_t i = 0; i < tabCount(); ++i) {
    if (s_.tab(i).dictionaryId() < 0) {
      d.refused = true;
      d.notice = Notice{std::u16string(kTabWithoutDictionaryText), NoticeIcon::kError};
      return d;
    }
  }
  d.commit = changed_;
  changed_ = false;
  return d;
}

}  // namespace quillet::settings
