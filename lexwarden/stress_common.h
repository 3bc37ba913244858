// What the stress test's writer and readers agree on: the dictionaries, the dictionary lists the
// writer switches between, and the pattern of a whole tabs section.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "common/settings_record.h"
#include "platform/process.h"

namespace quillet::warden::stress {

struct StressDictionary {
  const char16_t* prefix;
  size_t count;
};
constexpr StressDictionary kDictionaries[] = {{u"ka", 3000}, {u"kb", 1200}, {u"kc", 150}};
constexpr size_t kVariants = 3;

inline std::u16string DictionaryPath(const std::u16string& folder, size_t d) {
  return platform::JoinPath(folder, std::u16string(kDictionaries[d].prefix) + u".dict");
}

// Variant v lists the dictionaries in one of three orders (the last one without "kc").
inline SettingsRecord Variant(const std::u16string& folder, size_t v, uint8_t tabsByte) {
  static const size_t kOrders[kVariants][3] = {{0, 1, 2}, {2, 0, 1}, {1, 0, 99}};
  SettingsRecord r;
  SettingsView s = r.view();
  std::memset(r.data() + kTabsSection.begin, tabsByte, kTabsSection.size());
  uint16_t count = 0;
  for (size_t d : kOrders[v % kVariants]) {
    if (d >= 3) continue;
    DictionaryRecord rec = s.dictionary(count);
    rec.SetDictionaryId(count);
    rec.SetName(kDictionaries[d].prefix);
    rec.SetPath(DictionaryPath(folder, d));
    ++count;
  }
  s.SetDictionaryCount(count);
  return r;
}

// A section is whole when it is exactly what one write put there.
inline bool TabsWhole(const uint8_t* record) {
  for (size_t i = kTabsSection.begin + 1; i < kTabsSection.end; ++i) {
    if (record[i] != record[kTabsSection.begin]) return false;
  }
  return true;
}

inline bool DictionariesWhole(const uint8_t* record, const std::u16string& folder) {
  for (size_t v = 0; v < kVariants; ++v) {
    const SettingsRecord expected = Variant(folder, v, 0);
    if (std::memcmp(record + kDictionariesSection.begin, expected.data() + kDictionariesSection.begin,
                    kDictionariesSection.size()) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace quillet::warden::stress
