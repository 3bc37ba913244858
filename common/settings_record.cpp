#include "common/settings_record.h"

#include <algorithm>
#include <cstring>

#include "common/appearance_templates.h"
#include "common/le.h"

namespace quillet {
namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

size_t ElementIndex(AppearanceElement e) { return static_cast<size_t>(e); }

// Nothing outside the section is touched.
void CopySection(ConstSettingsView from, SettingsView to, ByteRange section) {
  std::memmove(to.bytes() + section.begin, from.bytes() + section.begin, section.size());
}

}  // namespace

// ---- Colours ------------------------------------------------------------------------------------------

bool TabAppearance::operator==(const TabAppearance& o) const {
  for (size_t e = 0; e < kAppearanceElementCount; ++e) {
    if (elements[e] != o.elements[e]) return false;
  }
  return true;
}

ElementColors ReadElementColors(const uint8_t* p) {
  ElementColors c;
  c.foreground = LoadU32(p);
  c.highlightForeground = LoadU32(p + 4);
  c.background = LoadU32(p + 8);
  c.highlightBackground = LoadU32(p + 12);
  c.border = LoadU32(p + 16);
  c.highlightBorder = LoadU32(p + 20);
  return c;
}

void WriteElementColors(uint8_t* p, const ElementColors& c) {
  StoreU32(p, c.foreground);
  StoreU32(p + 4, c.highlightForeground);
  StoreU32(p + 8, c.background);
  StoreU32(p + 12, c.highlightBackground);
  StoreU32(p + 16, c.border);
  StoreU32(p + 20, c.highlightBorder);
}

TabAppearance ReadTabAppearance(const uint8_t* p) {
  TabAppearance a;
  for (size_t e = 0; e < kAppearanceElementCount; ++e) a.elements[e] = ReadElementColors(p + kElementColorsSize * e);
  return a;
}

void WriteTabAppearance(uint8_t* p, const TabAppearance& a) {
  for (size_t e = 0; e < kAppearanceElementCount; ++e) WriteElementColors(p + kElementColorsSize * e, a.elements[e]);
}

// ---- Text fields ----------------------------------------------------------------------------------------

std::u16string ReadFixedText(const uint8_t* p, size_t capacity) {
  std::u16string s;
  for (size_t i = 0; i < capacity; ++i) {
    const char16_t c = static_cast<char16_t>(LoadU16(p + 2 * i));
    if (c == 0) break;
    s.push_back(c);
  }
  return s;
}

bool WriteFixedText(uint8_t* p, size_t capacity, std::u16string_view text) {
  if (capacity == 0) return text.empty();
  size_t n = std::min(text.size(), capacity - 1);
  const bool whole = n == text.size();
  // A high surrogate whose partner was cut off would be a malformed character.
  if (!whole && n > 0 && IsHighSurrogate(text[n - 1])) --n;
  for (size_t i = 0; i < n; ++i) StoreU16(p + 2 * i, text[i]);
  std::memset(p + 2 * n, 0, 2 * (capacity - n));
  return whole;
}

// ---- Tab record -------------------------------------------------------------------------------------------

uint16_t ConstTabRecord::showFromLetters() const { return p_ ? LoadU16(p_ + kTabShowFromLettersOffset) : 0; }
uint16_t ConstTabRecord::minWordLength() const { return p_ ? LoadU16(p_ + kTabMinWordLengthOffset) : 0; }
uint16_t ConstTabRecord::tabId() const { return p_ ? LoadU16(p_ + kTabIdOffset) : 0; }
int16_t ConstTabRecord::linkTabId() const { return p_ ? LoadI16(p_ + kTabLinkTabIdOffset) : -1; }
int16_t ConstTabRecord::dictionaryId() const { return p_ ? LoadI16(p_ + kTabDictionaryIdOffset) : 0; }
std::u16string ConstTabRecord::name() const { return p_ ? ReadFixedText(p_ + kTabNameOffset, kTabNameCapacity) : u""; }
std::u16string ConstTabRecord::title() const {
  return p_ ? ReadFixedText(p_ + kTabTitleOffset, kTabTitleCapacity) : u"";
}
TabAppearance ConstTabRecord::appearance() const {
  return p_ ? ReadTabAppearance(p_ + kTabAppearanceOffset) : TabAppearance{};
}
ElementColors ConstTabRecord::colors(AppearanceElement e) const {
  const size_t i = ElementIndex(e);
  if (!p_ || i >= kAppearanceElementCount) return ElementColors{};
  return ReadElementColors(p_ + kTabAppearanceOffset + kElementColorsSize * i);
}

