// One run of the sheet against the loader's core in this process: its blocks are the real shared
// blocks, and its channel records every message it is told before the loader handles it.
#include "quillsvc/settings/settings_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "common/appearance_templates.h"
#include "common/options_record.h"
#include "ipc/protocol.h"
#include "lexwarden/warden_testing.h"
#include "lookup/learning_reporter.h"
#include "platform/user_data.h"
#include "quillsvc/settings/general_page_model.h"
#include "quillsvc/settings/learning_page_model.h"
#include "quillsvc/settings/programs_page_model.h"

namespace quillet::settings {
namespace {

using warden::testing::InProcessLoader;
using Message = quillet::testing::ChannelMessage;
using warden::testing::PublishedSettings;

bool Same(const SettingsRecord& a, const SettingsRecord& b, ByteRange range) {
  return std::memcmp(a.data() + range.begin, b.data() + range.begin, range.size()) == 0;
}

const SettingsSession::LoaderStarter kRunning = [](std::u16string_view) { return 0; };

class SettingsSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(loader_.started(), 10);  // the default dictionary file does not exist here
    ASSERT_FALSE(session_.Open(kRunning));
    before_ = PublishedSettings();
    ASSERT_EQ(std::memcmp(session_.record().data(), before_.data(), kSettingsRecordSize), 0);
  }

  InProcessLoader loader_;
  SettingsSession session_;
  SettingsRecord before_;
};

TEST_F(SettingsSessionTest, CancelAtOnceWritesNothingAndTellsTheLoaderSo) {
  std::optional<Notice> notice;
  EXPECT_EQ(session_.NotifyLoader(&notice), 0);
  EXPECT_FALSE(notice);
  const std::vector<Message> reloads = loader_.reloads();
  ASSERT_EQ(reloads.size(), 1u);
  EXPECT_EQ(reloads[0].wParam, 0u);
  EXPECT_EQ(reloads[0].lParam, 0);
  EXPECT_EQ(std::memcmp(PublishedSettings().data(), before_.data(), kSettingsRecordSize), 0);
  EXPECT_TRUE(loader_.SavedFile().empty());
}

TEST_F(SettingsSessionTest, AnAppearanceCommitWritesTheTabsSectionOnly) {
  SettingsView s = session_.view();
  ApplyTemplate(s, 0, 3);
  s.dictionary(0).SetName(u"not committed");
  ASSERT_EQ(session_.CommitSection(SettingsSection::kAppearancePage), Result::kSuccess);
  const SettingsRecord now = PublishedSettings();
  EXPECT_TRUE(Same(now, session_.record(), kTabsSection));
  EXPECT_TRUE(Same(now, before_, kDictionariesSection));

  EXPECT_EQ(session_.NotifyLoader(nullptr), 0);
  ASSERT_EQ(loader_.reloads().size(), 1u);
  EXPECT_EQ(loader_.reloads()[0].wParam, 1u);
  EXPECT_EQ(loader_.reloads()[0].lParam, 0);
  // The loader kept what the block holds.
  const std::vector<uint8_t> saved = loader_.SavedFile();
  ASSERT_EQ(saved.size(), kSettingsRecordSize);
  EXPECT_EQ(std::memcmp(saved.data(), now.data(), kSettingsRecordSize), 0);
}

TEST_F(SettingsSessionTest, ADictionaryCommitWritesBothSections) {
  SettingsView s = session_.view();
  ASSERT_TRUE(AddDictionary(s, u".\\second.dict"));
  ASSERT_TRUE(RemoveDictionary(s, 0));
  ASSERT_EQ(session_.CommitSection(SettingsSection::kDictionaryPage), Result::kSuccess);
  const SettingsRecord now = PublishedSettings();
  EXPECT_TRUE(Same(now, session_.record(), kTabsSection));
  EXPECT_TRUE(Same(now, session_.record(), kDictionariesSection));
  session_.NotifyLoader(nullptr);
  ASSERT_EQ(loader_.reloads().size(), 1u);
  EXPECT_EQ(loader_.reloads()[0].wParam, 1u);
  EXPECT_EQ(loader_.reloads()[0].lParam, 1);
}

TEST_F(SettingsSessionTest, ApplyThenCancelKeepsWhatWasApplied) {
  SettingsView s = session_.view();
  s.tab(0).SetTitle(u"applied");
  ASSERT_EQ(session_.CommitSection(SettingsSection::kTabPage), Result::kSuccess);
  s.tab(0).SetTitle(u"cancelled");
  session_.NotifyLoader(nullptr);
  EXPECT_EQ(PublishedSettings().view().tab(0).title(), u"applied");
  ASSERT_EQ(loader_.reloads().size(), 1u);
  EXPECT_EQ(loader_.reloads()[0].wParam, 1u);
  EXPECT_EQ(loader_.reloads()[0].lParam, 0);
}

