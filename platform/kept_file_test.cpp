#include "platform/kept_file.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "common/utf16.h"
#include "platform/files_testing.h"
#include "platform/user_data.h"

namespace quillet::platform {
namespace {

using testing::Exists;
using testing::ListFolder;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

constexpr size_t kSize = 300;

bool ExactSize(const uint8_t*, size_t size) { return size == kSize; }

TEST(KeptFile, FirstRunFindsNothingAndWhatIsSavedComesBackWhole) {
  TempFolder folder;
  // The folder of the file does not exist yet: saving makes it.
  KeptFile file(folder.File(u"sub/dir/settings.dat"), kSize, &ExactSize);
  KeptContent first = file.Load();
  EXPECT_EQ(first.origin, KeptOrigin::kFirstRun);
  EXPECT_TRUE(first.bytes.empty());

  std::vector<uint8_t> record(kSize, 0x11);
  record[kSize - 1] = 0x5A;
  OsError error = 0;
  ASSERT_EQ(file.Save(record.data(), record.size(), &error), Result::kSuccess) << error;
  // Saving again replaces the file; no temporary file stays behind.
  record[0] = 0x22;
  ASSERT_EQ(file.Save(record.data(), record.size(), &error), Result::kSuccess);
  EXPECT_EQ(ListFolder(folder.File(u"sub/dir")), std::vector<std::u16string>{u"settings.dat"});

  KeptContent again = KeptFile(folder.File(u"sub/dir/settings.dat"), kSize, &ExactSize).Load();
  EXPECT_EQ(again.origin, KeptOrigin::kFile);
  EXPECT_EQ(again.bytes, record);
#ifndef _WIN32
  // What the user wrote is the user's alone.
  struct stat st {};
  ASSERT_EQ(stat(ToUtf8(folder.File(u"sub/dir/settings.dat")).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u);
#endif
}

TEST(KeptFile, ADamagedOrOversizedFileIsKeptAsideNeverOverwritten) {
  TempFolder folder;
  const std::u16string path = folder.File(u"settings.dat");
  const std::vector<uint8_t> shortFile(100, 0xAB);
  // Larger than the limit: not even read, only moved aside.
  const std::vector<uint8_t> hugeFile(kSize * 10, 0xCD);
  WriteBytes(path, shortFile);

  KeptFile file(path, kSize, &ExactSize);
  KeptContent loaded = file.Load();
  EXPECT_EQ(loaded.origin, KeptOrigin::kDamaged);
  EXPECT_TRUE(loaded.bytes.empty());
  EXPECT_FALSE(Exists(path));
  ASSERT_FALSE(loaded.asidePath.empty());
  EXPECT_EQ(ReadBytes(loaded.asidePath), shortFile);

  // A second damaged file gets a name of its own; the first one stays as it was.
  WriteBytes(path, hugeFile);
  KeptContent second = KeptFile(path, kSize, &ExactSize).Load();
  EXPECT_EQ(second.origin, KeptOrigin::kDamaged);
  EXPECT_NE(second.asidePath, loaded.asidePath);
  EXPECT_EQ(ReadBytes(second.asidePath), hugeFile);
  EXPECT_EQ(ReadBytes(loaded.asidePath), shortFile);

  // What is saved goes in the free place; nothing larger than the limit is written.
  OsError error = 0;
  const std::vector<uint8_t> record(kSize, 0x33);
  EXPECT_EQ(file.Save(record.data(), record.size(), &error), Result::kSuccess);
  EXPECT_EQ(ReadBytes(path), record);
  EXPECT_EQ(file.Save(hugeFile.data(), hugeFile.size(), &error), Result::kFileWriteFailed);
  EXPECT_EQ(ReadBytes(path), record);
}

TEST(KeptFile, AFileThatCannotBeReadIsLeftAloneAndNothingIsKeptWithoutAPlace) {
  TempFolder folder;
  // A folder where the file should be: it cannot be read, and must not be replaced either.
  const std::u16string path = folder.File(u"settings.dat");
  std::vector<uint8_t> marker = {1, 2, 3};
  ASSERT_TRUE(CreateFolders(path, nullptr));
  WriteBytes(path + u"/inside", marker);
  KeptFile file(path, kSize);
  EXPECT_EQ(file.Load().origin, KeptOrigin::kUnreadable);
  OsError error = 0;
  const std::vector<uint8_t> record(kSize, 0x44);
  EXPECT_NE(file.Save(record.data(), record.size(), &error), Result::kSuccess);
  EXPECT_EQ(ReadBytes(path + u"/inside"), marker);

  KeptFile nowhere(u"", kSize);
  EXPECT_EQ(nowhere.Load().origin, KeptOrigin::kNoFolder);
  EXPECT_EQ(nowhere.Save(record.data(), record.size(), &error), Result::kFileWriteFailed);
}

}  // namespace
}  // namespace quillet::platform