void TabRecord::SetShowFromLetters(uint16_t v) const {
  if (p_) StoreU16(bytes() + kTabShowFromLettersOffset, v);
}
void TabRecord::SetMinWordLength(uint16_t v) const {
  if (p_) StoreU16(bytes() + kTabMinWordLengthOffset, v);
}
void TabRecord::SetTabId(uint16_t v) const {
  if (p_) StoreU16(bytes() + kTabIdOffset, v);
}
void TabRecord::SetLinkTabId(int16_t v) const {
  if (p_) StoreI16(bytes() + kTabLinkTabIdOffset, v);
}
void TabRecord::SetDictionaryId(int16_t v) const {
  if (p_) StoreI16(bytes() + kTabDictionaryIdOffset, v);
}
bool TabRecord::SetName(std::u16string_view v) const {
  return p_ && WriteFixedText(bytes() + kTabNameOffset, kTabNameCapacity, v);
}
bool TabRecord::SetTitle(std::u16string_view v) const {
  return p_ && WriteFixedText(bytes() + kTabTitleOffset, kTabTitleCapacity, v);
}
void TabRecord::SetColors(AppearanceElement e, const ElementColors& c) const {
  const size_t i = ElementIndex(e);
  if (p_ && i < kAppearanceElementCount) WriteElementColors(bytes() + kTabAppearanceOffset + kElementColorsSize * i, c);
}
void TabRecord::Clear() const {
  if (p_) std::memset(bytes(), 0, kTabRecordSize);
}

// ---- Dictionary record --------------------------------------------------------------------------------------

uint16_t ConstDictionaryRecord::dictionaryId() const { return p_ ? LoadU16(p_ + kDictionaryIdOffset) : 0; }
std::u16string ConstDictionaryRecord::name() const {
  return p_ ? ReadFixedText(p_ + kDictionaryNameOffset, kDictionaryNameCapacity) : u"";
}
std::u16string ConstDictionaryRecord::description() const {
  return p_ ? ReadFixedText(p_ + kDictionaryDescriptionOffset, kDictionaryDescriptionCapacity) : u"";
}
std::u16string ConstDictionaryRecord::path() const {
  return p_ ? ReadFixedText(p_ + kDictionaryPathOffset, kDictionaryPathCapacity) : u"";
}

void DictionaryRecord::SetDictionaryId(uint16_t v) const {
  if (p_) StoreU16(bytes() + kDictionaryIdOffset, v);
}
bool DictionaryRecord::SetName(std::u16string_view v) const {
  return p_ && WriteFixedText(bytes() + kDictionaryNameOffset, kDictionaryNameCapacity, v);
}
bool DictionaryRecord::SetDescription(std::u16string_view v) const {
  return p_ && WriteFixedText(bytes() + kDictionaryDescriptionOffset, kDictionaryDescriptionCapacity, v);
}
bool DictionaryRecord::SetPath(std::u16string_view v) const {
  return p_ && WriteFixedText(bytes() + kDictionaryPathOffset, kDictionaryPathCapacity, v);
}
void DictionaryRecord::Clear() const {
  if (p_) std::memset(bytes(), 0, kDictionaryRecordSize);
}

// ---- Whole record ---------------------------------------------------------------------------------------------

uint16_t ConstSettingsView::rawTabCount() const { return p_ ? LoadU16(p_ + kTabCountOffset) : 0; }
size_t ConstSettingsView::tabCount() const { return std::min<size_t>(rawTabCount(), kMaxTabs); }
uint8_t ConstSettingsView::layoutKind() const { return p_ ? p_[kLayoutKindOffset] : 0; }

bool ConstSettingsView::visible(AppearanceElement e) const {
  const size_t i = ElementIndex(e);
  if (i >= kVisibleFlagCount) return true;
  return p_ && p_[kVisibleOffset + i] != 0;
}

uint16_t ConstSettingsView::fontSize(AppearanceElement e) const {
  const size_t i = ElementIndex(e);
  return p_ && i < kFontCount ? LoadU16(p_ + kFontSizeOffset + 2 * i) : 0;
}