// The tab page's Apply writes the options too, and the loader keeps them beside the settings.
TEST_F(SettingsSessionTest, TheTabPageCommitsTheTabsOptionsAndTheLoaderKeepsThem) {
  std::vector<uint8_t>* options = session_.options();
  ASSERT_NE(options, nullptr);
  const int16_t id = session_.view().tab(0).tabId();
  ASSERT_TRUE(WriteTabOptions(options->data(), options->size(), id, {CandidateOrder::kFrequent, true}));
  ASSERT_EQ(session_.CommitSection(SettingsSection::kAppearancePage), Result::kSuccess);
  EXPECT_EQ(session_.NotifyLoader(nullptr), 0);
  EXPECT_TRUE(loader_.SavedFile(u"options.dat").empty() ||
              ReadTabOptions(loader_.SavedFile(u"options.dat").data(), kOptionsRecordSize, id) == TabOptions{})
      << "the appearance page leaves the options alone";
  ASSERT_EQ(session_.CommitSection(SettingsSection::kTabPage), Result::kSuccess);
  EXPECT_EQ(session_.NotifyLoader(nullptr), 0);
  const std::vector<uint8_t> kept = loader_.SavedFile(u"options.dat");
  ASSERT_EQ(kept.size(), kOptionsRecordSize);
  EXPECT_EQ(ReadTabOptions(kept.data(), kept.size(), id), (TabOptions{CandidateOrder::kFrequent, true}));
}

// The learning page lists what the loader learned; its Apply forgets words, or all of them, and pauses
// learning; the general page sets the toggle key. Neither touches the settings block.
TEST(SettingsSessionLearning, TheLearningAndGeneralPagesKeepOptionsAndEditsOnly) {
  InProcessLoader loader;
  LearningReporter reporter;  // a text service reporting what was written
  ASSERT_TRUE(reporter.Open());
  reporter.ReportWritten(u"alpha beta beta gamma gamma gamma");
  loader.DrainLearning();

  SettingsSession session;
  ASSERT_FALSE(session.Open(kRunning));
  EXPECT_EQ(session.learnedWords(), (std::vector<std::u16string>{u"gamma", u"beta", u"alpha"}));
  LearningPageModel page(session.learnedWords(), session.options(), &session.learningEdits());
  EXPECT_FALSE(page.paused());
  ASSERT_TRUE(page.Forget(1));  // beta
  EXPECT_EQ(page.words(), (std::vector<std::u16string>{u"gamma", u"alpha"}));
  ASSERT_TRUE(page.SetPaused(true));
  ASSERT_TRUE(page.Apply().commit);
  ASSERT_EQ(session.CommitSection(SettingsSection::kLearningPage), Result::kSuccess);
  GeneralPageModel general(session.options());
  ASSERT_TRUE(general.ChooseToggleKey(static_cast<int>(ToggleKey::kCtrlSpace)));
  ASSERT_TRUE(general.Apply().commit);
  ASSERT_EQ(session.CommitSection(SettingsSection::kGeneralPage), Result::kSuccess);
  EXPECT_FALSE(session.tabsWritten());
  EXPECT_EQ(session.NotifyLoader(nullptr), 0);
  loader.DrainLearning();

  SettingsSession again;
  ASSERT_FALSE(again.Open(kRunning));
  EXPECT_EQ(again.learnedWords(), (std::vector<std::u16string>{u"gamma", u"alpha"}));
  ASSERT_NE(again.options(), nullptr);
  EXPECT_TRUE(LearningPaused(again.options()->data(), again.options()->size()));
  const std::vector<uint8_t> kept = loader.SavedFile(u"options.dat");
  EXPECT_TRUE(LearningPaused(kept.data(), kept.size())) << "the loader kept the pause";
  EXPECT_EQ(ReadToggleKey(kept.data(), kept.size()), ToggleKey::kCtrlSpace);
  LearningPageModel all(again.learnedWords(), again.options(), &again.learningEdits());
  ASSERT_TRUE(all.ForgetAll());
  ASSERT_TRUE(all.Apply().commit);
  ASSERT_EQ(again.CommitSection(SettingsSection::kLearningPage), Result::kSuccess);
  loader.DrainLearning();
  SettingsSession last;
  ASSERT_FALSE(last.Open(kRunning));
  EXPECT_TRUE(last.learnedWords().empty());
}

