// The dictionaries as text services read them, through the same code they use. Each test plays the
// loader's worker itself.
#include "lexwarden/dictionary_publisher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "common/sound_index.h"
#include "lexwarden/loader_testing.h"
#include "lexwarden/warden_testing.h"
#include "platform/file.h"

namespace quillet::warden {
namespace {

using testing::BytesOf;
using testing::MakeDictionary;
using testing::PublishedBytes;
using testing::Reader;
using testing::RecordWith;
using testing::TempFolder;
using testing::Whole;
using testing::WriteBytes;

class DictionaryPublisherTest : public ::testing::Test {
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
  // Shares are refused before anybody reads them.
  static platform::ReadStatus ReadLocalFile(const std::u16string& path, size_t maxSize, std::vector<uint8_t>* bytes,
                                            platform::OsError* error) {
    EXPECT_FALSE(platform::IsNetworkPath(path)) << "read from a share";
    return platform::ReadWholeFile(path, maxSize, bytes, error);
  }
  // What the loader does: the settings, then the dictionaries they list.
  Result Publish(const SettingsRecord& record) {
    kWorkerRole.Assume();
    std::optional<PublicationBoard::Made> settings = board_.Make(PublicationKind::kSettings, BytesOf(record));
    EXPECT_TRUE(settings);
    if (settings) board_.Name(std::move(*settings));
    return publisher_.Publish(record.view());
  }

  TempFolder program_;
  PublicationBoard board_;
  DictionaryPublisher publisher_{program_.path(), &ReadLocalFile, board_};
};

TEST_F(DictionaryPublisherTest, DictionariesArePublishedInTheRecordsOrderFromEveryKindOfPath) {
  kWorkerRole.Assume();
  TempFolder elsewhere;
  WriteBytes(program_.File(u"a.dict"), MakeDictionary(u"a", 120));
  WriteBytes(elsewhere.File(u"b.dict"), MakeDictionary(u"b", 7));
  ASSERT_TRUE(platform::CreateFolders(program_.File(u"sub"), nullptr));
  WriteBytes(program_.File(u"sub/c.dict"), MakeDictionary(u"c", 300));
  WriteBytes(program_.File(u"bad.dict"), {1, 2, 3, 4});
  const SettingsRecord record = RecordWith({u"sub\\c.dict", u"bad.dict", elsewhere.File(u"b.dict"), u"a.dict",
                                            u"missing.dict", u"\\\\server\\share\\a.dict"});

  EXPECT_EQ(Publish(record), Result::kFileOpenFailed);  // bad.dict is malformed
  Reader reader;
  ASSERT_EQ(reader.Open(), Result::kSuccess);
  ASSERT_EQ(reader.count(), 6u);
  EXPECT_TRUE(Whole(reader.Keys(0), u"c", 300));
  EXPECT_TRUE(reader.Keys(1).empty());
  EXPECT_TRUE(Whole(reader.Keys(2), u"b", 7));
  EXPECT_TRUE(Whole(reader.Keys(3), u"a", 120));
  EXPECT_TRUE(reader.Keys(4).empty());
  EXPECT_TRUE(reader.Keys(5).empty());
  EXPECT_EQ(publisher_.publications(), 1u);
}

TEST_F(DictionaryPublisherTest, AnEmptyDictionaryListGivesAnEmptyDirectory) {
  EXPECT_EQ(Publish(RecordWith({})), Result::kSuccess);
  Reader reader;
  EXPECT_EQ(reader.Open(), Result::kNoDictionary);
}

// The sound index of each dictionary is made at publication and named with it: at the dictionary's
// position, made for it, every entry in it; none for a position without entries, and none at all for a
// set without any. A reader that takes up the next set takes up its indexes with it.
TEST_F(DictionaryPublisherTest, EachDictionarysSoundIndexIsPublishedWithIt) {
  WriteBytes(program_.File(u"a.dict"), MakeDictionary(u"a", 120));
  WriteBytes(program_.File(u"b.dict"), MakeDictionary(u"b", 7));
  Reader held;
  auto check = [&held](const std::vector<size_t>& withEntries) {
    Reader reader;
    ASSERT_EQ(reader.Open(), Result::kSuccess);
    if (!held.published().open()) {
      ASSERT_EQ(held.Open(), Result::kSuccess);
    }
    held.Refresh();
    const std::vector<uint8_t> image = PublishedBytes(PublicationKind::kSounds);
    const auto sounds = ReadSoundImage(image.data(), image.size());
    for (size_t i = 0; i < reader.count() + 1; ++i) {
      const bool expected = std::find(withEntries.begin(), withEntries.end(), i) != withEntries.end();
      ASSERT_EQ(i < sounds.size() && sounds[i], expected) << i;
      EXPECT_EQ(reader.published().sounds(i) != nullptr, expected) << i;
      EXPECT_EQ(held.published().sounds(i) != nullptr, expected) << i;
      if (!expected) continue;
      const DictionaryView& dictionary = reader.published().directory()[i];
      EXPECT_TRUE(sounds[i]->MadeFor(dictionary)) << i;
      EXPECT_EQ(sounds[i]->count(), dictionary.entryCount()) << i;
    }
  };

  ASSERT_EQ(Publish(RecordWith({u"a.dict", u"missing.dict", u"b.dict"})), Result::kFileOpenFailed);
  ASSERT_NO_FATAL_FAILURE(check({0, 2}));
  ASSERT_EQ(Publish(RecordWith({u"b.dict", u"a.dict"})), Result::kSuccess);
  ASSERT_NO_FATAL_FAILURE(check({0, 1}));
  ASSERT_EQ(Publish(RecordWith({u"missing.dict"})), Result::kFileOpenFailed);
  ASSERT_NO_FATAL_FAILURE(check({}));
  EXPECT_TRUE(PublishedBytes(PublicationKind::kSounds).empty());
}

// A reader keeps the publication it opened, whole, however large the next one is, until it takes up
// the new one; nothing it holds keeps the loader from publishing.
TEST_F(DictionaryPublisherTest, ReadersKeepWhatTheyOpenedUntilTheyTakeUpTheNext) {
  WriteBytes(program_.File(u"a.dict"), MakeDictionary(u"a", 500));
  const std::u16string longPrefix(40, u'x');
  WriteBytes(program_.File(u"big.dict"), MakeDictionary(longPrefix, 100000));
  ASSERT_EQ(Publish(RecordWith({u"a.dict"})), Result::kSuccess);
  Reader before;
  ASSERT_EQ(before.Open(), Result::kSuccess);

  ASSERT_EQ(Publish(RecordWith({u"big.dict", u"a.dict"})), Result::kSuccess);
  EXPECT_TRUE(Whole(before.Keys(0), u"a", 500));
  Reader after;
  ASSERT_EQ(after.Open(), Result::kSuccess);
  ASSERT_EQ(after.count(), 2u);
  EXPECT_TRUE(Whole(after.Keys(0), longPrefix, 100000));
  EXPECT_TRUE(Whole(before.Keys(0), u"a", 500));

  EXPECT_TRUE(before.Refresh());
  EXPECT_TRUE(Whole(before.Keys(1), u"a", 500));
  EXPECT_FALSE(before.Refresh()) << "nothing new";
}

}  // namespace
}  // namespace quillet::warden