std::u16string ConstSettingsView::fontName(AppearanceElement e) const {
  const size_t i = ElementIndex(e);
  if (!p_ || i >= kFontCount) return u"";
  return ReadFixedText(p_ + kFontNameOffset + 2 * kFontNameCapacity * i, kFontNameCapacity);
}

uint16_t ConstSettingsView::rawDictionaryCount() const { return p_ ? LoadU16(p_ + kDictionaryCountOffset) : 0; }
size_t ConstSettingsView::dictionaryCount() const { return std::min<size_t>(rawDictionaryCount(), kMaxDictionaries); }

ConstTabRecord ConstSettingsView::tab(size_t i) const {
  return p_ && i < kMaxTabs ? ConstTabRecord(p_ + kTabsOffset + kTabRecordSize * i) : ConstTabRecord();
}

ConstDictionaryRecord ConstSettingsView::dictionary(size_t i) const {
  return p_ && i < kMaxDictionaries ? ConstDictionaryRecord(p_ + kDictionariesOffset + kDictionaryRecordSize * i)
                                    : ConstDictionaryRecord();
}

void SettingsView::SetTabCount(uint16_t v) const {
  if (p_) StoreU16(bytes() + kTabCountOffset, v);
}
void SettingsView::SetLayoutKind(uint8_t v) const {
  if (p_) bytes()[kLayoutKindOffset] = v;
}
void SettingsView::SetVisible(AppearanceElement e, bool shown) const {
  const size_t i = ElementIndex(e);
  if (p_ && i < kVisibleFlagCount) bytes()[kVisibleOffset + i] = shown ? 1 : 0;
}
void SettingsView::SetFontSize(AppearanceElement e, uint16_t v) const {
  const size_t i = ElementIndex(e);
  if (p_ && i < kFontCount) StoreU16(bytes() + kFontSizeOffset + 2 * i, v);
}
bool SettingsView::SetFontName(AppearanceElement e, std::u16string_view v) const {
  const size_t i = ElementIndex(e);
  return p_ && i < kFontCount &&
         WriteFixedText(bytes() + kFontNameOffset + 2 * kFontNameCapacity * i, kFontNameCapacity, v);
}
void SettingsView::SetDictionaryCount(uint16_t v) const {
  if (p_) StoreU16(bytes() + kDictionaryCountOffset, v);
}

TabRecord SettingsView::tab(size_t i) const {
  return p_ && i < kMaxTabs ? TabRecord(bytes() + kTabsOffset + kTabRecordSize * i) : TabRecord();
}

DictionaryRecord SettingsView::dictionary(size_t i) const {
  return p_ && i < kMaxDictionaries ? DictionaryRecord(bytes() + kDictionariesOffset + kDictionaryRecordSize * i)
                                    : DictionaryRecord();
}

bool SettingsRecord::CopyFrom(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kSettingsRecordSize) return false;
  std::memcpy(bytes_.data(), data, kSettingsRecordSize);
  return true;
}

// ---- Editing rules ----------------------------------------------------------------------------------------------

uint16_t AllocateId(ConstSettingsView s, IdList list) {
  const bool tabs = list == IdList::kTabs;
  const size_t n = tabs ? s.tabCount() : s.dictionaryCount();
  bool used[kMaxDictionaries + 1] = {};
  static_assert(kMaxDictionaries >= kMaxTabs, "one marker array serves both lists");
  for (size_t i = 0; i < n; ++i) {
    const uint16_t id = tabs ? s.tab(i).tabId() : s.dictionary(i).dictionaryId();
    if (id < n) used[id] = true;
  }
  uint16_t id = 0;
  while (id < n && used[id]) ++id;
  return id;
}

int TabPosition(ConstSettingsView s, int16_t id) {
  const size_t n = s.tabCount();
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<int16_t>(s.tab(i).tabId()) == id) return static_cast<int>(i);
  }
  return -1;
}

int DictionaryPosition(ConstSettingsView s, int32_t id) {
  const size_t n = s.dictionaryCount();
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<int32_t>(s.dictionary(i).dictionaryId()) == id) return static_cast<int>(i);
  }
  return -1;
}