// The programs page writes the program rules only, and the loader keeps them beside the settings.
TEST_F(SettingsSessionTest, TheProgramsPageCommitsTheRulesOnlyAndTheLoaderKeepsThem) {
  std::vector<uint8_t>* rules = session_.programs();
  ASSERT_NE(rules, nullptr);
  EXPECT_EQ(*rules, DefaultProgramRules()) << "a first run";
  ProgramsPageModel page(rules);
  ASSERT_FALSE(page.Add(u"game.exe", ProgramsPageModel::ChoiceOf(ProgramRule::kNever)));
  ASSERT_TRUE(page.Apply().commit);
  ASSERT_EQ(session_.CommitSection(SettingsSection::kProgramsPage), Result::kSuccess);
  EXPECT_FALSE(session_.tabsWritten());
  EXPECT_EQ(session_.NotifyLoader(nullptr), 0);
  ASSERT_EQ(loader_.reloads().size(), 1u);
  EXPECT_EQ(loader_.reloads()[0].wParam, 1u);
  EXPECT_EQ(loader_.reloads()[0].lParam, 0);
  EXPECT_EQ(loader_.SavedFile(u"programs.dat"), *rules);
  EXPECT_EQ(std::memcmp(PublishedSettings().data(), before_.data(), kSettingsRecordSize), 0);
}

// A word added on the learning page reaches the loader with Apply and is listed at the top; what
// learning would not take is refused there.
TEST(SettingsSessionLearning, AnAddedWordIsLearnedAsWrittenTwice) {
  InProcessLoader loader;
  SettingsSession session;
  ASSERT_FALSE(session.Open(kRunning));
  LearningPageModel page(session.learnedWords(), session.options(), &session.learningEdits());
  EXPECT_EQ(page.AddWord(u" Zorblax "), LearningPageModel::Added::kAdded);
  EXPECT_EQ(page.AddWord(u"Zorblax"), LearningPageModel::Added::kListed);
  EXPECT_EQ(page.AddWord(u"42"), LearningPageModel::Added::kNotAWord);
  EXPECT_EQ(page.AddWord(u"two words"), LearningPageModel::Added::kNotAWord);
  EXPECT_EQ(page.words(), (std::vector<std::u16string>{u"Zorblax"}));
  ASSERT_TRUE(page.Apply().commit);
  ASSERT_EQ(session.CommitSection(SettingsSection::kLearningPage), Result::kSuccess);
  loader.DrainLearning();
  SettingsSession again;
  ASSERT_FALSE(again.Open(kRunning));
  EXPECT_EQ(again.learnedWords(), (std::vector<std::u16string>{u"Zorblax"}));
}

TEST_F(SettingsSessionTest, ALockHeldElsewhereWritesNothingAndCanBeTriedAgain) {
  SharedBlock other;
  ASSERT_EQ(OpenSettingsBlock(other), Result::kSuccess);
  ASSERT_TRUE(LockRead(other));
  session_.view().tab(0).SetTitle(u"blocked");
  EXPECT_EQ(session_.CommitSection(SettingsSection::kTabPage), Result::kWaitFailed);
  Unlock(other);
  CloseBlock(other, false);
  EXPECT_FALSE(session_.tabsWritten());
  EXPECT_EQ(std::memcmp(PublishedSettings().data(), before_.data(), kSettingsRecordSize), 0);
  EXPECT_EQ(session_.CommitSection(SettingsSection::kTabPage), Result::kSuccess);
  EXPECT_EQ(PublishedSettings().view().tab(0).title(), u"blocked");
}

TEST_F(SettingsSessionTest, ALoaderGoneAfterAWriteIsReported) {
  ASSERT_EQ(session_.CommitSection(SettingsSection::kTabPage), Result::kSuccess);
  loader_.Stop();
  std::optional<Notice> notice;
  EXPECT_EQ(session_.NotifyLoader(&notice), 1);
  ASSERT_TRUE(notice);
  EXPECT_NE(notice->text.find(u"(error 1)"), std::u16string::npos);
}

TEST(SettingsSessionOpen, LoaderAndBlockFailuresEndTheRunWithTheirMessages) {
  warden::testing::UseFreshNamespace();
  std::u16string asked;
  SettingsSession session;
  EXPECT_EQ(session.Open([&](std::u16string_view line) {
    asked = std::u16string(line);
    return 8;
  }),
            std::optional<std::u16string_view>(u"Fail to load setting data!"));
  EXPECT_EQ(asked, u"from setting");
  // A loader that answered 0 or 10 but made no block.
  EXPECT_EQ(session.Open([](std::u16string_view) { return 10; }),
            std::optional<std::u16string_view>(u"Can not open setting file!"));
  // Nothing was written or sent: no loader is there to tell.
  std::optional<Notice> notice;
  EXPECT_EQ(session.NotifyLoader(&notice), 1);
  EXPECT_FALSE(notice);
}

}  // namespace
}  // namespace quillet::settings
