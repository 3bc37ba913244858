// The loader's core in this process, read through the same block code the text services use.
#include "lexwarden/warden.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include "common/settings_record.h"
#include "ipc/shared_block.h"
#include "lexwarden/test_support.h"
#include "platform/user_data.h"

namespace quillet::warden {
namespace {

using testing::Exists;
using testing::MakeDictionary;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

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

std::u16string Key(const std::u16string& prefix, size_t i) {
  std::u16string digits = u"0000000";
  for (size_t k = digits.size(); k-- > 0; i /= 10) digits[k] = static_cast<char16_t>(u'0' + i % 10);
  return prefix + digits;
}

bool Whole(const std::vector<std::u16string>& keys, const std::u16string& prefix, size_t count) {
  if (keys.size() != count) return false;
  for (size_t i = 0; i < count; ++i) {
    if (keys[i] != Key(prefix, i)) return false;
  }
  return true;
}

SettingsRecord RecordWith(const std::vector<std::u16string>& paths) {
  SettingsRecord r = MakeDefaultSettings();
  SettingsView s = r.view();
  while (s.dictionaryCount() > 0) s.setDictionaryCount(0);
  for (const std::u16string& p : paths) EXPECT_TRUE(AddDictionary(s, p));
  return r;
}

SettingsRecord ReadSettingsBlock() {
  SharedBlock block;
  SettingsRecord r;
  EXPECT_EQ(OpenSettingsBlock(block), Result::kSuccess);
  if (BlockReadLock lock(block); lock) r.CopyFrom(block.view(), block.viewSize());
  CloseBlock(block, false);
  return r;
}

// What the settings sheet does: write a section back under the write lock.
void WriteSettingsBlock(const SettingsRecord& record) {
  SharedBlock block;
  ASSERT_EQ(OpenSettingsBlock(block), Result::kSuccess);
  {
    BlockWriteLock lock(block);
    ASSERT_TRUE(lock);
    CopySections(record.view(), SettingsView(block.view(), block.viewSize()), true, true);
  }
  CloseBlock(block, false);
}

bool SameRecord(const SettingsRecord& a, const SettingsRecord& b) {
  return std::memcmp(a.data(), b.data(), kSettingsRecordSize) == 0;
}

class WardenTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::UseFreshNamespace(); }
  WardenOptions Options() const { return {program_.path(), config_.File(u"settings.dat")}; }
  void SaveRecord(const SettingsRecord& r) {
    WriteBytes(config_.File(u"settings.dat"), std::vector<uint8_t>(r.data(), r.data() + r.size()));
  }

  TempFolder program_;
  TempFolder config_;
};

TEST_F(WardenTest, FirstRunPublishesDefaultsAndStandsInForAMissingDictionary) {
  Warden warden(Options());
  EXPECT_EQ(warden.Start(), Result::kFileOpenFailed);  // english.dict is not there
  EXPECT_EQ(warden.settingsOrigin(), SettingsOrigin::kFirstRun);
  EXPECT_EQ(warden.HandleMessage(kLoaderHandshakeMessage, 0, 0), ToInt(Result::kFileOpenFailed));
  EXPECT_TRUE(SameRecord(ReadSettingsBlock(), MakeDefaultSettings()));
  Reader reader;
  ASSERT_EQ(reader.Open(), Result::kSuccess);
  ASSERT_EQ(reader.count(), 1u);
  EXPECT_TRUE(reader.Keys(0).empty());
  reader.Close();

  // The user puts the file in place; the generator's notice reloads it.
  WriteBytes(program_.File(u"english.dict"), MakeDictionary(u"en", 150));
  EXPECT_EQ(warden.HandleMessage(kLoaderReloadMessage, 0, 1), 0);
  EXPECT_EQ(warden.HandleMessage(kLoaderHandshakeMessage, 0, 0), ToInt(Result::kSuccess));
  ASSERT_EQ(reader.Open(), Result::kSuccess);
  EXPECT_TRUE(Whole(reader.Keys(0), u"en", 150));
  reader.Close();
  warden.Stop();
  // Nothing changed, so nothing was written.
  EXPECT_FALSE(Exists(config_.File(u"settings.dat")));
}