bool AddTab(SettingsView s) {
  if (!s.valid() || s.rawTabCount() >= kMaxTabs) return false;
  const size_t n = s.tabCount();
  const uint16_t id = AllocateId(s, IdList::kTabs);
  TabRecord t = s.tab(n);
  t.Clear();
  t.SetName(kNewTabName);
  t.SetLinkTabId(-1);
  t.SetTabId(id);
  std::memcpy(t.bytes() + kTabAppearanceOffset, TemplateBlock(0), kTabAppearanceSize);
  for (size_t e = 0; e < kFontCount; ++e) {
    const auto element = static_cast<AppearanceElement>(e);
    if (s.fontName(element).empty()) {
      s.SetFontName(element, kDefaultFontName);
      s.SetFontSize(element, kDefaultFontSize);
    }
  }
  s.SetTabCount(static_cast<uint16_t>(n + 1));
  return true;
}

std::u16string DictionaryNameFromPath(std::u16string_view path) {
  const size_t slash = path.find_last_of(u"\\/:");
  std::u16string_view file = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = file.rfind(u'.');
  // A leading dot ("\.dict") is a name, not an extension.
  if (dot != std::u16string_view::npos && dot > 0) file = file.substr(0, dot);
  return std::u16string(file);
}

bool AddDictionary(SettingsView s, std::u16string_view relativePath) {
  if (!s.valid() || s.rawDictionaryCount() >= kMaxDictionaries) return false;
  if (relativePath.empty() || relativePath.size() >= kDictionaryPathCapacity) return false;
  const size_t n = s.dictionaryCount();
  const uint16_t id = AllocateId(s, IdList::kDictionaries);
  DictionaryRecord d = s.dictionary(n);
  d.Clear();
  d.SetDictionaryId(id);
  d.SetName(DictionaryNameFromPath(relativePath));
  d.SetPath(relativePath);
  s.SetDictionaryCount(static_cast<uint16_t>(n + 1));
  return true;
}

bool RemoveDictionary(SettingsView s, size_t position) {
  const size_t n = s.dictionaryCount();
  if (position >= n) return false;
  const int32_t removed = s.dictionary(position).dictionaryId();
  uint8_t* base = s.dictionary(0).bytes();
  std::memmove(base + kDictionaryRecordSize * position, base + kDictionaryRecordSize * (position + 1),
               kDictionaryRecordSize * (n - 1 - position));
  s.dictionary(n - 1).Clear();
  s.SetDictionaryCount(static_cast<uint16_t>(n - 1));
  // With none left the tabs keep their ids; they match the next dictionary added with the same id,
  // and the settings sheet refuses to apply an empty list meanwhile.
  if (n == 1) return true;
  const int16_t first = static_cast<int16_t>(s.dictionary(0).dictionaryId());
  const size_t tabs = s.tabCount();
  for (size_t i = 0; i < tabs; ++i) {
    TabRecord t = s.tab(i);
    if (static_cast<int32_t>(t.dictionaryId()) == removed) t.SetDictionaryId(first);
  }
  return true;
}

ResolvedFont ResolveFont(ConstSettingsView s, AppearanceElement e) {
  ResolvedFont f;
  if (ElementIndex(e) >= kFontCount) {
    f.name = std::u16string(kDefaultFontName);
    return f;
  }
  f.name = s.fontName(e);
  if (f.name.empty()) f.name = std::u16string(kDefaultFontName);
  f.size = std::max(s.fontSize(e), kMinFontSize);
  return f;
}

bool CopySections(ConstSettingsView from, SettingsView to, bool tabs, bool dictionaries) {
  if (!from.valid() || !to.valid()) return false;
  if (dictionaries) CopySection(from, to, kDictionariesSection);
  if (tabs) CopySection(from, to, kTabsSection);
  return true;
}

SettingsRecord MakeDefaultSettings() {
  SettingsRecord r;
  SettingsView s = r.view();
  AddDictionary(s, u"english.dict");
  s.dictionary(0).SetName(u"English");
  s.dictionary(0).SetDescription(u"English words for everyday writing");
  AddTab(s);
  s.tab(0).SetName(u"English");
  s.SetLayoutKind(0);
  for (size_t e = 0; e < kVisibleFlagCount; ++e) s.SetVisible(static_cast<AppearanceElement>(e), true);
  return r;
}

}  // namespace quillet
