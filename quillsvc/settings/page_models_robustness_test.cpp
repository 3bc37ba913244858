// The pages open on whatever record the loader publishes: random bytes, counts beyond capacity, names
// without terminators, ids that match nothing. Whatever the user does then, nothing is read or written
// outside the record (the sanitizers watch), the reserved ranges never change, and a section changes
// only when a page says it changed it.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "common/le.h"
#include "quillsvc/settings/appearance_page_model.h"
#include "quillsvc/settings/dict_page_model.h"
#include "quillsvc/settings/tab_page_model.h"

namespace quillet::settings {
namespace {

constexpr char16_t kModule[] = u"C:\\Quillet\\quillsvc.dll";

bool Same(const SettingsRecord& a, const SettingsRecord& b, ByteRange range) {
  return std::memcmp(a.data() + range.begin, b.data() + range.begin, range.size()) == 0;
}

SettingsRecord RandomRecord(std::mt19937& rng) {
  SettingsRecord r;
  std::uniform_int_distribution<int> byte(0, 255);
  for (size_t i = 0; i < kSettingsRecordSize; ++i) r.data()[i] = static_cast<uint8_t>(byte(rng));
  // Mostly small counts and ids, so that the lists have entries to work on; sometimes anything.
  if (rng() % 4 != 0) {
    SettingsView s = r.view();
    s.SetTabCount(static_cast<uint16_t>(rng() % 11));
    s.SetDictionaryCount(static_cast<uint16_t>(rng() % 14));
    for (size_t i = 0; i < kMaxTabs; ++i) {
      s.tab(i).SetTabId(static_cast<uint16_t>(rng() % 12));
      s.tab(i).SetLinkTabId(static_cast<int16_t>(static_cast<int>(rng() % 14) - 2));
      s.tab(i).SetDictionaryId(static_cast<int16_t>(static_cast<int>(rng() % 16) - 2));
    }
    for (size_t i = 0; i < kMaxDictionaries; ++i) s.dictionary(i).SetDictionaryId(static_cast<uint16_t>(rng() % 15));
  }
  return r;
}

std::u16string RandomText(std::mt19937& rng) {
  std::u16string t(rng() % 300, u'x');
  for (char16_t& c : t) c = static_cast<char16_t>(rng() % 3 == 0 ? 0xD800 + rng() % 0x800 : u'a' + rng() % 26);
  return t;
}

std::u16string RandomFile(std::mt19937& rng) {
  static const std::u16string kFiles[] = {
      u"C:\\Quillet\\a.dict", u"C:\\Quillet\\sub\\b.dict", u"C:\\other\\c.dict", u"D:\\d.dict", u"relative.dict", u"",
      u"C:\\Quillet\\A.DICT"};
  if (rng() % 5 == 0) return u"C:\\" + RandomText(rng) + u".dict";
  return kFiles[rng() % (sizeof(kFiles) / sizeof(kFiles[0]))];
}

TEST(PageModelsRobustness, AnyRecordAndAnyEditsStayInsideTheirSections) {
  std::mt19937 rng(20240611);
  const std::vector<std::u16string> fonts{u"Arial", u"Times New Roman"};
  for (int round = 0; round < 400; ++round) {
    SettingsRecord r = RandomRecord(rng);
    const SettingsRecord original = r;
    SettingsView s = r.view();
    TabPageModel tabs(s);
    DictPageModel dictionaries(s, kModule);
    AppearancePageModel appearance(s);
    const int steps = static_cast<int>(rng() % 30);
    for (int i = 0; i < steps; ++i) {
      const size_t p = rng() % 14;
      const int n = static_cast<int>(rng() % 300) - 20;
      const auto e = static_cast<AppearanceElement>(rng() % 9);
      bool changed = false;
      switch (rng() % 20) {
        case 0:
          tabs.Add();
          break;
        case 1:
          tabs.Remove(p);
          break;
        case 2:
          tabs.MoveUp(p);
          break;
        case 3:
          tabs.MoveDown(p);
          break;
        case 4:
          tabs.Rename(p, RandomText(rng));
          break;
        case 5:
          tabs.SetTitle(p, RandomText(rng));
          break;
        case 6:
          tabs.SetLetters(p, rng() % 2 ? LetterField::kMinWordLength : LetterField::kShowFromLetters, n);
          break;
        case 7:
          tabs.StepLetters(p, LetterField::kMinWordLength, n, static_cast<int>(rng() % 3) - 1, &changed);
          break;
        case 8:
          tabs.ChooseDictionary(p, n % 20);
          break;
        case 9:
          tabs.ChooseLink(p, n % 20);
          break;
        case 10:
          dictionaries.Add(RandomFile(rng));
          break;
        case 11:
          dictionaries.Browse(p, RandomFile(rng));
          break;
        case 12:
          dictionaries.Remove(p);
          break;
        case 13:
          dictionaries.Rename(p, RandomText(rng));
          break;
        case 14:
          dictionaries.SetDescription(p, RandomText(rng));
          break;
        case 15: {
          std::optional<ElementControls> c = appearance.Load(p, e, fonts);
          if (c && rng() % 2) {
            c->colors[rng() % 3] = {static_cast<uint32_t>(rng()), static_cast<uint8_t>(rng())};
            c->angle = n * 3;
            c->fontChoice = n % 4;
            c->fontSize = n;
            c->visible = !c->visible;
          }
          if (c) appearance.Store(p, e, *c, fonts);
          break;
        }
        case 16:
          appearance.ApplyTemplate(p, rng() % 7);
          break;
        default: {
          // What the windows read to fill their controls.
          tabs.FieldsOf(p);
          tabs.LinkChoices();
          tabs.DictionaryChoices();
          dictionaries.FullPath(p);
          appearance.TabNames();
          appearance.PreviewTab();
          break;
        }
      }
      ASSERT_TRUE(Same(r, original, {0, kTabsSection.begin}));
      ASSERT_TRUE(Same(r, original, {kTrailingReservedOffset, kSettingsRecordSize}));
    }
    const bool anyChange = tabs.changed() || dictionaries.changed() || appearance.changed();
    if (!Same(r, original, kDictionariesSection)) {
      ASSERT_TRUE(dictionaries.changed()) << round;
    }
    if (!Same(r, original, kTabsSection)) {
      ASSERT_TRUE(anyChange) << round;
    }
    // Counts never leave their capacity through an edit that changed them.
    if (s.rawTabCount() != ConstSettingsView(original.data(), kSettingsRecordSize).rawTabCount()) {
      ASSERT_LE(s.rawTabCount(), kMaxTabs);
    }
    if (s.rawDictionaryCount() != ConstSettingsView(original.data(), kSettingsRecordSize).rawDictionaryCount()) {
      ASSERT_LE(s.rawDictionaryCount(), kMaxDictionaries);
    }
  }
}

TEST(PageModelsRobustness, CountsBeyondCapacityShowTheCapacityAndRefuseAdding) {
  SettingsRecord r;
  SettingsView s = r.view();
  s.SetTabCount(0xFFFF);
  s.SetDictionaryCount(500);
  TabPageModel tabs(s);
  DictPageModel dictionaries(s, kModule);
  EXPECT_EQ(tabs.tabCount(), kMaxTabs);
  EXPECT_EQ(dictionaries.count(), kMaxDictionaries);
  EXPECT_TRUE(tabs.CheckAdd());
  EXPECT_TRUE(dictionaries.CheckAdd());
  EXPECT_EQ(tabs.LinkChoices().size(), kMaxTabs + 1);
  EXPECT_FALSE(tabs.MoveDown(kMaxTabs - 1));
  EXPECT_FALSE(tabs.changed());
  // Removing one is an edit the user asked for: the count becomes a real one, and the records move
  // within the tab list only (the fonts follow it).
  s.tab(1).SetTabId(7);
  s.SetFontSize(AppearanceElement::kTab, 0x1234);
  ASSERT_TRUE(tabs.Remove(0));
  EXPECT_EQ(s.rawTabCount(), kMaxTabs - 1);
  EXPECT_EQ(s.tab(0).tabId(), 7);
  EXPECT_EQ(s.fontSize(AppearanceElement::kTab), 0x1234);
}

}  // namespace
}  // namespace quillet::settings