TEST_F(WardenTest, DictionariesArePublishedInTheRecordsOrderFromEveryKindOfPath) {
  TempFolder elsewhere;
  WriteBytes(program_.File(u"a.dict"), MakeDictionary(u"a", 120));
  WriteBytes(elsewhere.File(u"b.dict"), MakeDictionary(u"b", 7));
  ASSERT_TRUE(platform::CreateFolders(program_.File(u"sub"), nullptr));
  WriteBytes(program_.File(u"sub/c.dict"), MakeDictionary(u"c", 300));
  WriteBytes(program_.File(u"bad.dict"), {1, 2, 3, 4});
  SaveRecord(RecordWith({u"sub\\c.dict", u"bad.dict", elsewhere.File(u"b.dict"), u"a.dict"}));

  Warden warden(Options());
  EXPECT_EQ(warden.Start(), Result::kFileOpenFailed);  // bad.dict is malformed
  EXPECT_EQ(warden.settingsOrigin(), SettingsOrigin::kFile);
  Reader reader;
  ASSERT_EQ(reader.Open(), Result::kSuccess);
  ASSERT_EQ(reader.count(), 4u);
  EXPECT_TRUE(Whole(reader.Keys(0), u"c", 300));
  EXPECT_TRUE(reader.Keys(1).empty());
  EXPECT_TRUE(Whole(reader.Keys(2), u"b", 7));
  EXPECT_TRUE(Whole(reader.Keys(3), u"a", 120));
}

TEST_F(WardenTest, AnEmptyDictionaryListGivesAnEmptyDirectory) {
  SaveRecord(RecordWith({}));
  Warden warden(Options());
  EXPECT_EQ(warden.Start(), Result::kSuccess);
  Reader reader;
  EXPECT_EQ(reader.Open(), Result::kNoDictionary);
}

TEST_F(WardenTest, AReloadKeepsTheRecordAndOldReadersStayWholeUntilTheyReopen) {
  WriteBytes(program_.File(u"a.dict"), MakeDictionary(u"a", 500));
  WriteBytes(program_.File(u"b.dict"), MakeDictionary(u"b", 260));
  SaveRecord(RecordWith({u"a.dict"}));
  Warden warden(Options());
  ASSERT_EQ(warden.Start(), Result::kSuccess);
  Reader before;
  ASSERT_EQ(before.Open(), Result::kSuccess);

  SettingsRecord edited = ReadSettingsBlock();
  ASSERT_TRUE(AddDictionary(edited.view(), u"b.dict"));
  ASSERT_TRUE(RemoveDictionary(edited.view(), 0));
  edited.view().tab(0).setTitle(u"Edited");
  WriteSettingsBlock(edited);
  EXPECT_EQ(warden.HandleMessage(kLoaderReloadMessage, 1, 1), 0);

  EXPECT_EQ(ReadBytes(config_.File(u"settings.dat")), std::vector<uint8_t>(edited.data(), edited.data() + 15700));
  EXPECT_TRUE(Whole(before.Keys(0), u"a", 500));
  Reader after;
  ASSERT_EQ(after.Open(), Result::kSuccess);
  ASSERT_EQ(after.count(), 1u);
  EXPECT_TRUE(Whole(after.Keys(0), u"b", 260));
  EXPECT_TRUE(Whole(before.Keys(0), u"a", 500));
}

