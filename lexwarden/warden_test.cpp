// The loader's core in this process, told what to do by messages as the other programs tell it, and
// read through the same block code the text services use.
#include "lexwarden/warden.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <new>
#include <thread>

#include "common/options_record.h"
#include "common/program_rules.h"
#include "common/rank_format.h"
#include "common/rank_view.h"
#include "common/settings_record.h"
#include "common/utf16.h"
#include "ipc/shared_block.h"
#include "lexwarden/loader_testing.h"
#include "lexwarden/warden_testing.h"
#include "lookup/learn_file_client.h"
#include "lookup/learning_reporter.h"
#include "lookup/tab_source_set.h"
#include "platform/user_data.h"

namespace quillet::warden {
namespace {

using testing::BytesOf;
using testing::MakeDictionary;
using testing::ReadBytes;
using testing::Reader;
using testing::ReadSettingsBlock;
using testing::RecordWith;
using testing::TempFolder;
using testing::Whole;
using testing::WriteBytes;
using testing::WriteSettingsBlock;

class WardenTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::UseFreshNamespace(); }
  WardenOptions Options() const { return {program_.path(), config_.File(u"settings.dat")}; }
  void SaveRecord(const SettingsRecord& r) { WriteBytes(config_.File(u"settings.dat"), BytesOf(r)); }
  // a.dict, 30 words, with ranking data of these costs beside it, the one dictionary of the settings.
  void SaveRanked(const std::vector<uint16_t>& costs) {
    const std::vector<uint8_t> dictionary = MakeDictionary(u"w", 30);
    WriteBytes(program_.File(u"a.dict"), dictionary);
    DictionaryView view;
    ASSERT_TRUE(DictionaryView::FromFile(dictionary.data(), dictionary.size(), &view));
    WriteBytes(program_.File(u"a.rank"), EncodeRankData(DictionaryFingerprint(view), costs, {}));
    SaveRecord(RecordWith({u"a.dict"}));
  }

  TempFolder program_;
  TempFolder config_;
};

TEST_F(WardenTest, TheHandshakeSaysWhatIsMissingUntilAReloadFindsIt) {
  Warden warden(Options());
  EXPECT_EQ(warden.Start(), Result::kFileOpenFailed);  // english.dict is not there
  EXPECT_EQ(warden.settingsOrigin(), platform::KeptOrigin::kFirstRun);
  EXPECT_EQ(warden.HandleMessage(kLoaderHandshakeMessage, 0, 0), ToInt(Result::kFileOpenFailed));

  // The user puts the file in place; the generator's notice reloads it.
  WriteBytes(program_.File(u"english.dict"), MakeDictionary(u"en", 150));
  EXPECT_EQ(warden.HandleMessage(kLoaderReloadMessage, 0, 1), 0);
  EXPECT_EQ(warden.HandleMessage(kLoaderHandshakeMessage, 0, 0), ToInt(Result::kSuccess));
  Reader reader;
  ASSERT_EQ(reader.Open(), Result::kSuccess);
  EXPECT_TRUE(Whole(reader.Keys(0), u"en", 150));
}

TEST_F(WardenTest, AReloadMessageKeepsTheRecordAndRepublishesItsDictionaries) {
  WriteBytes(program_.File(u"a.dict"), MakeDictionary(u"a", 500));
  WriteBytes(program_.File(u"b.dict"), MakeDictionary(u"b", 260));
  SaveRecord(RecordWith({u"a.dict"}));
  Warden warden(Options());
  ASSERT_EQ(warden.Start(), Result::kSuccess);
  EXPECT_EQ(warden.settingsOrigin(), platform::KeptOrigin::kFile);

  SettingsRecord edited = ReadSettingsBlock();
  ASSERT_TRUE(AddDictionary(edited.view(), u"b.dict"));
  ASSERT_TRUE(RemoveDictionary(edited.view(), 0));
  edited.view().tab(0).SetTitle(u"Edited");
  WriteSettingsBlock(edited);
  EXPECT_EQ(warden.HandleMessage(kLoaderReloadMessage, 1, 1), 0);

  EXPECT_EQ(ReadBytes(config_.File(u"settings.dat")), BytesOf(edited));
  Reader after;
  ASSERT_EQ(after.Open(), Result::kSuccess);
  ASSERT_EQ(after.count(), 1u);
  EXPECT_TRUE(Whole(after.Keys(0), u"b", 260));
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
  EXPECT_EQ(ReadBytes(config_.File(u"settings.dat")), BytesOf(edited))
      << "the settings job of the same message is kept";

  // The next reload that can be done is.
  ASSERT_TRUE(RemoveDictionary(edited.view(), 1));
  WriteSettingsBlock(edited);
  EXPECT_EQ(warden.HandleMessage(kLoaderReloadMessage, 0, 1), 0);
  EXPECT_EQ(warden.HandleMessage(kLoaderHandshakeMessage, 0, 0), ToInt(Result::kSuccess));
}

