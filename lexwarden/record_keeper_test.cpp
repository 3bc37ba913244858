// The settings record kept by the loader, read back as a settings sheet would. Each test plays the
// loader's worker itself.
#include "lexwarden/record_keeper.h"

#include <gtest/gtest.h>

#include <cstring>

#include "lexwarden/loader_testing.h"
#include "lexwarden/warden_testing.h"

namespace quillet::warden {
namespace {

using testing::BytesOf;
using testing::Exists;
using testing::ReadBytes;
using testing::ReadSettingsBlock;
using testing::SameRecord;
using testing::TempFolder;
using testing::WriteBytes;
using testing::WriteSettingsBlock;

class RecordKeeperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::UseFreshNamespace();
    kWorkerRole.Assume();
    ASSERT_EQ(board_.Open(), Result::kSuccess);
  }
  void TearDown() override {
    kWorkerRole.Assume();
    board_.Close();
  }
  std::u16string Path() const { return config_.File(u"settings.dat"); }
  // The settings as text services read them: published, not the block.
  static bool PublishedAre(const SettingsRecord& record) {
    const std::vector<uint8_t> published = testing::PublishedBytes(PublicationKind::kSettings);
    return published.size() >= kSettingsRecordSize &&
           std::memcmp(published.data(), record.data(), kSettingsRecordSize) == 0;
  }

  TempFolder config_;
  PublicationBoard board_;
};

TEST_F(RecordKeeperTest, FirstRunDefaultsNeedNoFileButAKeptOrChangedRecordIsSaved) {
  kWorkerRole.Assume();
  {
    RecordKeeper keeper(kKeptSettings, Path(), board_);
    ASSERT_EQ(keeper.Open(), Result::kSuccess);
    EXPECT_EQ(keeper.origin(), platform::KeptOrigin::kFirstRun);
    EXPECT_TRUE(SameRecord(ReadSettingsBlock(), MakeDefaultSettings()));
    keeper.Close();
    keeper.Close();
    EXPECT_FALSE(Exists(Path()));
  }
  RecordKeeper keeper(kKeptSettings, Path(), board_);
  ASSERT_EQ(keeper.Open(), Result::kSuccess);
  // Asked to keep it, the record is written even though it is the defaults.
  EXPECT_EQ(keeper.Keep(), Result::kSuccess);
  EXPECT_EQ(ReadBytes(Path()), BytesOf(MakeDefaultSettings()));

  EXPECT_TRUE(PublishedAre(MakeDefaultSettings()));

  // What a settings sheet writes is kept and published when asked, and kept on the way out anyway.
  SettingsRecord edited = MakeDefaultSettings();
  edited.view().tab(0).SetTitle(u"Edited");
  WriteSettingsBlock(edited);
  EXPECT_EQ(keeper.Keep(), Result::kSuccess);
  EXPECT_TRUE(PublishedAre(edited));
  edited.view().tab(0).SetTitle(u"Again");
  WriteSettingsBlock(edited);
  keeper.Close();
  EXPECT_EQ(ReadBytes(Path()), BytesOf(edited));
}

TEST_F(RecordKeeperTest, ADamagedFileIsKeptAsideAndDefaultsServe) {
  kWorkerRole.Assume();
  WriteBytes(Path(), {9, 9, 9});
  RecordKeeper keeper(kKeptSettings, Path(), board_);
  ASSERT_EQ(keeper.Open(), Result::kSuccess);
  EXPECT_EQ(keeper.origin(), platform::KeptOrigin::kDamaged);
  EXPECT_EQ(ReadBytes(keeper.asidePath()), (std::vector<uint8_t>{9, 9, 9}));
  EXPECT_TRUE(SameRecord(ReadSettingsBlock(), MakeDefaultSettings()));
}

TEST_F(RecordKeeperTest, ABlockThatOutlivedItsLoaderIsKeptByTheNextOne) {
  kWorkerRole.Assume();
  SettingsRecord saved = MakeDefaultSettings();
  saved.view().tab(0).SetName(u"Saved");
  WriteBytes(Path(), BytesOf(saved));
  SharedBlock holder;  // a text service that stays open across the loaders
  SettingsRecord edited = saved;
  {
    RecordKeeper first(kKeptSettings, Path(), board_);
    ASSERT_EQ(first.Open(), Result::kSuccess);
    ASSERT_EQ(OpenSettingsBlock(holder), Result::kSuccess);
    first.Close();
    // Written after the loader went away, e.g. by a settings sheet whose notice found no loader.
    edited.view().tab(0).SetName(u"Kept");
    WriteSettingsBlock(edited);
  }
  RecordKeeper second(kKeptSettings, Path(), board_);
  ASSERT_EQ(second.Open(), Result::kSuccess);
  EXPECT_EQ(second.origin(), platform::KeptOrigin::kFile);
  EXPECT_TRUE(SameRecord(ReadSettingsBlock(), edited));
  second.Close();
  EXPECT_EQ(ReadBytes(Path()), BytesOf(edited));
  CloseBlock(holder, false);
}

}  // namespace
}  // namespace quillet::warden