TEST_F(WardenTest, ABlockThatMustGrowWaitsForItsOldHoldersWithoutLosingTheNewSet) {
  WriteBytes(program_.File(u"small.dict"), MakeDictionary(u"s", 10));
  // Larger than the smallest block, so the reload needs a bigger mapping.
  const std::u16string longPrefix(40, u'x');
  WriteBytes(program_.File(u"big.dict"), MakeDictionary(longPrefix, 100000));
  SaveRecord(RecordWith({u"small.dict"}));
  Warden warden(Options());
  ASSERT_EQ(warden.Start(), Result::kSuccess);
  const size_t smallCapacity = warden.dictionaryCapacity();

  Reader holder;
  ASSERT_EQ(holder.Open(), Result::kSuccess);
  SettingsRecord edited = ReadSettingsBlock();
  ASSERT_TRUE(AddDictionary(edited.view(), u"big.dict"));
  WriteSettingsBlock(edited);
  warden.HandleMessage(kLoaderReloadMessage, 0, 1);
  EXPECT_TRUE(warden.growthPending());
  EXPECT_EQ(warden.HandleMessage(kLoaderHandshakeMessage, 0, 0), ToInt(Result::kFileOpenFailed));
  // The holder's views stay whole; a reader opening now sees the new list, the big one still empty.
  EXPECT_TRUE(Whole(holder.Keys(0), u"s", 10));
  {
    Reader meanwhile;
    ASSERT_EQ(meanwhile.Open(), Result::kSuccess);
    ASSERT_EQ(meanwhile.count(), 2u);
    EXPECT_TRUE(Whole(meanwhile.Keys(0), u"s", 10));
    EXPECT_TRUE(meanwhile.Keys(1).empty());
  }
  holder.Close();

  for (int i = 0; i < 100 && warden.growthPending(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_FALSE(warden.growthPending());
  EXPECT_GT(warden.dictionaryCapacity(), smallCapacity);
  EXPECT_EQ(warden.HandleMessage(kLoaderHandshakeMessage, 0, 0), ToInt(Result::kSuccess));
  Reader reader;
  ASSERT_EQ(reader.Open(), Result::kSuccess);
  EXPECT_TRUE(Whole(reader.Keys(0), u"s", 10));
  EXPECT_TRUE(Whole(reader.Keys(1), longPrefix, 100000));
}

TEST_F(WardenTest, AReloadThatRunsOutOfMemoryKeepsTheLoaderAndWhatItPublished) {
  WriteBytes(program_.File(u"a.dict"), MakeDictionary(u"a", 150));
  WriteBytes(program_.File(u"huge.dict"), MakeDictionary(u"h", 10));
  SaveRecord(RecordWith({u"a.dict"}));
  WardenOptions options = Options();
  options.readFile = [](const std::u16string& path, size_t maxSize, std::vector<uint8_t>* bytes,
                        platform::OsError* error) {
    // What holding a dictionary too large for the address space ends in (the x86 build).
    if (path.size() >= 9 && path.compare(path.size() - 9, 9, u"huge.dict") == 0) throw std::bad_alloc();
    return platform::ReadWholeFile(path, maxSize, bytes, error);
  };
  Warden warden(options);
  ASSERT_EQ(warden.Start(), Result::kSuccess);

  SettingsRecord edited = ReadSettingsBlock();
  ASSERT_TRUE(AddDictionary(edited.view(), u"huge.dict"));
  WriteSettingsBlock(edited);
  EXPECT_EQ(warden.HandleMessage(kLoaderReloadMessage, 1, 1), 0);
  // Still serving, saying what went wrong, with the dictionaries of before still published.
  EXPECT_EQ(warden.HandleMessage(kLoaderHandshakeMessage, 0, 0), ToInt(Result::kOutOfMemory));
  Reader reader;
  ASSERT_EQ(reader.Open(), Result::kSuccess);
  ASSERT_EQ(reader.count(), 1u);
  EXPECT_TRUE(Whole(reader.Keys(0), u"a", 150));
  reader.Close();
  EXPECT_EQ(ReadBytes(config_.File(u"settings.dat")), std::vector<uint8_t>(edited.data(), edited.data() + 15700))
      << "the settings job of the same message is kept";

  // The next reload that can be done is.
  ASSERT_TRUE(RemoveDictionary(edited.view(), 1));
  WriteSettingsBlock(edited);
  EXPECT_EQ(warden.HandleMessage(kLoaderReloadMessage, 0, 1), 0);
  EXPECT_EQ(warden.HandleMessage(kLoaderHandshakeMessage, 0, 0), ToInt(Result::kSuccess));
}

TEST_F(WardenTest, ADamagedSettingsFileIsKeptAsideAndDefaultsServe) {
  WriteBytes(config_.File(u"settings.dat"), {9, 9, 9});
  Warden warden(Options());
  warden.Start();
  EXPECT_EQ(warden.settingsOrigin(), SettingsOrigin::kDamaged);
  EXPECT_EQ(ReadBytes(warden.settingsAsidePath()), (std::vector<uint8_t>{9, 9, 9}));
  EXPECT_TRUE(SameRecord(ReadSettingsBlock(), MakeDefaultSettings()));
}

TEST_F(WardenTest, ASettingsBlockThatOutlivedItsLoaderIsKeptByTheNextOne) {
  SharedBlock holder;  // a text service that stays open across the loaders
  SettingsRecord edited = MakeDefaultSettings();
  {
    Warden first(Options());
    first.Start();
    ASSERT_EQ(OpenSettingsBlock(holder), Result::kSuccess);
    first.Stop();
    // Written after the loader went away, e.g. a settings sheet whose notice found no loader.
    edited.view().tab(0).setName(u"Kept");
    WriteSettingsBlock(edited);
  }
  Warden second(Options());
  second.Start();
  EXPECT_TRUE(SameRecord(ReadSettingsBlock(), edited));
  second.Stop();
  EXPECT_EQ(ReadBytes(config_.File(u"settings.dat")), std::vector<uint8_t>(edited.data(), edited.data() + 15700));
  CloseBlock(holder, false);
}

}  // namespace
}  // namespace quillet::warden