// The options are kept beside the settings and published like them; the ranking data beside a
// dictionary is published with it. A text service's set then ranks the tab whose options say so.
TEST_F(WardenTest, TabOptionsAndRankingDataReachTheTextServices) {
  std::vector<uint16_t> costs(30, 5000);
  costs[29] = 100;  // the last word is by far the likeliest
  ASSERT_NO_FATAL_FAILURE(SaveRanked(costs));
  // A damaged options file is set aside, and the tabs start from the defaults.
  WriteBytes(config_.File(u"options.dat"), std::vector<uint8_t>(kOptionsRecordSize, 0x5A));
  Warden warden(Options());
  ASSERT_EQ(warden.Start(), Result::kSuccess);
  EXPECT_EQ(warden.optionsOrigin(), platform::KeptOrigin::kDamaged);

  // What the settings sheet does: write the options under the block's lock, then ask to keep them.
  const int16_t tabId = ReadSettingsBlock().view().tab(0).tabId();
  SharedBlock options;
  ASSERT_EQ(OpenOptionsBlock(options), Result::kSuccess);
  {
    BlockWriteLock lock(options);
    ASSERT_TRUE(lock);
    ASSERT_TRUE(WriteTabOptions(options.view(), kOptionsRecordSize, tabId, {CandidateOrder::kFrequent, false}));
  }
  CloseBlock(options, false);
  EXPECT_EQ(warden.HandleMessage(kLoaderReloadMessage, 1, 0), 0);
  const std::vector<uint8_t> kept = ReadBytes(config_.File(u"options.dat"));
  EXPECT_EQ(ReadTabOptions(kept.data(), kept.size(), tabId).order, CandidateOrder::kFrequent);

  PublishedData published;
  TabSourceSet after(published);
  ASSERT_EQ(published.Open(), Result::kSuccess);
  after.Rebuild();
  ASSERT_GT(after.SetPrefix(u"w"), 0u);
  EXPECT_EQ(after.ShownSource()->CandidateWord(0), u"w0000029");
}

// The program rules are kept beside the settings and published like the options: a first run
// publishes the defaults (and writes no file), rules the sheet writes are kept and republished, and a
// damaged file is set aside for the defaults.
TEST_F(WardenTest, ProgramRulesAreKeptBesideTheSettingsAndPublished) {
  auto published = [] {
    PublishedData data;
    EXPECT_EQ(data.Open(), Result::kSuccess);
    return std::vector<uint8_t>(data.programs(), data.programs() + data.programsSize());
  };
  WriteBytes(program_.File(u"a.dict"), MakeDictionary(u"w", 30));
  SaveRecord(RecordWith({u"a.dict"}));
  {
    Warden warden(Options());
    ASSERT_EQ(warden.Start(), Result::kSuccess);
    EXPECT_EQ(warden.programsOrigin(), platform::KeptOrigin::kFirstRun);
    EXPECT_EQ(published(), DefaultProgramRules());

    std::vector<uint8_t> rules;
    ASSERT_TRUE(EncodeProgramRules({{u"game.exe", ProgramRule::kNever}}, &rules));
    SharedBlock block;
    ASSERT_EQ(OpenProgramsBlock(block), Result::kSuccess);
    {
      BlockWriteLock lock(block);
      ASSERT_TRUE(lock);
      std::copy(rules.begin(), rules.end(), block.view());
    }
    CloseBlock(block, false);
    EXPECT_EQ(warden.HandleMessage(kLoaderReloadMessage, 1, 0), 0);
    EXPECT_EQ(ReadBytes(config_.File(u"programs.dat")), rules);
    EXPECT_EQ(published(), rules);
  }
  std::vector<uint8_t> damaged = ReadBytes(config_.File(u"programs.dat"));
  damaged[6] = 0xFF;  // a count beyond capacity
  WriteBytes(config_.File(u"programs.dat"), damaged);
  Warden warden(Options());
  ASSERT_EQ(warden.Start(), Result::kSuccess);
  EXPECT_EQ(warden.programsOrigin(), platform::KeptOrigin::kDamaged);
  EXPECT_EQ(published(), DefaultProgramRules());
  EXPECT_EQ(ReadBytes(config_.File(u"programs.dat.damaged")), damaged);
}

