// Any bytes as the settings record, through the reads the tab sources and the candidate window make:
// counts, tab and dictionary fields, fonts, the dictionary a tab draws from and the tab an id names.
// Nothing reads outside the bytes (they lie alone on the heap, of any size); positions are in range
// and name what they were asked for; a new id is never one in use.
// First input byte: bit 0 patches a record of several tabs and dictionaries with the rest (each three
// bytes an offset and a value, two left over cut it short); else the rest is the record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "common/settings_record.h"
#include "lookup/tab_source_set.h"

namespace {

using namespace quillet;

const std::vector<uint8_t>& BaseRecord() {
  static const std::vector<uint8_t> base = [] {
    SettingsRecord r = MakeDefaultSettings();
    const SettingsView s = r.view();
    for (const char16_t* path : {u"a.dict", u"sub/b.dict", u"c.dict"}) AddDictionary(s, path);
    for (int i = 0; i < 3; ++i) AddTab(s);
    s.tab(1).SetDictionaryId(2);
    s.tab(1).SetLinkTabId(2);
    s.tab(2).SetDictionaryId(3);
    s.tab(2).SetLinkTabId(0);
    s.tab(3).SetTitle(u"Title");
    return std::vector<uint8_t>(r.data(), r.data() + r.size());
  }();
  return base;
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t* rest = data + 1;
  const size_t restSize = size - 1;
  std::vector<uint8_t> bytes;
  if (data[0] & 1) {
    bytes = BaseRecord();
    for (size_t k = 0; k + 3 <= restSize; k += 3) bytes[(rest[k] << 8 | rest[k + 1]) % bytes.size()] = rest[k + 2];
    if (restSize % 3 == 2) bytes.resize((rest[restSize - 2] << 8 | rest[restSize - 1]) % (bytes.size() + 1));
  } else {
    bytes.assign(rest, rest + restSize);
  }
  const size_t recordSize = bytes.size();
  std::unique_ptr<uint8_t[]> record(new uint8_t[recordSize == 0 ? 1 : recordSize]);
  if (recordSize != 0) std::memcpy(record.get(), bytes.data(), recordSize);

  const ConstSettingsView s(record.get(), recordSize);
  Check(s.valid() == (recordSize >= kSettingsRecordSize));
  const size_t tabs = s.tabCount(), dictionaries = s.dictionaryCount();
  Check(tabs <= kMaxTabs && dictionaries <= kMaxDictionaries);
  Check(s.valid() || (tabs == 0 && dictionaries == 0));
  (void)s.layoutKind();
  for (size_t e = 0; e < kAppearanceElementCount; ++e) {
    const auto element = static_cast<AppearanceElement>(e);
    (void)s.visible(element);
    Check(s.fontName(element).size() <= kFontNameCapacity);
    const ResolvedFont font = ResolveFont(s, element);
    Check(!font.name.empty() && font.size >= kMinFontSize);
  }
  for (size_t i = 0; i <= kMaxDictionaries; ++i) {
    const ConstDictionaryRecord d = s.dictionary(i);
    Check(d.valid() == (s.valid() && i < kMaxDictionaries));
    Check(d.name().size() <= kDictionaryNameCapacity && d.description().size() <= kDictionaryDescriptionCapacity &&
          d.path().size() <= kDictionaryPathCapacity);
  }
  for (size_t t = 0; t <= kMaxTabs; ++t) {
    const ConstTabRecord tab = s.tab(t);
    Check(tab.valid() == (s.valid() && t < kMaxTabs));
    (void)tab.showFromLetters();
    (void)tab.minWordLength();
    Check(tab.name().size() <= kTabNameCapacity && tab.title().size() <= kTabTitleCapacity);
    (void)tab.appearance();
    for (size_t e = 0; e <= kAppearanceElementCount; ++e) (void)tab.colors(static_cast<AppearanceElement>(e));

    // The dictionary the tab's source reads: one with the tab's id, else the first.
    const size_t position = DictionaryPositionForTab(record.get(), recordSize, t);
    const int named = DictionaryPosition(s, tab.dictionaryId());
    if (t < tabs && named >= 0) {
      Check(position == static_cast<size_t>(named) && position < dictionaries);
      Check(static_cast<int32_t>(s.dictionary(position).dictionaryId()) == tab.dictionaryId());
    } else {
      Check(position == 0);
    }
    // The tab a pick links to.
    const int linked = TabPositionForId(record.get(), recordSize, tab.linkTabId());
    if (linked >= 0) {
      Check(tab.linkTabId() >= 0 && static_cast<size_t>(linked) < tabs);
      Check(static_cast<int16_t>(s.tab(static_cast<size_t>(linked)).tabId()) == tab.linkTabId());
    }
  }
  for (const IdList list : {IdList::kTabs, IdList::kDictionaries}) {
    const uint16_t id = AllocateId(s, list);
    const size_t n = list == IdList::kTabs ? tabs : dictionaries;
    Check(id <= n);
    for (size_t i = 0; i < n; ++i) {
      Check((list == IdList::kTabs ? s.tab(i).tabId() : s.dictionary(i).dictionaryId()) != id);
    }
  }
  return 0;
}
