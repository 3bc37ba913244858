#include "common/settings_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/appearance_templates.h"
#include "common/le.h"

namespace quillet {
namespace {

// A record with `count` tabs whose ids and links are given, written straight into the bytes.
SettingsRecord WithTabs(const std::vector<uint16_t>& ids, const std::vector<int16_t>& links = {}) {
  SettingsRecord r;
  SettingsView s = r.view();
  for (size_t i = 0; i < ids.size(); ++i) {
    s.tab(i).SetTabId(ids[i]);
    s.tab(i).SetLinkTabId(i < links.size() ? links[i] : -1);
  }
  s.SetTabCount(static_cast<uint16_t>(ids.size()));
  return r;
}

SettingsRecord WithDictionaries(const std::vector<uint16_t>& ids) {
  SettingsRecord r;
  SettingsView s = r.view();
  for (size_t i = 0; i < ids.size(); ++i) s.dictionary(i).SetDictionaryId(ids[i]);
  s.SetDictionaryCount(static_cast<uint16_t>(ids.size()));
  return r;
}

bool SameBytes(const uint8_t* a, const uint8_t* b, size_t begin, size_t end) {
  return std::memcmp(a + begin, b + begin, end - begin) == 0;
}

TEST(SettingsRecord, LastSlotsLieAtTheirDocumentedOffsets) {
  SettingsRecord r;
  SettingsView s = r.view();
  const uint8_t* base = r.data();
  EXPECT_EQ(s.tab(8).bytes() - base, 2324);
  EXPECT_EQ(s.tab(8).bytes() + kTabRecordSize - base, 2600);
  EXPECT_EQ(s.dictionary(11).bytes() - base, 14528);
  EXPECT_EQ(s.dictionary(11).bytes() + kDictionaryRecordSize - base, 15588);
  EXPECT_FALSE(s.tab(9).valid());
  EXPECT_FALSE(s.dictionary(12).valid());

  // A field of each kind written through the accessors lands on its byte.
  TabRecord t = s.tab(8);
  t.SetMinWordLength(0x0304);
  t.SetLinkTabId(-1);
  t.SetTitle(u"T");
  ElementColors window;
  window.highlightForeground = 359;  // the gradient angle
  t.SetColors(AppearanceElement::kWindow, window);
  EXPECT_EQ(LoadU16(base + 2326), 0x0304);
  EXPECT_EQ(LoadU16(base + 2330), 0xFFFF);
  EXPECT_EQ(LoadU16(base + 2368), u'T');
  EXPECT_EQ(LoadU32(base + 2432 + 148), 359u);
  s.SetVisible(AppearanceElement::kVScrollBar, true);
  s.SetFontName(AppearanceElement::kAdditionBar, u"F");
  s.SetDictionaryCount(2);
  EXPECT_EQ(base[113], 1);
  EXPECT_EQ(LoadU16(base + 2608 + 192), u'F');
  EXPECT_EQ(LoadU16(base + 2864), 2);
  s.dictionary(11).SetPath(u"p");
  EXPECT_EQ(LoadU16(base + 15076), u'p');
  for (size_t i = kTrailingReservedOffset; i < kSettingsRecordSize; ++i) ASSERT_EQ(base[i], 0) << i;
}

TEST(SettingsRecord, ViewsWorkInPlaceOnUnalignedForeignBytes) {
  // The shared block is a plain byte range; a record at an odd address reads the same as a copy.
  SettingsRecord r = MakeDefaultSettings();
  std::vector<uint8_t> block(kSettingsRecordSize + 1, 0);
  std::memcpy(block.data() + 1, r.data(), kSettingsRecordSize);
  SettingsView s(block.data() + 1, kSettingsRecordSize);
  ASSERT_TRUE(s.valid());
  EXPECT_EQ(s.tab(0).name(), u"English");
  EXPECT_EQ(s.tab(0).appearance(), TemplateColors(0));
  s.tab(0).SetTitle(u"Words");
  EXPECT_EQ(s.tab(0).title(), u"Words");

  SettingsRecord copy;
  ASSERT_TRUE(copy.CopyFrom(block.data() + 1, kSettingsRecordSize));
  EXPECT_EQ(copy.view().tab(0).title(), u"Words");
  EXPECT_FALSE(copy.CopyFrom(block.data(), kSettingsRecordSize - 1));
  EXPECT_EQ(copy.view().tab(0).title(), u"Words");
}

TEST(SettingsRecord, TooSmallSpanGivesAnInertView) {
  std::vector<uint8_t> bytes(kSettingsRecordSize - 1, 0xAB);
  SettingsView s(bytes.data(), bytes.size());
  EXPECT_FALSE(s.valid());
  EXPECT_EQ(s.tabCount(), 0u);
  EXPECT_EQ(s.dictionaryCount(), 0u);
  EXPECT_FALSE(s.tab(0).valid());
  EXPECT_EQ(s.tab(0).name(), u"");
  EXPECT_EQ(s.tab(0).linkTabId(), -1);
  s.SetTabCount(1);
  s.tab(0).SetName(u"x");
  EXPECT_FALSE(AddTab(s));
  EXPECT_FALSE(AddDictionary(s, u"a.dict"));
  EXPECT_FALSE(ApplyTemplate(s, 0, 0));
  SettingsRecord r;
  EXPECT_FALSE(CopySections(r.view(), s, true, true));
  EXPECT_FALSE(CopySections(s, r.view(), true, true));
  for (uint8_t b : bytes) ASSERT_EQ(b, 0xAB);
}

TEST(SettingsRecord, TextFieldsStopAtTheirCapacity) {
  SettingsRecord r;
  TabRecord t = r.view().tab(0);
  // Garbage after the terminator (a foreign writer) is ignored.
  std::memset(t.bytes() + kTabNameOffset, 0x41, 2 * kTabNameCapacity);
  StoreU16(t.bytes() + kTabNameOffset + 6, 0);
  EXPECT_EQ(t.name(), u"\u4141\u4141\u4141");
  // No terminator at all: the reader stops at the capacity, not in the title.
  t.SetTitle(u"title");
  std::memset(t.bytes() + kTabNameOffset, 0x42, 2 * kTabNameCapacity);
  EXPECT_EQ(t.name().size(), kTabNameCapacity);

  EXPECT_FALSE(t.SetName(u"An overlong tab name"));
  EXPECT_EQ(t.name(), u"An overlong tab");
  EXPECT_EQ(t.title(), u"title");
  EXPECT_TRUE(t.SetName(u"Short"));
  for (size_t i = 5; i < kTabNameCapacity; ++i) EXPECT_EQ(LoadU16(t.bytes() + kTabNameOffset + 2 * i), 0);

  // A surrogate pair that does not fit is dropped whole.
  std::u16string pair = u"abcdefghijklmn\U0001F600";
  EXPECT_FALSE(t.SetName(pair));
  EXPECT_EQ(t.name(), u"abcdefghijklmn");

  DictionaryRecord d = r.view().dictionary(0);
  EXPECT_FALSE(d.SetDescription(std::u16string(300, u'x')));
  EXPECT_EQ(d.description(), std::u16string(255, u'x'));
  EXPECT_EQ(d.path(), u"");
  EXPECT_FALSE(r.view().SetFontName(AppearanceElement::kTab, std::u16string(40, u'f')));
  EXPECT_EQ(r.view().fontName(AppearanceElement::kTab), std::u16string(31, u'f'));
  EXPECT_EQ(r.view().fontName(AppearanceElement::kCandidateList), u"");
}

TEST(SettingsRecord, AllocateIdTakesTheSmallestFreeId) {
  EXPECT_EQ(AllocateId(WithTabs({1, 2}).view(), IdList::kTabs), 0);
  EXPECT_EQ(AllocateId(WithTabs({7, 0, 300}).view(), IdList::kTabs), 1);
  EXPECT_EQ(AllocateId(WithDictionaries({3, 2, 1, 0}).view(), IdList::kDictionaries), 4);
  // The lists do not mix.
  EXPECT_EQ(AllocateId(WithTabs({0, 1}).view(), IdList::kDictionaries), 0);
}

TEST(SettingsRecord, PositionsAreFoundByIdAmongValidEntriesOnly) {
  SettingsRecord r = WithTabs({4, 0, 5});
  r.view().tab(3).SetTabId(9);  // beyond the count
  EXPECT_EQ(TabPosition(r.view(), 5), 2);
  EXPECT_EQ(TabPosition(r.view(), 9), -1);
  EXPECT_EQ(TabPosition(r.view(), -1), -1);
  r.view().tab(0).SetTabId(0xFFFF);  // compared as signed 16-bit
  EXPECT_EQ(TabPosition(r.view(), -1), 0);

  SettingsRecord d = WithDictionaries({2, 0});
  EXPECT_EQ(DictionaryPosition(d.view(), 0), 1);
  EXPECT_EQ(DictionaryPosition(d.view(), 7), -1);
  EXPECT_EQ(DictionaryPosition(d.view(), -1), -1);
}

TEST(SettingsRecord, NewTabGetsTheDefaultsAndFillsOnlyEmptyFonts) {
  SettingsRecord r = WithTabs({0, 2});
  SettingsView s = r.view();
  std::memset(s.tab(2).bytes(), 0x5A, kTabRecordSize);  // stale bytes in the slot
  s.SetFontName(AppearanceElement::kCandidateList, u"Arial");
  s.SetFontSize(AppearanceElement::kCandidateList, 12);

  ASSERT_TRUE(AddTab(s));
  EXPECT_EQ(s.tabCount(), 3u);
  ConstTabRecord t = s.tab(2);
  EXPECT_EQ(t.tabId(), 1);
  EXPECT_EQ(t.name(), u"New Tab");
  EXPECT_EQ(t.title(), u"");
  EXPECT_EQ(t.linkTabId(), -1);
  // Byte for byte the first template; every other field zero, whatever the slot held.
  EXPECT_EQ(std::memcmp(t.bytes() + kTabAppearanceOffset, TemplateBlock(0), kTabAppearanceSize), 0);
  for (size_t i = 0; i < kTabNameOffset; ++i) {
    if (i < 4 || i >= 8) {  // id and link were checked above
      EXPECT_EQ(t.bytes()[i], 0) << i;
    }
  }
  for (size_t i = kTabNameOffset + 2 * 7; i < kTabAppearanceOffset; ++i) ASSERT_EQ(t.bytes()[i], 0) << i;

  EXPECT_EQ(s.fontName(AppearanceElement::kTab), u"Times New Roman");
  EXPECT_EQ(s.fontSize(AppearanceElement::kTab), 16);
  EXPECT_EQ(s.fontName(AppearanceElement::kCandidateList), u"Arial");
  EXPECT_EQ(s.fontSize(AppearanceElement::kCandidateList), 12);
  EXPECT_EQ(s.fontName(AppearanceElement::kAdditionBar), u"Times New Roman");
}

TEST(SettingsRecord, AddingToAFullListWritesNothing) {
  SettingsRecord r;
  for (size_t i = 0; i < kMaxTabs; ++i) ASSERT_TRUE(AddTab(r.view()));
  for (size_t i = 0; i < kMaxTabs; ++i) EXPECT_EQ(r.view().tab(i).tabId(), i);
  for (size_t i = 0; i < kMaxDictionaries; ++i) ASSERT_TRUE(AddDictionary(r.view(), u"d.dict"));
  const SettingsRecord before = r;
  EXPECT_FALSE(AddTab(r.view()));
  EXPECT_FALSE(AddDictionary(r.view(), u"e.dict"));
  EXPECT_EQ(std::memcmp(before.data(), r.data(), kSettingsRecordSize), 0);
}

TEST(SettingsRecord, NewDictionaryIsNamedAfterItsFile) {
  EXPECT_EQ(DictionaryNameFromPath(u"dicts\\medical.terms.dict"), u"medical.terms");
  EXPECT_EQ(DictionaryNameFromPath(u"C:names.dict"), u"names");
  EXPECT_EQ(DictionaryNameFromPath(u"odd.dir\\noext"), u"noext");

  SettingsRecord r = WithDictionaries({1});
  SettingsView s = r.view();
  std::memset(s.dictionary(1).bytes(), 0x33, kDictionaryRecordSize);
  ASSERT_TRUE(AddDictionary(s, u"lists\\a very long dictionary name.dict"));
  ConstDictionaryRecord d = s.dictionary(1);
  EXPECT_EQ(s.dictionaryCount(), 2u);
  EXPECT_EQ(d.dictionaryId(), 0);
  EXPECT_EQ(d.name(), u"a very long dic");
  EXPECT_EQ(d.path(), u"lists\\a very long dictionary name.dict");
  EXPECT_EQ(d.description(), u"");
  EXPECT_EQ(LoadU16(d.bytes() + 2), 0);

  // A path that does not fit would name another file: refused rather than cut.
  EXPECT_FALSE(AddDictionary(s, std::u16string(256, u'p')));
  EXPECT_FALSE(AddDictionary(s, u""));
  EXPECT_TRUE(AddDictionary(s, std::u16string(255, u'p')));
  EXPECT_EQ(s.dictionary(2).path().size(), 255u);
  EXPECT_EQ(s.dictionaryCount(), 3u);
}

TEST(SettingsRecord, RemovingADictionaryRepointsItsTabsToTheNewFirst) {
  SettingsRecord r = WithDictionaries({3, 0, 5});
  SettingsView s = r.view();
  s.dictionary(1).SetName(u"zero");
  for (size_t i = 0; i < 4; ++i) AddTab(s);
  s.tab(0).SetDictionaryId(3);
  s.tab(1).SetDictionaryId(5);
  s.tab(2).SetDictionaryId(3);
  s.tab(3).SetDictionaryId(-1);
  s.tab(4).SetDictionaryId(3);  // beyond the tab count: not touched

  ASSERT_TRUE(RemoveDictionary(s, 0));
  ASSERT_EQ(s.dictionaryCount(), 2u);
  EXPECT_EQ(s.dictionary(0).name(), u"zero");
  EXPECT_EQ(s.dictionary(1).dictionaryId(), 5);
  EXPECT_EQ(s.tab(0).dictionaryId(), 0);
  EXPECT_EQ(s.tab(1).dictionaryId(), 5);
  EXPECT_EQ(s.tab(2).dictionaryId(), 0);
  EXPECT_EQ(s.tab(3).dictionaryId(), -1);
  EXPECT_EQ(s.tab(4).dictionaryId(), 3);
  for (size_t i = 0; i < kDictionaryRecordSize; ++i) ASSERT_EQ(s.dictionary(2).bytes()[i], 0);

  ASSERT_TRUE(RemoveDictionary(s, 1));  // tabs on id 5 move to id 0
  EXPECT_EQ(s.tab(1).dictionaryId(), 0);
  EXPECT_FALSE(RemoveDictionary(s, 1));
  ASSERT_TRUE(RemoveDictionary(s, 0));  // the last one may go; the tabs keep their ids
  EXPECT_EQ(s.dictionaryCount(), 0u);
  EXPECT_EQ(s.tab(1).dictionaryId(), 0);
  EXPECT_EQ(s.tab(4).dictionaryId(), 3);
  EXPECT_FALSE(RemoveDictionary(s, 0));
}

TEST(SettingsRecord, SectionWriteBackLeavesEverythingElseUntouched) {
  SettingsRecord edited;
  SettingsRecord block;
  for (size_t i = 0; i < kSettingsRecordSize; ++i) {
    edited.data()[i] = static_cast<uint8_t>(i * 7 + 1);
    block.data()[i] = static_cast<uint8_t>(i * 13 + 5);
  }
  const SettingsRecord original = block;

  ASSERT_TRUE(CopySections(edited.view(), block.view(), true, false));
  EXPECT_TRUE(SameBytes(block.data(), original.data(), 0, 104));
  EXPECT_TRUE(SameBytes(block.data(), edited.data(), 104, 2864));
  EXPECT_TRUE(SameBytes(block.data(), original.data(), 2864, kSettingsRecordSize));

  block = original;
  ASSERT_TRUE(CopySections(edited.view(), block.view(), false, true));
  EXPECT_TRUE(SameBytes(block.data(), original.data(), 0, 2864));
  EXPECT_TRUE(SameBytes(block.data(), edited.data(), 2864, 15588));
  EXPECT_TRUE(SameBytes(block.data(), original.data(), 15588, kSettingsRecordSize));
}

TEST(SettingsRecord, CountsBeyondCapacityAreClamped) {
  SettingsRecord r = WithTabs({0, 1, 2, 3, 4, 5, 6, 7, 8});
  SettingsView s = r.view();
  s.SetTabCount(50);
  s.SetDictionaryCount(0xFFFF);
  EXPECT_EQ(s.rawTabCount(), 50);
  EXPECT_EQ(s.tabCount(), kMaxTabs);
  EXPECT_EQ(s.rawDictionaryCount(), 0xFFFF);
  EXPECT_EQ(s.dictionaryCount(), kMaxDictionaries);
  EXPECT_EQ(AllocateId(s, IdList::kTabs), 9);
  EXPECT_EQ(TabPosition(s, 8), 8);
  EXPECT_EQ(DictionaryPosition(s, 99), -1);
  EXPECT_FALSE(AddTab(s));
  EXPECT_FALSE(AddDictionary(s, u"x.dict"));
  EXPECT_FALSE(ApplyTemplate(s, 9, 1));

  // Editing a foreign record leaves it within capacity.
  ASSERT_TRUE(RemoveDictionary(s, 11));
  EXPECT_EQ(s.rawDictionaryCount(), 11);
  for (size_t i = kTrailingReservedOffset; i < kSettingsRecordSize; ++i) ASSERT_EQ(r.data()[i], 0) << i;
}

TEST(SettingsRecord, FontsResolveToTheDefaultAndAMinimumSize) {
  SettingsRecord r;
  SettingsView s = r.view();
  s.SetFontSize(AppearanceElement::kTab, 3);
  s.SetFontName(AppearanceElement::kTitleBar, u"Courier New");
  s.SetFontSize(AppearanceElement::kTitleBar, 22);
  ResolvedFont f = ResolveFont(s, AppearanceElement::kTab);
  EXPECT_EQ(f.name, u"Times New Roman");
  EXPECT_EQ(f.size, 6);
  f = ResolveFont(s, AppearanceElement::kTitleBar);
  EXPECT_EQ(f.name, u"Courier New");
  EXPECT_EQ(f.size, 22);
  f = ResolveFont(s, AppearanceElement::kWindow);
  EXPECT_EQ(f.name, u"Times New Roman");
  EXPECT_EQ(f.size, 16);
}

// One tab on the one dictionary, with every part of the window shown.
TEST(SettingsRecord, DefaultRecordIsUsable) {
  const SettingsRecord r = MakeDefaultSettings();
  ConstSettingsView s = r.view();
  ASSERT_EQ(s.dictionaryCount(), 1u);
  ASSERT_EQ(s.tabCount(), 1u);
  EXPECT_EQ(DictionaryPosition(s, s.tab(0).dictionaryId()), 0);
  for (size_t e = 0; e < kVisibleFlagCount; ++e) EXPECT_EQ(r.data()[kVisibleOffset + e], 1);
}

TEST(SettingsRecord, ColourConversions) {
  EXPECT_EQ(ArgbFromColorRef(0x00332211u, 0x80), 0x80112233u);
  EXPECT_EQ(ColorRefFromArgb(0x80112233u), 0x00332211u);
  EXPECT_EQ(OpaqueArgb(0x00A52A00u), OpaqueArgb(0xFFA52A00u));
  EXPECT_EQ(ArgbAlpha(0x7E000000u), 0x7E);
}

}  // namespace
}  // namespace quillet