// What text services report is learned by the loader, kept in learned.dat and published: a tab in the
// learning order then offers a word written twice that the dictionary lacks, and forgets it again; a
// corrected misspelling offers its word first for the same letters.
TEST_F(WardenTest, ReportedWordsAreLearnedKeptAndForgotten) {
  ASSERT_NO_FATAL_FAILURE(SaveRanked(std::vector<uint16_t>(30, 5000)));
  const int16_t tabId = RecordWith({u"a.dict"}).view().tab(0).tabId();
  std::vector<uint8_t> options = DefaultOptionsRecord();
  ASSERT_TRUE(WriteTabOptions(options.data(), options.size(), tabId, {CandidateOrder::kLearning, false, true}));
  WriteBytes(config_.File(u"options.dat"), options);
  Warden warden(Options());
  ASSERT_EQ(warden.Start(), Result::kSuccess);

  PublishedData published;
  TabSourceSet set(published);
  LearningReporter reporter;
  ASSERT_EQ(published.Open(), Result::kSuccess);
  ASSERT_TRUE(reporter.Open());
  reporter.ReportWritten(u"I wrote wzz. Then wzz again");
  warden.DrainLearning();
  published.Refresh();
  set.Rebuild();
  ASSERT_GT(set.SetPrefix(u"w"), 0u);
  EXPECT_EQ(set.ShownSource()->CandidateWord(0), u"wzz") << "written twice, not in the dictionary";
  const std::vector<uint8_t> first = ReadBytes(config_.File(u"learned.dat"));
  EXPECT_FALSE(first.empty()) << "kept";
  reporter.ReportForget(u"wzz");
  warden.DrainLearning();
  published.Refresh();
  set.Rebuild();
  ASSERT_GT(set.SetPrefix(u"w"), 0u);
  EXPECT_EQ(set.ShownSource()->CandidateWord(0), u"w0000000");
  ASSERT_GT(set.SetPrefix(u"w00000x"), 0u);
  EXPECT_NE(set.ShownSource()->CandidateWord(0), u"w0000017");
  reporter.ReportMistake(u"w00000x", u"w0000017");
  warden.DrainLearning();
  published.Refresh();
  set.Rebuild();
  ASSERT_GT(set.SetPrefix(u"w00000x"), 0u);
  EXPECT_EQ(set.ShownSource()->CandidateWord(0), u"w0000017");
  // Saved at most every half minute while typing goes on, and on the way out.
  EXPECT_EQ(ReadBytes(config_.File(u"learned.dat")), first);
  set.Clear();
  published.Close();
  warden.Stop();
  EXPECT_NE(ReadBytes(config_.File(u"learned.dat")), first);
#ifndef _WIN32
  struct stat st {};
  ASSERT_EQ(stat(ToUtf8(config_.File(u"learned.dat")).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u) << "what the user wrote is the user's alone";
#endif
}

// A text file asked for through the inbox is learned a slice at a time: its words become candidates,
// its progress is told to the asking party, a second request meanwhile is told to wait, and a cancel
// stops it.
TEST_F(WardenTest, LearnsATextFileAskedForThroughTheInbox) {
  ASSERT_NO_FATAL_FAILURE(SaveRanked(std::vector<uint16_t>(30, 5000)));
  const int16_t tabId = RecordWith({u"a.dict"}).view().tab(0).tabId();
  std::vector<uint8_t> options = DefaultOptionsRecord();
  ASSERT_TRUE(WriteTabOptions(options.data(), options.size(), tabId, {CandidateOrder::kLearning, false, true}));
  WriteBytes(config_.File(u"options.dat"), options);
  const std::string small = "I wrote wzz. Then wzz again";
  WriteBytes(program_.File(u"small.txt"), std::vector<uint8_t>(small.begin(), small.end()));
  std::string large;
  while (large.size() < (8u << 20)) large += "many words in a long text. ";
  WriteBytes(program_.File(u"large.txt"), std::vector<uint8_t>(large.begin(), large.end()));
  Warden warden(Options());
  ASSERT_EQ(warden.Start(), Result::kSuccess);

  LearnFileClient client(kToolLockPolicy);
  ASSERT_EQ(client.Open(), Result::kSuccess);
  auto await = [&](uint32_t ticket, LearnFileProgress* p) {
    for (int i = 0; i < 1000; ++i) {
      if (client.Progress(ticket, p) && p->state == LearnFileState::kDone) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  };
  uint32_t ticket = 0;
  ASSERT_EQ(client.Ask(program_.File(u"small.txt"), &ticket), LearnFileClient::Asked::kAsked);
  LearnFileProgress p;
  ASSERT_TRUE(await(ticket, &p));
  EXPECT_EQ(p.result, LearnFileResult::kLearned);
  EXPECT_EQ(p.words, 6u);
  EXPECT_EQ(p.sentences, 2u);
  EXPECT_EQ(p.done, small.size());
  PublishedData published;
  TabSourceSet set(published);
  ASSERT_EQ(published.Open(), Result::kSuccess);
  set.Rebuild();
  ASSERT_GT(set.SetPrefix(u"w"), 0u);
  EXPECT_EQ(set.ShownSource()->CandidateWord(0), u"wzz") << "learned from the file";

  uint32_t big = 0, second = 0;
  ASSERT_EQ(client.Ask(program_.File(u"large.txt"), &big), LearnFileClient::Asked::kAsked);
  for (int i = 0; i < 500 && !(client.Progress(big, &p) && p.state == LearnFileState::kLearning); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(p.state, LearnFileState::kLearning);
  EXPECT_EQ(p.total, large.size());
  ASSERT_EQ(client.Ask(program_.File(u"small.txt"), &second), LearnFileClient::Asked::kAsked);
  ASSERT_TRUE(client.Cancel(big));
  ASSERT_TRUE(await(second, &p));
  EXPECT_EQ(p.result, LearnFileResult::kBusy);
  ASSERT_TRUE(await(big, &p));
  EXPECT_EQ(p.result, LearnFileResult::kCancelled);
  EXPECT_LT(p.done, large.size());
  // A path the loader cannot read is answered, not dropped.
  ASSERT_EQ(client.Ask(program_.File(u"missing.txt"), &ticket), LearnFileClient::Asked::kAsked);
  ASSERT_TRUE(await(ticket, &p));
  EXPECT_EQ(p.result, LearnFileResult::kCannotOpen);
  set.Clear();
  published.Close();
}

// A learned file larger than any store is not read into memory: it is set aside, under a name of its
// own beside an earlier damaged copy, and learning starts afresh.
TEST_F(WardenTest, AnOversizedLearnedFileIsSetAsideBesideEarlierOnes) {
  WriteBytes(program_.File(u"a.dict"), MakeDictionary(u"w", 30));
  SaveRecord(RecordWith({u"a.dict"}));
  const std::vector<uint8_t> earlier(100, 0x42);
  WriteBytes(config_.File(u"learned.dat.damaged"), earlier);
  WriteBytes(config_.File(u"learned.dat"), std::vector<uint8_t>(kMaxLearnedFileSize + 1, 0));
  Warden warden(Options());
  ASSERT_EQ(warden.Start(), Result::kSuccess);
  warden.Stop();
  EXPECT_EQ(ReadBytes(config_.File(u"learned.dat.damaged")), earlier);
  EXPECT_EQ(ReadBytes(config_.File(u"learned.dat.damaged.1")).size(), kMaxLearnedFileSize + 1);
  EXPECT_TRUE(ReadBytes(config_.File(u"learned.dat")).empty());
}

}  // namespace
}  // namespace quillet::warden
