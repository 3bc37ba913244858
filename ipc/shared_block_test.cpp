#include "ipc/shared_block.h"

#include <gtest/gtest.h>

#include <thread>

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

TEST(SharedBlockTest, OpenWithoutLoaderGives6AndReleasesTheLock) {
  ASSERT_TRUE(kIsolated);
  Probe probe(kSettingsReadEventName, kSettingsWriteEventName);
  SharedBlock settings;
  EXPECT_EQ(OpenSettingsBlock(settings), Result::kMappingOpenFailed);
  EXPECT_NE(settings.lastError, 0u);
  EXPECT_EQ(settings.view(), nullptr);
  EXPECT_FALSE(settings.readEvent.valid());
  EXPECT_TRUE(probe.TokenFree());
  EXPECT_TRUE(probe.GateOpen());
}

TEST(SharedBlockTest, BlocksTooSmallForTheirRecordAreRejected) {
  {
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

// A party in a host application waits briefly, then leaves the lock alone for a while: a held lock
// costs a key one short wait, not one per key.
TEST(SharedBlockTest, AHostWaitsBrieflyThenKeepsQuietAndAFailedLockGivesNothingBack) {
  platform::Mapping loader = MakeBlock(kSettingsMappingName, kSettingsRecordSize);
  SharedBlock holder;
  SharedBlock host;
  SharedBlock other;
  ASSERT_EQ(OpenSettingsBlock(holder), Result::kSuccess);
  ASSERT_EQ(OpenSettingsBlock(host), Result::kSuccess);
  ASSERT_EQ(OpenSettingsBlock(other), Result::kSuccess);
  ASSERT_TRUE(LockRead(holder));
  Probe probe(kSettingsReadEventName, kSettingsWriteEventName);

  {
    BlockWriteLock refused(host);
    EXPECT_FALSE(refused.held());
    EXPECT_NE(host.waitError, 0u);
  }
  EXPECT_TRUE(probe.GateOpen()) << "a writer that gave up must not leave readers shut out";
  EXPECT_FALSE(probe.TokenFree()) << "a refused guard must not give back a token it never had";

  // Opening while the token is held fails the same way and leaves the block closed.
  SharedBlock third;
  EXPECT_EQ(OpenSettingsBlock(third), Result::kWaitFailed);
  EXPECT_EQ(third.view(), nullptr);

  // Free again: the host that waited in vain does not try for a while; another party gets it.
  Unlock(holder);
  EXPECT_FALSE(BlockReadLock(host).held());
  {
    BlockWriteLock writer(other);
    ASSERT_TRUE(writer);
    EXPECT_EQ(other.waitError, 0u);
    EXPECT_FALSE(probe.GateOpen());
    BlockWriteLock moved(std::move(writer));  // the lock goes along, and is given back once
    EXPECT_FALSE(writer.held());
    EXPECT_TRUE(moved.held());
  }
  EXPECT_TRUE(probe.GateOpen());
  EXPECT_TRUE(probe.TokenFree());
}

// A holder that died with the lock (or a writer that died with the gate shut) leaves it taken for
// every other party; the loader, waiting longer than anybody holds a lock, takes it over and gives it
// back, which restores it for everybody.
TEST(SharedBlockTest, TheLoaderRestoresALockItsHolderDiedWith) {
  platform::Mapping loader = MakeBlock(kSettingsMappingName, kSettingsRecordSize);
  Probe probe(kSettingsReadEventName, kSettingsWriteEventName);
  for (const bool writerDied : {true, false}) {
    {
      SharedBlock dead;
      ASSERT_EQ(OpenSettingsBlock(dead), Result::kSuccess);
      ASSERT_TRUE(writerDied ? LockWrite(dead) : LockRead(dead));
      CloseBlock(dead, false);  // gone without giving it back
    }
    SharedBlock host;
    ASSERT_EQ(OpenSettingsBlock(host), Result::kWaitFailed);
    SharedBlock warden;
    warden.policy = kLoaderLockPolicy;
    ASSERT_TRUE(CreateBlockEvents(warden, kSettingsBlockNames) == Result::kSuccess);
    {
      BlockReadLock restoring(warden);
      EXPECT_TRUE(restoring.held()) << writerDied;
    }
    EXPECT_TRUE(probe.GateOpen()) << writerDied;
    EXPECT_TRUE(probe.TokenFree()) << writerDied;
    SharedBlock later;  // the host that waited in vain keeps quiet for a while; another gets in
    EXPECT_EQ(OpenSettingsBlock(later), Result::kSuccess) << writerDied;
  }
}

std::u16string Helper() { return testing::SiblingProgram(u"shared_block_test_helper"); }

TEST(SharedBlockTest, WaitingWriterGoesBeforeNewReaders) {
  platform::Mapping loader = MakeBlock(kSettingsMappingName, kSettingsRecordSize);
  SharedBlock holder;
  SharedBlock reader;
  reader.policy = kToolLockPolicy;  // waits for the writer
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
