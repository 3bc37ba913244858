// The dictionary block as text services read it, published through the same block code they use.
// Each test plays the loader's worker itself.
#include "lexwarden/dictionary_publisher.h"

#include <gtest/gtest.h>

#include "lexwarden/loader_testing.h"
#include "lexwarden/test_support.h"

namespace quillet::warden {
namespace {

using testing::MakeDictionary;
using testing::Reader;
using testing::RecordWith;
using testing::TempFolder;
using testing::Whole;
using testing::WriteBytes;

class DictionaryPublisherTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::UseFreshNamespace(); }
  DictionaryPublisher MakePublisher() const { return DictionaryPublisher(program_.path(), &platform::ReadWholeFile); }

  TempFolder program_;
};

TEST_F(DictionaryPublisherTest, DictionariesArePublishedInTheRecordsOrderFromEveryKindOfPath) {
  kWorkerRole.Assume();
  TempFolder elsewhere;
  WriteBytes(program_.File(u"a.dict"), MakeDictionary(u"a", 120));
  WriteBytes(elsewhere.File(u"b.dict"), MakeDictionary(u"b", 7));
  ASSERT_TRUE(platform::CreateFolders(program_.File(u"sub"), nullptr));
  WriteBytes(program_.File(u"sub/c.dict"), MakeDictionary(u"c", 300));
  WriteBytes(program_.File(u"bad.dict"), {1, 2, 3, 4});
  const SettingsRecord record =
      RecordWith({u"sub\\c.dict", u"bad.dict", elsewhere.File(u"b.dict"), u"a.dict", u"missing.dict"});

  DictionaryPublisher publisher = MakePublisher();
  EXPECT_EQ(publisher.Open(record.view()), Result::kFileOpenFailed);  // bad.dict is malformed
  Reader reader;
  ASSERT_EQ(reader.Open(), Result::kSuccess);
  ASSERT_EQ(reader.count(), 5u);
  EXPECT_TRUE(Whole(reader.Keys(0), u"c", 300));
  EXPECT_TRUE(reader.Keys(1).empty());
  EXPECT_TRUE(Whole(reader.Keys(2), u"b", 7));
  EXPECT_TRUE(Whole(reader.Keys(3), u"a", 120));
  EXPECT_TRUE(reader.Keys(4).empty());
  EXPECT_EQ(publisher.publications(), 1u);
}

TEST_F(DictionaryPublisherTest, AnEmptyDictionaryListGivesAnEmptyDirectory) {
  kWorkerRole.Assume();
  DictionaryPublisher publisher = MakePublisher();
  EXPECT_EQ(publisher.Open(RecordWith({}).view()), Result::kSuccess);
  Reader reader;
  EXPECT_EQ(reader.Open(), Result::kNoDictionary);
}

TEST_F(DictionaryPublisherTest, OldReadersStayWholeUntilTheyReopen) {
  kWorkerRole.Assume();
  WriteBytes(program_.File(u"a.dict"), MakeDictionary(u"a", 500));
  WriteBytes(program_.File(u"b.dict"), MakeDictionary(u"b", 260));
  DictionaryPublisher publisher = MakePublisher();
  ASSERT_EQ(publisher.Open(RecordWith({u"a.dict"}).view()), Result::kSuccess);
  Reader before;
  ASSERT_EQ(before.Open(), Result::kSuccess);

  ASSERT_EQ(publisher.Reload(RecordWith({u"b.dict"}).view()), Result::kSuccess);
  EXPECT_TRUE(Whole(before.Keys(0), u"a", 500));
  Reader after;
  ASSERT_EQ(after.Open(), Result::kSuccess);
  ASSERT_EQ(after.count(), 1u);
  EXPECT_TRUE(Whole(after.Keys(0), u"b", 260));
  EXPECT_TRUE(Whole(before.Keys(0), u"a", 500));
  EXPECT_FALSE(publisher.growthPending());
}

TEST_F(DictionaryPublisherTest, ABlockThatMustGrowWaitsForItsOldHoldersWithoutLosingTheNewSet) {
  kWorkerRole.Assume();
  WriteBytes(program_.File(u"small.dict"), MakeDictionary(u"s", 10));
  // Larger than the smallest block, so the new set needs a bigger mapping.
  const std::u16string longPrefix(40, u'x');
  WriteBytes(program_.File(u"big.dict"), MakeDictionary(longPrefix, 100000));
  DictionaryPublisher publisher = MakePublisher();
  ASSERT_EQ(publisher.Open(RecordWith({u"small.dict"}).view()), Result::kSuccess);
  const size_t smallCapacity = publisher.capacity();

  Reader holder;
  ASSERT_EQ(holder.Open(), Result::kSuccess);
  EXPECT_EQ(publisher.Reload(RecordWith({u"small.dict", u"big.dict"}).view()), Result::kFileOpenFailed);
  EXPECT_TRUE(publisher.growthPending());
  EXPECT_TRUE(publisher.waitingForGrowth());
  EXPECT_EQ(publisher.RetryGrowth(), Result::kWaitFailed);  // still held
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

  EXPECT_EQ(publisher.RetryGrowth(), Result::kSuccess);
  EXPECT_FALSE(publisher.growthPending());
  EXPECT_FALSE(publisher.waitingForGrowth());
  EXPECT_GT(publisher.capacity(), smallCapacity);
  Reader reader;
  ASSERT_EQ(reader.Open(), Result::kSuccess);
  EXPECT_TRUE(Whole(reader.Keys(0), u"s", 10));
  EXPECT_TRUE(Whole(reader.Keys(1), longPrefix, 100000));
  EXPECT_EQ(publisher.RetryGrowth(), Result::kWaitFailed) << "nothing waits any more";
}

}  // namespace
}  // namespace quillet::warden
