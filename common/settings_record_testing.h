// Settings records for tests, built from a short list of tabs and the dictionary ids they may use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/settings_record.h"

namespace quillet::testing {

struct TabRow {
  uint16_t tabId;
  int16_t dictionaryId;
  int16_t linkTabId = -1;
  uint16_t minWordLength = 0;
  uint16_t showFromLetters = 0;
  std::u16string name = u"tab";
};

// A record holding `tabs` and one dictionary entry per id, everything else zero.
inline SettingsRecord TabSettings(const std::vector<TabRow>& tabs, const std::vector<uint16_t>& dictionaryIds) {
  SettingsRecord record;
  const SettingsView s = record.view();
  for (size_t t = 0; t < tabs.size(); ++t) {
    const TabRecord tab = s.tab(t);
    tab.SetTabId(tabs[t].tabId);
    tab.SetDictionaryId(tabs[t].dictionaryId);
    tab.SetLinkTabId(tabs[t].linkTabId);
    tab.SetMinWordLength(tabs[t].minWordLength);
    tab.SetShowFromLetters(tabs[t].showFromLetters);
    tab.SetName(tabs[t].name);
  }
  s.SetTabCount(static_cast<uint16_t>(tabs.size()));
  for (size_t i = 0; i < dictionaryIds.size(); ++i) s.dictionary(i).SetDictionaryId(dictionaryIds[i]);
  s.SetDictionaryCount(static_cast<uint16_t>(dictionaryIds.size()));
  return record;
}

}  // namespace quillet::testing
