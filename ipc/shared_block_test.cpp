#include "ipc/shared_block.h"

#include <gtest/gtest.h>

#include <thread>

#include "common/dict_format.h"
#include "common/le.h"
#include "common/settings_record.h"
#include "ipc/shared_block_testing.h"
#include "platform/process.h"
#include "platform/test_namespace.h"

namespace quillet {
namespace {

const bool kIsolated = testing::IsolateNamespace("sb");

constexpr size_t kPage = 4096;

// The loader's part: a named mapping of `size` zero bytes.
platform::Mapping MakeBlock(std::u16string_view name, size_t size) {
  platform::Mapping m;
  platform::OsError error = 0;
  EXPECT_TRUE(m.Create(name, size, nullptr, &error)) << error;
  EXPECT_TRUE(m.Map(&error)) << error;
  return m;
}

// Events of a block held as a bystander would: to see whether the token is free.
struct Probe {
  platform::Event read;
  platform::Event write;
  Probe(std::u16string_view readName, std::u16string_view writeName) {
    platform::OsError error = 0;
    EXPECT_TRUE(read.CreateOrOpen(readName, false, true, nullptr, &error));
    EXPECT_TRUE(write.CreateOrOpen(writeName, true, true, nullptr, &error));
  }
  bool TokenFree() {
    platform::OsError error = 0;
    if (platform::Wait(read, 0, &error) != platform::WaitResult::kSignalled) return false;
    read.Set();
    return true;
  }
  bool GateOpen() {
    platform::OsError error = 0;
    return platform::Wait(write, 0, &error) == platform::WaitResult::kSignalled;
  }
};

// One dictionary of one entry "ab" (display "A") with its tables at 3000, 3100 and 3200.
constexpr DictHeader kSample{0, 1, kNone, 3000, 3100, 3200};

void PutSampleTables(uint8_t* b) {
  WriteEntryPosition(b + 3000, {0, 0});
  WriteEntryPosition(b + 3008, {6, 6});
  StoreU16(b + 3100, 2);
  StoreU16(b + 3102, u'a');
  StoreU16(b + 3104, u'b');
  StoreU16(b + 3200, 1);
  StoreU16(b + 3202, u'A');
}

void PutEntry(uint8_t* b, size_t i, const DictHeader& h) {
  WriteDictHeader(b + kDirectoryEntriesOffset + i * kDirectoryEntrySize, h);
}

std::u16string KeyOf(const DictionaryView& v, uint32_t i) {
  TextRef t;
  return v.Key(i, &t) ? t.ToString() : u"<none>";
}

TEST(SharedBlockTest, OpenWithoutLoaderGives6AndReleasesTheLock) {
  ASSERT_TRUE(kIsolated);
  Probe dictProbe(kDictionaryReadEventName, kDictionaryWriteEventName);
  DictionaryBlock dict;
  EXPECT_EQ(OpenDictionaryBlock(dict), Result::kMappingOpenFailed);
  EXPECT_NE(dict.lastError, 0u);
  EXPECT_EQ(dict.view(), nullptr);
  EXPECT_FALSE(dict.readEvent.valid());
  EXPECT_FALSE(dict.writeEvent.valid());
  EXPECT_TRUE(dictProbe.TokenFree());

  Probe settingsProbe(kSettingsReadEventName, kSettingsWriteEventName);
  SharedBlock settings;
  EXPECT_EQ(OpenSettingsBlock(settings), Result::kMappingOpenFailed);
  EXPECT_EQ(settings.view(), nullptr);
  EXPECT_TRUE(settingsProbe.TokenFree());
  EXPECT_TRUE(settingsProbe.GateOpen());
}

TEST(SharedBlockTest, EmptyOrTinyBlocksAreRejected) {
  Probe probe(kDictionaryReadEventName, kDictionaryWriteEventName);
  {
    platform::Mapping loader = MakeBlock(kDictionaryMappingName, kPage);
    DictionaryBlock dict;
    EXPECT_EQ(OpenDictionaryBlock(dict), Result::kNoDictionary);
    EXPECT_EQ(dict.view(), nullptr);
    EXPECT_TRUE(dict.directory.empty());
    EXPECT_TRUE(probe.TokenFree());
  }
  {
    platform::Mapping loader = MakeBlock(kDictionaryMappingName, 3);  // no room for a count
    DictionaryBlock dict;
    EXPECT_EQ(OpenDictionaryBlock(dict), Result::kNoDictionary);
    EXPECT_TRUE(probe.TokenFree());
  }
  {
    // Readers of the settings rely on a whole record.
    platform::Mapping loader = MakeBlock(kSettingsMappingName, kPage);
    SharedBlock settings;
    EXPECT_EQ(OpenSettingsBlock(settings), Result::kMalformed);
    EXPECT_EQ(settings.view(), nullptr);
  }
  platform::Mapping loader = MakeBlock(kSettingsMappingName, kSettingsRecordSize);
  SharedBlock settings;
  EXPECT_EQ(OpenSettingsBlock(settings), Result::kSuccess);
  EXPECT_GE(settings.viewSize(), kSettingsRecordSize);
}

TEST(SharedBlockTest, ReopeningKeepsTheDirectoryUntilClosed) {
  platform::Mapping loader = MakeBlock(kDictionaryMappingName, kPage);
  uint8_t* b = loader.data();
  StoreU16(b + 2, 1);
  PutEntry(b, 0, kSample);
  PutSampleTables(b);

  DictionaryBlock dict;
  ASSERT_EQ(OpenDictionaryBlock(dict), Result::kSuccess);
  ASSERT_EQ(dict.directory.size(), 1u);
  EXPECT_EQ(KeyOf(dict.directory[0], 0), u"ab");
  InfoRef info;
  ASSERT_TRUE(dict.directory[0].Info(0, &info));
  EXPECT_EQ(info.display.ToString(), u"A");

  StoreU16(b + 2, 2);
  EXPECT_EQ(OpenDictionaryBlock(dict), Result::kSuccess);
  EXPECT_EQ(dict.directory.size(), 1u) << "an open block is not read again";

  CloseBlock(dict, false);
  EXPECT_EQ(dict.view(), nullptr);
  EXPECT_TRUE(dict.directory.empty());
  ASSERT_EQ(OpenDictionaryBlock(dict), Result::kSuccess);
  EXPECT_EQ(dict.directory.size(), 2u);
  Probe probe(kDictionaryReadEventName, kDictionaryWriteEventName);
  EXPECT_TRUE(probe.TokenFree());
}

TEST(SharedBlockTest, DirectoryEntriesPointingOutsideGiveEmptyViews) {
  platform::Mapping loader = MakeBlock(kDictionaryMappingName, kPage);
  uint8_t* b = loader.data();
  PutSampleTables(b);
  StoreU16(b + 2, 5);
  PutEntry(b, 0, kSample);
  PutEntry(b, 1, DictHeader{0, 1, kNone, 3000, 3100, kNone});  // no node table, no info area
  PutEntry(b, 2, DictHeader{0, 1, kNone, 5000, 3100, kNone});  // positions past the end
  PutEntry(b, 3, DictHeader{0, 1, kNone, 3000, 0xFFFFFF00, kNone});
  PutEntry(b, 4, DictHeader{1, 1, 4090, 3000, 3100, kNone});  // node table runs off the end

  DictionaryBlock dict;
  ASSERT_EQ(OpenDictionaryBlock(dict), Result::kSuccess);
  ASSERT_EQ(dict.directory.size(), 5u) << "positions must keep matching the settings";
  EXPECT_EQ(KeyOf(dict.directory[0], 0), u"ab");
  EXPECT_TRUE(dict.directory[0].hasInfo());
  EXPECT_EQ(KeyOf(dict.directory[1], 0), u"ab");
  EXPECT_FALSE(dict.directory[1].hasInfo());
  EXPECT_FALSE(dict.directory[1].hasIndex());
  for (size_t i = 2; i < 5; ++i) {
    EXPECT_EQ(dict.directory[i].entryCount(), 0u) << i;
    EXPECT_EQ(KeyOf(dict.directory[i], 0), u"<none>") << i;
  }
}

TEST(SharedBlockTest, CountRunningPastTheViewKeepsItsPositions) {
  platform::Mapping loader = MakeBlock(kDictionaryMappingName, kPage);
  uint8_t* b = loader.data();
  StoreU16(b + 2, 0xFFFF);
  PutEntry(b, 0, kSample);
  PutSampleTables(b);  // lies over later directory entries: those read as whatever they decode to

  DictionaryBlock dict;
  ASSERT_EQ(OpenDictionaryBlock(dict), Result::kSuccess);
  ASSERT_EQ(dict.directory.size(), 0xFFFFu);
  EXPECT_EQ(KeyOf(dict.directory[0], 0), u"ab");
  const size_t inView = (dict.viewSize() - kDirectoryEntriesOffset) / kDirectoryEntrySize;
  for (size_t i = inView; i < dict.directory.size(); ++i) ASSERT_EQ(dict.directory[i].entryCount(), 0u) << i;
  // Whatever an entry decodes to, reading through it stays inside the block.
  for (const DictionaryView& v : dict.directory) {
    TextRef key;
    InfoRef info;
    for (uint32_t i = 0; i < std::min<uint32_t>(v.entryCount(), 4); ++i) {
      v.Key(i, &key);
      v.Info(i, &info);
    }
  }
}

TEST(SharedBlockTest, LockWaitsAreBoundedAndAFailedLockGivesNothingBack) {
  platform::Mapping loader = MakeBlock(kSettingsMappingName, kSettingsRecordSize);
  SharedBlock first;
  SharedBlock second;
  ASSERT_EQ(OpenSettingsBlock(first), Result::kSuccess);
  ASSERT_EQ(OpenSettingsBlock(second), Result::kSuccess);
  ASSERT_TRUE(LockRead(first));
  EXPECT_EQ(first.waitError, 0u);
  Probe probe(kSettingsReadEventName, kSettingsWriteEventName);

  // Readers exclude each other; the wait gives up after kLockTimeoutMs.
  {
    BlockReadLock refused(second);
    EXPECT_FALSE(refused);
    EXPECT_NE(second.waitError, 0u);
  }
  EXPECT_FALSE(probe.TokenFree()) << "a refused guard must not give back a token it never had";
  {
    BlockWriteLock refused(second);
    EXPECT_FALSE(refused.held());
    EXPECT_NE(second.waitError, 0u);
  }
  EXPECT_TRUE(probe.GateOpen()) << "a writer that gave up must not leave readers shut out";
  EXPECT_FALSE(probe.TokenFree());

  // Opening while the token is held fails the same way and leaves the block closed.
  SharedBlock third;
  EXPECT_EQ(OpenSettingsBlock(third), Result::kWaitFailed);
  EXPECT_EQ(third.view(), nullptr);

  Unlock(first);
  {
    BlockWriteLock writer(second);
    ASSERT_TRUE(writer);
    EXPECT_EQ(second.waitError, 0u);
    EXPECT_FALSE(probe.GateOpen());
    BlockWriteLock moved(std::move(writer));  // the lock goes along, and is given back once
    EXPECT_FALSE(writer.held());
    EXPECT_TRUE(moved.held());
  }
  EXPECT_TRUE(probe.GateOpen());
  EXPECT_TRUE(probe.TokenFree());
}

std::u16string Helper() { return testing::SiblingProgram(u"shared_block_test_helper"); }

TEST(SharedBlockTest, WaitingWriterGoesBeforeNewReaders) {
  platform::Mapping loader = MakeBlock(kSettingsMappingName, kSettingsRecordSize);
  SharedBlock holder;
  SharedBlock reader;
  ASSERT_EQ(OpenSettingsBlock(holder), Result::kSuccess);
  ASSERT_EQ(OpenSettingsBlock(reader), Result::kSuccess);
  platform::Event opened;
  platform::Event go;
  platform::OsError error = 0;
  ASSERT_TRUE(opened.CreateOrOpen(kOpenedEventName, true, false, nullptr, &error));
  ASSERT_TRUE(go.CreateOrOpen(kGoEventName, true, false, nullptr, &error));

  // The writer opens the block while it is free, then asks for it while we hold it.
  platform::Process writer;
  testing::KillOnExit guard(writer);
  ASSERT_TRUE(writer.Start(Helper(), u"write-once", &error)) << error;
  ASSERT_EQ(platform::Wait(opened, 10000, &error), platform::WaitResult::kSignalled);
  ASSERT_TRUE(LockRead(holder));
  ASSERT_TRUE(go.Set());
  // The writer has shut the gate once the write event is no longer set.
  Probe probe(kSettingsReadEventName, kSettingsWriteEventName);
  bool shut = false;
  for (int i = 0; i < 2000 && !shut; ++i) {
    shut = !probe.GateOpen();
    if (!shut && writer.WaitForExit(5, nullptr)) break;
  }
  ASSERT_TRUE(shut) << "the writer never shut the gate";

  Unlock(holder);
  ASSERT_TRUE(LockRead(reader));
  EXPECT_EQ(LoadU32(reader.view() + kMarkOffset), 1u) << "the reader got in before the waiting writer";
  Unlock(reader);
  int code = -1;
  ASSERT_TRUE(writer.WaitForExit(10000, &code));
  EXPECT_EQ(code, 0);
}

TEST(SharedBlockTest, ReadersAndWritersInManyProcessesExcludeEachOther) {
  platform::Mapping loader = MakeBlock(kSettingsMappingName, kSettingsRecordSize);
  constexpr int kPasses = 150;
  // A writer and a reader in other processes, and one of each on threads here.
  platform::Process writer;
  platform::Process reader;
  testing::KillOnExit writerGuard(writer);
  testing::KillOnExit readerGuard(reader);
  platform::OsError error = 0;
  ASSERT_TRUE(writer.Start(Helper(), u"hammer-write 150", &error)) << error;
  ASSERT_TRUE(reader.Start(Helper(), u"hammer-read 150", &error)) << error;
  int threadResults[2] = {-1, -1};
  std::thread localWriter([&] { threadResults[0] = HammerSettingsBlock(true, kPasses); });
  std::thread localReader([&] { threadResults[1] = HammerSettingsBlock(false, kPasses); });
  localWriter.join();
  localReader.join();
  EXPECT_EQ(threadResults[0], 0);
  EXPECT_EQ(threadResults[1], 0);
  for (platform::Process* p : {&writer, &reader}) {
    int code = -1;
    ASSERT_TRUE(p->WaitForExit(120000, &code));
    EXPECT_EQ(code, 0);
  }
  EXPECT_EQ(LoadU32(loader.data() + kViolationsOffset), 0u);
  EXPECT_EQ(LoadU32(loader.data() + kCounterOffset), 2u * kPasses);
}

}  // namespace
}  // namespace quillet
