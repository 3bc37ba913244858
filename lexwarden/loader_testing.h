// The loader's blocks as the other parties see them, for the loader's tests: a text service reading
// the dictionary block, a settings sheet reading and writing the settings block.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/settings_record.h"
#include "ipc/shared_block.h"

namespace quillet::warden::testing {

// A text service's view of the dictionary block.
class Reader {
 public:
  ~Reader() { Close(); }
  Result Open() { return OpenDictionaryBlock(block_); }
  void Close() { CloseBlock(block_, false); }
  size_t count() const { return block_.directory.size(); }
  std::vector<std::u16string> Keys(size_t i) {
    std::vector<std::u16string> keys;
    if (i >= block_.directory.size()) return keys;
    BlockReadLock lock(block_);
    if (!lock) return keys;
    const DictionaryView& v = block_.directory[i];
    for (uint32_t k = 0; k < v.entryCount(); ++k) {
      TextRef t;
      keys.push_back(v.Key(k, &t) ? t.ToString() : u"<unreadable>");
    }
    return keys;
  }

 private:
  DictionaryBlock block_;
};

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
  s.setDictionaryCount(0);
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
