#include "lexwarden/settings_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "lexwarden/test_support.h"
#include "platform/user_data.h"

namespace quillet::warden {
namespace {

using testing::Exists;
using testing::ListFolder;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

bool SameBytes(const SettingsRecord& a, const SettingsRecord& b) {
  return std::memcmp(a.data(), b.data(), kSettingsRecordSize) == 0;
}

TEST(SettingsStore, FirstRunGivesDefaultsAndASavedRecordComesBackWhole) {
  TempFolder folder;
  // The folder of the file does not exist yet: saving makes it.
  SettingsStore store(folder.File(u"sub/dir/settings.dat"));
  LoadedSettings first = store.Load();
  EXPECT_EQ(first.origin, SettingsOrigin::kFirstRun);
  EXPECT_TRUE(SameBytes(first.record, MakeDefaultSettings()));
  EXPECT_EQ(first.record.view().dictionary(0).path(), u"english.dict");

  SettingsRecord edited = first.record;
  edited.view().tab(0).setName(u"Edited");
  edited.data()[15699] = 0x5A;  // reserved bytes are kept too
  platform::OsError error = 0;
  ASSERT_EQ(store.Save(edited, &error), Result::kSuccess) << error;
  // Saving again replaces the file; no temporary file stays behind.
  edited.view().tab(0).setTitle(u"Again");
  ASSERT_EQ(store.Save(edited, &error), Result::kSuccess);
  EXPECT_EQ(ListFolder(folder.File(u"sub/dir")), std::vector<std::u16string>{u"settings.dat"});

  SettingsStore reopened(folder.File(u"sub/dir/settings.dat"));
  LoadedSettings again = reopened.Load();
  EXPECT_EQ(again.origin, SettingsOrigin::kFile);
  EXPECT_TRUE(SameBytes(again.record, edited));
}

TEST(SettingsStore, ADamagedFileIsKeptAsideNeverOverwritten) {
  TempFolder folder;
  const std::u16string path = folder.File(u"settings.dat");
  const std::vector<uint8_t> shortFile(100, 0xAB);
  std::vector<uint8_t> longFile(kSettingsRecordSize + 1, 0xCD);
  WriteBytes(path, shortFile);

  SettingsStore store(path);
  LoadedSettings loaded = store.Load();
  EXPECT_EQ(loaded.origin, SettingsOrigin::kDamaged);
  EXPECT_TRUE(SameBytes(loaded.record, MakeDefaultSettings()));
  EXPECT_FALSE(Exists(path));
  ASSERT_FALSE(loaded.asidePath.empty());
  EXPECT_EQ(ReadBytes(loaded.asidePath), shortFile);

  // A second damaged file gets a name of its own; the first one stays as it was.
  WriteBytes(path, longFile);
  LoadedSettings second = SettingsStore(path).Load();
  EXPECT_EQ(second.origin, SettingsOrigin::kDamaged);
  EXPECT_NE(second.asidePath, loaded.asidePath);
  EXPECT_EQ(ReadBytes(second.asidePath), longFile);
  EXPECT_EQ(ReadBytes(loaded.asidePath), shortFile);

  // The defaults can be saved in the free place.
  platform::OsError error = 0;
  EXPECT_EQ(store.Save(loaded.record, &error), Result::kSuccess);
  EXPECT_EQ(ReadBytes(path).size(), kSettingsRecordSize);
}

TEST(SettingsStore, AFileThatCannotBeReadIsLeftAloneAndNothingIsKeptWithoutAPlace) {
  TempFolder folder;
  // A folder where the file should be: it cannot be read, and must not be replaced either.
  const std::u16string path = folder.File(u"settings.dat");
  std::vector<uint8_t> marker = {1, 2, 3};
  ASSERT_TRUE(platform::CreateFolders(path, nullptr));
  WriteBytes(path + u"/inside", marker);
  SettingsStore store(path);
  LoadedSettings loaded = store.Load();
  EXPECT_EQ(loaded.origin, SettingsOrigin::kUnreadable);
  platform::OsError error = 0;
  EXPECT_NE(store.Save(loaded.record, &error), Result::kSuccess);
  EXPECT_EQ(ReadBytes(path + u"/inside"), marker);

  SettingsStore nowhere(u"");
  EXPECT_EQ(nowhere.Load().origin, SettingsOrigin::kNoFolder);
  EXPECT_EQ(nowhere.Save(loaded.record, &error), Result::kFileWriteFailed);
}

}  // namespace
}  // namespace quillet::warden
