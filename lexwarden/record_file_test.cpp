#include "lexwarden/record_file.h"

#include <gtest/gtest.h>

#include "lexwarden/test_support.h"
#include "platform/user_data.h"

namespace quillet::warden {
namespace {

using testing::Exists;
using testing::ListFolder;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

constexpr size_t kSize = 300;  // any fixed size

TEST(RecordFile, FirstRunFindsNothingAndASavedRecordComesBackWhole) {
  TempFolder folder;
  // The folder of the file does not exist yet: saving makes it.
  RecordFile file(folder.File(u"sub/dir/settings.dat"), kSize);
  LoadedRecord first = file.Load();
  EXPECT_EQ(first.origin, RecordOrigin::kFirstRun);
  EXPECT_TRUE(first.bytes.empty());

  std::vector<uint8_t> record(kSize, 0x11);
  record[kSize - 1] = 0x5A;
  platform::OsError error = 0;
  ASSERT_EQ(file.Save(record.data(), &error), Result::kSuccess) << error;
  // Saving again replaces the file; no temporary file stays behind.
  record[0] = 0x22;
  ASSERT_EQ(file.Save(record.data(), &error), Result::kSuccess);
  EXPECT_EQ(ListFolder(folder.File(u"sub/dir")), std::vector<std::u16string>{u"settings.dat"});

  LoadedRecord again = RecordFile(folder.File(u"sub/dir/settings.dat"), kSize).Load();
  EXPECT_EQ(again.origin, RecordOrigin::kFile);
  EXPECT_EQ(again.bytes, record);
}

TEST(RecordFile, ADamagedFileIsKeptAsideNeverOverwritten) {
  TempFolder folder;
  const std::u16string path = folder.File(u"settings.dat");
  const std::vector<uint8_t> shortFile(100, 0xAB);
  std::vector<uint8_t> longFile(kSize + 1, 0xCD);
  WriteBytes(path, shortFile);

  RecordFile file(path, kSize);
  LoadedRecord loaded = file.Load();
  EXPECT_EQ(loaded.origin, RecordOrigin::kDamaged);
  EXPECT_TRUE(loaded.bytes.empty());
  EXPECT_FALSE(Exists(path));
  ASSERT_FALSE(loaded.asidePath.empty());
  EXPECT_EQ(ReadBytes(loaded.asidePath), shortFile);

  // A second damaged file gets a name of its own; the first one stays as it was.
  WriteBytes(path, longFile);
  LoadedRecord second = RecordFile(path, kSize).Load();
  EXPECT_EQ(second.origin, RecordOrigin::kDamaged);
  EXPECT_NE(second.asidePath, loaded.asidePath);
  EXPECT_EQ(ReadBytes(second.asidePath), longFile);
  EXPECT_EQ(ReadBytes(loaded.asidePath), shortFile);

  // A record can be saved in the free place.
  platform::OsError error = 0;
  const std::vector<uint8_t> record(kSize, 0x33);
  EXPECT_EQ(file.Save(record.data(), &error), Result::kSuccess);
  EXPECT_EQ(ReadBytes(path), record);
}

TEST(RecordFile, AFileThatCannotBeReadIsLeftAloneAndNothingIsKeptWithoutAPlace) {
  TempFolder folder;
  // A folder where the file should be: it cannot be read, and must not be replaced either.
  const std::u16string path = folder.File(u"settings.dat");
  std::vector<uint8_t> marker = {1, 2, 3};
  ASSERT_TRUE(platform::CreateFolders(path, nullptr));
  WriteBytes(path + u"/inside", marker);
  RecordFile file(path, kSize);
  EXPECT_EQ(file.Load().origin, RecordOrigin::kUnreadable);
  platform::OsError error = 0;
  const std::vector<uint8_t> record(kSize, 0x44);
  EXPECT_NE(file.Save(record.data(), &error), Result::kSuccess);
  EXPECT_EQ(ReadBytes(path + u"/inside"), marker);

  RecordFile nowhere(u"", kSize);
  EXPECT_EQ(nowhere.Load().origin, RecordOrigin::kNoFolder);
  EXPECT_EQ(nowhere.Save(record.data(), &error), Result::kFileWriteFailed);
}

}  // namespace
}  // namespace quillet::warden
