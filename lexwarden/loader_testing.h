// The loader's blocks and publications as the other parties see them, for the loader's tests: a text
// service reading what is published, a settings sheet reading and writing the settings block.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/settings_record.h"
#include "ipc/publications.h"
#include "ipc/shared_block.h"
#include "lookup/published_data.h"

namespace quillet::warden::testing {

// A text service's view of the published dictionaries.
class Reader {
 public:
  Result Open() { return published_.Open(); }
  bool Refresh() { return published_.Refresh(); }
  void Close() { published_.Close(); }
  size_t count() const { return published_.directory().size(); }
  std::vector<std::u16string> Keys(size_t i) const {
    std::vector<std::u16string> keys;
    if (i >= published_.directory().size()) return keys;
    const DictionaryView& v = published_.directory()[i];
    for (uint32_t k = 0; k < v.entryCount(); ++k) {
      TextRef t;
      keys.push_back(v.Key(k, &t) ? t.ToString() : u"<unreadable>");
    }
    return keys;
  }
  const PublishedData& published() const { return published_; }

 private:
  PublishedData published_;
};

// The bytes of the publication of `kind` the loader's index names now; empty without one.
inline std::vector<uint8_t> PublishedBytes(PublicationKind kind) {
  platform::Mapping index, publication;
  platform::OsError error = 0;
  PublishedGenerations named;
  if (!OpenPublicationIndex(&index, &error) || !ReadPublicationIndex(index.data(), index.size(), &named) ||
      !OpenPublication(kind, named[kind], &publication, &error)) {
    return {};
  }
  return std::vector<uint8_t>(publication.data(), publication.data() + publication.size());
}

// The i-th key of a dictionary made by MakeDictionary(prefix, ...).
inline std::u16string Key(const std::u16string& prefix, size_t i) {
  std::u16string digits = u"0000000";
  for (size_t k = digits.size(); k-- > 0; i /= 10) digits[k] = static_cast<char16_t>(u'0' + i % 10);
  return prefix + digits;
}

// True when `keys` are exactly those of MakeDictionary(prefix, count).
inline bool Whole(const std::vector<std::u16string>& keys, const std::u16string& prefix, size_t count) {
  if (keys.size() != count) return false;
  for (size_t i = 0; i < count; ++i) {
    if (keys[i] != Key(prefix, i)) return false;
  }
  return true;
}

// The defaults with the dictionary list replaced by `paths`.
inline SettingsRecord RecordWith(const std::vector<std::u16string>& paths) {
  SettingsRecord r = MakeDefaultSettings();
  SettingsView s = r.view();
  s.SetDictionaryCount(0);
  for (const std::u16string& p : paths) EXPECT_TRUE(AddDictionary(s, p));
  return r;
}

inline std::vector<uint8_t> BytesOf(const SettingsRecord& r) { return {r.data(), r.data() + r.size()}; }

inline SettingsRecord ReadSettingsBlock() {
  SharedBlock block;
  SettingsRecord r;
  EXPECT_EQ(OpenSettingsBlock(block), Result::kSuccess);
  if (BlockReadLock lock(block); lock) r.CopyFrom(block.view(), block.viewSize());
  CloseBlock(block, false);
  return r;
}

// What the settings sheet does: write both sections back under the write lock.
inline void WriteSettingsBlock(const SettingsRecord& record) {
  SharedBlock block;
  ASSERT_EQ(OpenSettingsBlock(block), Result::kSuccess);
  {
    BlockWriteLock lock(block);
    ASSERT_TRUE(lock);
    CopySections(record.view(), SettingsView(block.view(), block.viewSize()), true, true);
  }
  CloseBlock(block, false);
}

inline bool SameRecord(const SettingsRecord& a, const SettingsRecord& b) {
  return std::memcmp(a.data(), b.data(), kSettingsRecordSize) == 0;
}

}  // namespace quillet::warden::testing
