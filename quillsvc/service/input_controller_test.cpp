#include "quillsvc/service/input_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/learn_inbox.h"
#include "common/options_record.h"
#include "common/program_rules.h"
#include "common/rank_format.h"
#include "common/ranking_image.h"
#include "common/settings_record.h"
#include "common/settings_record_testing.h"
#include "lookup/private_block.h"
#include "platform/test_namespace.h"
#include "quillsvc/candwin/cand_list_core.h"
#include "quillsvc/candwin/core_candidate_window.h"
#include "quillsvc/candwin/test_surface.h"
#include "quillsvc/service/fake_document_testing.h"

namespace quillet {
namespace {

// The private blocks still use named events: kept away from a loader the user runs.
const bool kIsolated = testing::IsolateNamespace("keys");

using testing::FakeDocument;

// The candidate window as the key handling drives it: the real portable core (its fill, highlight and
// tab rules) measuring on the test surface; the test reads what it shows. Like the real window it
// reports its list to its owner while shown: when it shows, at every redraw, and when it goes.
class CoreWindow final : public CoreCandidateWindow, private CandListHost {
 public:
  CoreWindow(InputController& owner, const TabSourceSet& tabs, int activeTab)
      : CoreCandidateWindow(core_),
        owner_(owner),
        core_(tabs.settingsRecord(), tabs.settingsSize(), nullptr, fonts_, *this) {
    core_.BuildWidgets(activeTab, kCandidateWindowMaxWidth, kCandidateWindowMaxHeight);
    core_.SetElementVisible(3, true);  // the addition bar, which shows the highlighted row's description
  }
  ~CoreWindow() { Hide(); }

  bool IsVisible() override { return visible; }
  void Show() override {
    if (visible) return;
    visible = true;
    owner_.OnListChanged();
  }
  void Hide() override {
    if (!visible) return;
    visible = false;
    owner_.OnListHidden();
  }
  size_t ShowCandidates(TabSourceSet& tabs, bool selectFirst, bool refreshTitle) override {
    if (refreshTitle) ++titleRefreshes;
    return CoreCandidateWindow::ShowCandidates(tabs, selectFirst, refreshTitle);
  }
  void Repaint() override { Invalidate(); }
  void PlaceBy(const RectI&) override {}

  std::vector<std::u16string> Rows() const {
    std::vector<std::u16string> rows;
    for (size_t i = 0; i < core_.RowCount(); ++i) rows.push_back(core_.RowText(i));
    return rows;
  }
  std::u16string AdditionText() const {
    const CWidgetMgrTopLayout* manager = core_.manager();
    return manager != nullptr && manager->additionBar ? manager->additionBar->text : u"";
  }

  bool visible = false;
  int titleRefreshes = 0;

 private:
  std::unique_ptr<Surface> MeasuringSurface() override { return std::make_unique<testing::TestSurface>(); }
  void Invalidate() override {
    if (visible) owner_.OnListChanged();
  }
  bool DocumentCaret(int32_t*, int32_t*) override { return false; }
  RectI WorkArea(const RectI&) override { return RectI{0, 0, 1920, 1080}; }
  bool SetWindowRect(const RectI&, bool) override { return false; }

  InputController& owner_;
  testing::TestFontFactory fonts_;
  CandListCore core_;
};

class FakeHost final : public InputHost {
 public:
  bool IsKeyboardDisabled() override { return disabled; }
  bool MayLearn() override { return learn; }
  bool IsOpen() override { return open; }
  void SetOpen(bool value) override { open = value; }
  bool IsKeyHeld(uint32_t key) override { return held.count(key) != 0; }
  bool IsKeyToggled(uint32_t key) override { return key == vk::kCapital && capsLock; }
  void RefreshLangBarItems() override { ++refreshes; }
  bool ForegroundIsFullScreen() override { return fullScreen; }
  std::u16string_view ProgramName() override { return program; }
  CandidateWindow* candidateWindow() override { return window.get(); }
  CandidateWindow* NewCandidateWindow(int activeTab) override {
    ++windowsMade;
    builtForTab = activeTab;
    if (failWindows) return nullptr;
    window = std::make_unique<CoreWindow>(*core, core->tabs(), activeTab);
    return window.get();
  }
  void CloseCandidateWindow() override { window.reset(); }
  void SendKeyDown(uint32_t key) override { sentKeys.push_back(key); }

  InputController* core = nullptr;
  bool disabled = false;
  bool learn = true;
  bool open = true;
  bool capsLock = false;
  bool failWindows = false;
  bool fullScreen = false;
  std::u16string program = u"Host.exe";
  std::set<uint32_t> held;
  int refreshes = 0;
  int windowsMade = 0;
  int builtForTab = -2;
  std::unique_ptr<CoreWindow> window;
  std::vector<uint32_t> sentKeys;
};

std::vector<uint8_t> Dictionary(std::vector<testing::ImageEntry> entries) {
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.key < b.key; });
  return testing::BuildDictionaryImage(entries);
}

// English: 25 words "proaa" to "proay" ahead of "program", "progress" and "project" (three pages for
// "pro"), a few more, and "teh" committing "the". Places: follow-ups for words of the first.
std::vector<std::vector<uint8_t>> Dictionaries() {
  std::vector<testing::ImageEntry> english = {
      {u"program", u"", u"", u"a plan"},        {u"progress", u"", u"", u""},    {u"project", u"", u"", u""},
      {u"new", u"", u"", u"not old"},           {u"news", u"", u"", u"reports"}, {u"new york", u"", u"", u""},
      {u"teh", u"teh \u2192 the", u"the", u""}, {u"caf\u00e9", u"", u"", u""},
  };
  for (char16_t c = u'a'; c <= u'y'; ++c) english.push_back({u"proa" + std::u16string(1, c), u"", u"", u""});
  std::vector<testing::ImageEntry> places = {
      {u"new york", u"", u"", u"a city"},
      {u"new zealand", u"", u"", u""},
  };
  return {Dictionary(english), Dictionary(places)};
}

class InputControllerTest : public ::testing::Test {
 protected:
  InputControllerTest() : core_(host_) { host_.core = &core_; }
  // The window reports to the controller as it goes: before the controller does.
  ~InputControllerTest() override { host_.window.reset(); }

  // English shows from the second letter; Chain draws from English and links to Places.
  void SetUp() override {
    Publish(testing::TabSettings({{0, 0, -1, 0, 1, u"English"}, {1, 1, -1, 0, 0, u"Places"}, {2, 0, 1, 0, 0, u"Chain"}},
                                 {0, 1}));
  }
  void Publish(const SettingsRecord& record) {
    core_.ClosePublications();
    ASSERT_EQ(PublishPrivateSettings(record.data(), record.size(), &core_.published()), Result::kSuccess);
    ASSERT_EQ(PublishPrivateDictionaryFiles(Dictionaries(), &core_.published()), Result::kSuccess);
    ASSERT_EQ(core_.OpenPublications(), Result::kSuccess);
  }

  // One key as the framework reports it: the test, then the handler inside its edit session. What
  // nobody eats reaches the application, which types the key's character.
  bool Down(uint32_t key) {
    const bool eaten = core_.TestKeyDown(key);
    if (eaten) {
      core_.HandleKey(doc_, key);
    } else {
      const KeyCommand c = LookUpKey(key, host_.IsKeyHeld(vk::kShift));
      if (c.action == KeyAction::TypeLetter) {
        const bool upper = (c.value >= u'A' && c.value <= u'Z') != host_.capsLock;
        doc_.TypeAsApplication(static_cast<char16_t>(upper ? (c.value & ~0x20) : (c.value | 0x20)));
      } else if (c.action == KeyAction::CommitWithChar) {
        doc_.TypeAsApplication(c.value);
      } else if (key >= vk::k0 && key <= vk::k9) {
        doc_.TypeAsApplication(static_cast<char16_t>(u'0' + (key - vk::k0)));
      }
    }
    return eaten;
  }
  bool Up(uint32_t key) {
    const bool eaten = core_.TestKeyUp(key);
    if (eaten) core_.HandleKey(doc_, key);
    return eaten;
  }
  bool Press(uint32_t key) {
    const bool eaten = Down(key);
    Up(key);
    return eaten;
  }
  // `key` pressed with `modifier` held around it; whether its key-down was eaten.
  bool PressWith(uint32_t modifier, uint32_t key) {
    host_.held.insert(modifier);
    Down(modifier);
    const bool eaten = Press(key);
    host_.held.erase(modifier);
    Up(modifier);
    return eaten;
  }
  bool ShiftPress(uint32_t key) { return PressWith(vk::kShift, key); }
  bool CtrlPress(uint32_t key) { return PressWith(vk::kControl, key); }
  // Whether the Shift key-up was eaten.
  bool TapShift() {
    host_.held.insert(vk::kShift);
    Down(vk::kShift);
    host_.held.erase(vk::kShift);
    return Up(vk::kShift);
  }
  // The toggle key in the options, as the settings sheet leaves it; the controller reads it when it
  // takes up what is published.
  void PublishToggleKey(ToggleKey key) {
    std::vector<uint8_t> record = DefaultOptionsRecord();
    ASSERT_TRUE(SetToggleKey(record.data(), record.size(), key));
    ASSERT_EQ(PublishPrivateOptions(record.data(), record.size(), &core_.published()), Result::kSuccess);
  }
  // Letters (capitals with Shift) and spaces (Shift+Space, so that they stay in the composition).
  void Type(std::u16string_view text) {
    for (char16_t c : text) {
      if (c >= u'a' && c <= u'z') {
        Press(vk::kA + (c - u'a'));
      } else if (c >= u'A' && c <= u'Z') {
        ShiftPress(vk::kA + (c - u'A'));
      } else if (c == u' ') {
        ShiftPress(vk::kSpace);
      }
    }
  }
  // Delivers the keys the host was asked to send, as the input queue does later.
  void DeliverSentKeys() {
    std::vector<uint32_t> keys;
    keys.swap(host_.sentKeys);
    for (uint32_t k : keys) Down(k);
  }

  // Ranking data for English (sorted: 0 café, 1 new, 2 new york, 3 news, 4-28 proaa-proay, 29 program,
  // 30 progress, 31 project, 32 teh): "project" is the likeliest word, after "new" "progress" is; the
  // English tab (id 0) takes `options`.
  void RankEnglish(const TabOptions& options) {
    const std::vector<uint8_t> english = Dictionaries()[0];
    DictionaryView view;
    ASSERT_TRUE(DictionaryView::FromFile(english.data(), english.size(), &view));
    std::vector<uint16_t> costs(view.entryCount(), 5000);
    costs[31] = 100;
    const std::vector<uint8_t> rank = EncodeRankData(DictionaryFingerprint(view), costs, {{kNoWord, 1, 0, {{30, 50}}}});
    ASSERT_EQ(core_.published().UsePrivate(PublicationKind::kRanking, BuildRankingImage({&rank})), Result::kSuccess);
    std::vector<uint8_t> record = DefaultOptionsRecord();
    ASSERT_TRUE(WriteTabOptions(record.data(), record.size(), 0, options));
    ASSERT_EQ(PublishPrivateOptions(record.data(), record.size(), &core_.published()), Result::kSuccess);
    ASSERT_EQ(core_.OpenPublications(), Result::kSuccess);
  }

  CoreWindow* window() { return host_.window.get(); }
  std::vector<std::u16string> Rows() { return window() == nullptr ? std::vector<std::u16string>{} : window()->Rows(); }
  bool Composing() { return core_.composition().HasComposition(); }

  FakeHost host_;
  InputController core_;
  FakeDocument doc_{u"I say "};
};

TEST_F(InputControllerTest, TypingShowsCandidatesAndANumberPicksOne) {
  Type(u"p");
  ASSERT_NE(window(), nullptr);
  EXPECT_FALSE(window()->visible);  // not past showFromLetters yet
  Type(u"ro");
  EXPECT_TRUE(window()->visible);
  ASSERT_EQ(Rows().size(), 10u);
  EXPECT_EQ(Rows()[0], u"proaa");
  EXPECT_EQ(doc_.text, u"I say pro");

  EXPECT_TRUE(Press(vk::k1 + 1));
  EXPECT_EQ(doc_.text, u"I say proab");
  EXPECT_FALSE(Composing());
  EXPECT_FALSE(doc_.composing);
  EXPECT_EQ(window(), nullptr);
  EXPECT_EQ(doc_.selectionStart, doc_.text.size());

  // Idle again: digits belong to the application.
  EXPECT_FALSE(Press(vk::k1));
  EXPECT_EQ(doc_.text, u"I say proab1");
}

TEST_F(InputControllerTest, WhileTheListIsHiddenDigitsAreSwallowedAndShiftedOnesCommit) {
  Type(u"p");
  EXPECT_TRUE(Press(vk::k1));
  EXPECT_EQ(doc_.text, u"I say p");
  EXPECT_TRUE(Composing());
  EXPECT_TRUE(ShiftPress(vk::k1));
  EXPECT_EQ(doc_.text, u"I say p!");
  EXPECT_FALSE(Composing());
  EXPECT_EQ(window(), nullptr);
}

TEST_F(InputControllerTest, PicksKeepTheTypedCaseOrWriteCapitalsUnderCapsLock) {
  Type(u"PROG");
  Press(vk::k1);
  EXPECT_EQ(doc_.text, u"I say PROGram");

  Type(u"Tel");  // "teh" commits "the", keeping the capital typed first
  ASSERT_EQ(Rows().size(), 0u);
  Press(vk::kEscape);
  Type(u"Teh");
  ASSERT_EQ(Rows(), std::vector<std::u16string>{u"teh \u2192 the"});
  Press(vk::k1);
  EXPECT_EQ(doc_.text, u"I say PROGramThe");

  host_.capsLock = true;
  Type(u"p");                          // Caps Lock turns it into a capital
  ShiftPress(vk::kA + (u'r' - u'a'));  // and a shifted letter into a small one
  Type(u"o");
  EXPECT_EQ(core_.composition().text(), u"PrO");
  Press(vk::k1 + 2);
  EXPECT_EQ(doc_.text, u"I say PROGramThePROAC");
}

TEST_F(InputControllerTest, TabPicksTheHighlightedRow) {
  Type(u"pro");
  Press(vk::kTab);
  EXPECT_EQ(doc_.text, u"I say proaa");
  Type(u"pro");
  Press(vk::kDown);
  Press(vk::kTab);
  EXPECT_EQ(doc_.text, u"I say proaaproab");
}

TEST_F(InputControllerTest, TheHighlightCrossesPagesAndPagingStopsAtTheEnds) {
  Type(u"pro");
  for (int i = 0; i < 9; ++i) Press(vk::kDown);
  EXPECT_EQ(window()->SelectedRow(), 9);
  Press(vk::kDown);  // on to the next page, first row
  EXPECT_EQ(Rows()[0], u"proak");
  EXPECT_EQ(window()->SelectedRow(), 0);
  Press(vk::kUp);  // back to the previous page, last row
  EXPECT_EQ(Rows()[0], u"proaa");
  EXPECT_EQ(window()->SelectedRow(), 9);
  EXPECT_EQ(window()->AdditionText(), u"");

  Press(vk::kUp);
  EXPECT_EQ(window()->SelectedRow(), 8);
  Press(vk::kPrior);  // nothing before the first page
  EXPECT_EQ(Rows()[0], u"proaa");
  EXPECT_EQ(window()->SelectedRow(), 8);

  Press(vk::kNext);
  Press(vk::kNext);
  ASSERT_EQ(Rows().size(), 8u);
  EXPECT_EQ(Rows()[5], u"program");
  Press(vk::kNext);  // no further page
  EXPECT_EQ(Rows().size(), 8u);
  for (int i = 0; i < 5; ++i) Press(vk::kDown);
  EXPECT_EQ(window()->AdditionText(), u"a plan");  // the highlighted row's description
  Press(vk::kDown);
  Press(vk::kDown);
  Press(vk::kDown);  // past the last row of the last page: stays
  EXPECT_EQ(window()->SelectedRow(), 7);

  Press(vk::kPrior);
  EXPECT_EQ(Rows()[0], u"proak");
  Press(vk::kNumpad0);  // the tenth row
  EXPECT_EQ(doc_.text, u"I say proat");
  Type(u"pro");
  Press(vk::k0);
  EXPECT_EQ(doc_.text, u"I say proatproaj");
}

TEST_F(InputControllerTest, SpaceCommitsAndShiftSpaceStaysInTheComposition) {
  Type(u"new");
  ShiftPress(vk::kSpace);
  EXPECT_TRUE(Composing());
  Type(u"y");
  EXPECT_EQ(Rows(), std::vector<std::u16string>{u"new york"});
  Press(vk::kSpace);
  EXPECT_EQ(doc_.text, u"I say new y ");
  EXPECT_FALSE(Composing());
}

TEST_F(InputControllerTest, EnterEndsAsTypedAndEscapeRemovesTheTypedLetters) {
  Type(u"prog");
  EXPECT_TRUE(Press(vk::kReturn));
  EXPECT_EQ(doc_.text, u"I say prog");
  EXPECT_FALSE(Composing());
  EXPECT_EQ(window(), nullptr);

  Type(u"news");
  EXPECT_TRUE(Press(vk::kEscape));
  EXPECT_EQ(doc_.text, u"I say prog");
  EXPECT_FALSE(Composing());
  EXPECT_EQ(window(), nullptr);
}

TEST_F(InputControllerTest, DeletingHidesTheListAgainAndEmptyingEndsTheComposition) {
  Type(u"pro");
  EXPECT_TRUE(window()->visible);
  Press(vk::kBack);
  EXPECT_TRUE(window()->visible);
  Press(vk::kBack);  // "p": back to showFromLetters
  EXPECT_FALSE(window()->visible);
  Press(vk::kLeft);
  Press(vk::kDelete);  // the last letter
  EXPECT_FALSE(Composing());
  EXPECT_EQ(window(), nullptr);
  EXPECT_EQ(doc_.text, u"I say ");
}

TEST_F(InputControllerTest, TheCaretWrapsAndALetterInsideRedoesTheLookup) {
  Type(u"rog");
  Press(vk::kRight);  // at the end: to the start
  Type(u"p");
  EXPECT_EQ(doc_.text, u"I say prog");
  EXPECT_EQ(core_.composition().caret(), 1u);
  EXPECT_EQ(Rows(), (std::vector<std::u16string>{u"program", u"progress"}));
  Press(vk::kLeft);
  Press(vk::kLeft);  // at the start: to the end
  Type(u"re");
  EXPECT_EQ(doc_.text, u"I say progre");
  EXPECT_EQ(Rows(), std::vector<std::u16string>{u"progress"});
}

TEST_F(InputControllerTest, The128thLetterEndsTheCompositionAndIsDropped) {
  Type(std::u16string(127, u'x'));
  EXPECT_TRUE(Composing());
  EXPECT_TRUE(Press(vk::kA));
  EXPECT_FALSE(Composing());
  EXPECT_EQ(window(), nullptr);
  EXPECT_EQ(doc_.text, u"I say " + std::u16string(127, u'x'));
  Type(u"a");  // a new composition
  EXPECT_EQ(core_.composition().text(), u"a");
}

TEST_F(InputControllerTest, ControlLettersAndEverythingWhileClosedGoToTheApplication) {
  host_.held.insert(vk::kControl);
  EXPECT_FALSE(Press(vk::kA));
  host_.held.erase(vk::kControl);
  Type(u"ne");
  host_.held.insert(vk::kControl);
  EXPECT_FALSE(Press(vk::kA + 1));  // also during a composition
  EXPECT_FALSE(Press(vk::kSpace)) << "Ctrl+Space is the application's unless it is the toggle key";
  host_.held.erase(vk::kControl);
  EXPECT_EQ(core_.composition().text(), u"ne");

  host_.open = false;
  EXPECT_FALSE(Press(vk::kA));
  EXPECT_FALSE(Press(vk::kReturn));
  EXPECT_FALSE(Press(vk::kDown));
}

TEST_F(InputControllerTest, ALoneShiftTapOpensAndClosesAndClosingEndsTheComposition) {
  Type(u"pro");
  TapShift();
  EXPECT_FALSE(host_.open);
  EXPECT_FALSE(Composing());
  EXPECT_EQ(window(), nullptr);
  EXPECT_EQ(doc_.text, u"I say pro");
  EXPECT_FALSE(Press(vk::kA));
  EXPECT_EQ(doc_.text, u"I say proa");

  const int refreshes = host_.refreshes;
  TapShift();
  EXPECT_TRUE(host_.open);
  EXPECT_GT(host_.refreshes, refreshes);
  EXPECT_FALSE(Composing());

  // Shift held while typing a capital is no tap.
  ShiftPress(vk::kA);
  EXPECT_TRUE(host_.open);
}

// With Ctrl+Space as the toggle key, exactly that chord toggles, in every state a Shift tap did, and a
// lone Shift is the application's again. The key is read with the settings, on a new window.
TEST_F(InputControllerTest, CtrlSpaceAsTheToggleKeyTogglesAndALoneShiftNoLonger) {
  PublishToggleKey(ToggleKey::kCtrlSpace);
  EXPECT_TRUE(TapShift()) << "read at the next rebuild";
  EXPECT_TRUE(TapShift());
  Type(u"pro");  // a new window: the settings as they are now
  EXPECT_FALSE(TapShift());
  EXPECT_TRUE(host_.open);
  EXPECT_EQ(core_.composition().text(), u"pro");

  for (uint32_t also : {vk::kShift, vk::kMenu}) {
    host_.held = {vk::kControl, also};
    EXPECT_FALSE(core_.TestKeyDown(vk::kSpace)) << "exactly Ctrl+Space";
  }
  host_.held.clear();
  const int refreshes = host_.refreshes;
  EXPECT_TRUE(CtrlPress(vk::kSpace));
  EXPECT_FALSE(host_.open);
  EXPECT_GT(host_.refreshes, refreshes);
  EXPECT_FALSE(Composing());
  EXPECT_EQ(window(), nullptr);
  EXPECT_EQ(doc_.text, u"I say pro") << "closing keeps the typed letters and types no space";

  EXPECT_FALSE(Press(vk::kA));
  EXPECT_TRUE(CtrlPress(vk::kSpace)) << "opens while closed";
  EXPECT_TRUE(host_.open);
  EXPECT_FALSE(Composing());
  host_.disabled = true;
  EXPECT_TRUE(CtrlPress(vk::kSpace));
  EXPECT_FALSE(host_.open);
  host_.disabled = false;
  EXPECT_TRUE(CtrlPress(vk::kSpace));

  core_.SetErrorCode(Result::kLoaderStartFailed);
  EXPECT_FALSE(CtrlPress(vk::kSpace));
  EXPECT_TRUE(host_.open);
}

TEST_F(InputControllerTest, WithoutAToggleKeyOnlyTheLanguageBarToggles) {
  PublishToggleKey(ToggleKey::kNone);
  ASSERT_EQ(core_.OpenPublications(), Result::kSuccess);
  EXPECT_FALSE(TapShift());
  EXPECT_FALSE(CtrlPress(vk::kSpace));
  EXPECT_TRUE(host_.open);
}

// In a full-screen program a lone Shift is the player's; a chord still toggles there.
TEST_F(InputControllerTest, InFullScreenALoneShiftDoesNotToggle) {
  host_.fullScreen = true;
  Type(u"pro");
  EXPECT_FALSE(TapShift());
  EXPECT_TRUE(host_.open);
  EXPECT_EQ(core_.composition().text(), u"pro");
  host_.fullScreen = false;
  EXPECT_TRUE(TapShift());
  EXPECT_FALSE(host_.open);

  host_.fullScreen = true;
  PublishToggleKey(ToggleKey::kCtrlSpace);
  ASSERT_EQ(core_.OpenPublications(), Result::kSuccess);
  EXPECT_TRUE(CtrlPress(vk::kSpace));
  EXPECT_TRUE(host_.open);
}

TEST_F(InputControllerTest, TheReleaseOfAKeyHeldAcrossAShiftTapIsNotAKey) {
  Type(u"n");
  Down(vk::kA + (u'e' - u'a'));  // held
  host_.held.insert(vk::kShift);
  Down(vk::kShift);
  EXPECT_FALSE(Up(vk::kA + (u'e' - u'a')));
  host_.held.erase(vk::kShift);
  EXPECT_EQ(core_.composition().text(), u"ne");
}

TEST_F(InputControllerTest, ADisabledContextPassesKeysButAShiftTapStillToggles) {
  host_.disabled = true;
  EXPECT_FALSE(Press(vk::kA));
  TapShift();
  EXPECT_FALSE(host_.open);
}

TEST_F(InputControllerTest, InErrorNothingIsEatenAndNothingOpens) {
  core_.SetErrorCode(Result::kLoaderStartFailed);
  EXPECT_FALSE(Press(vk::kA));
  host_.held.insert(vk::kShift);
  EXPECT_FALSE(Down(vk::kShift));
  host_.held.erase(vk::kShift);
  EXPECT_FALSE(Up(vk::kShift));
  EXPECT_TRUE(host_.open);
}

TEST_F(InputControllerTest, ALinkedTabKeepsTheCompositionOpenForAFollowUpWord) {
  core_.SetActiveTab(2);  // Chain
  Type(u"ne");
  EXPECT_EQ(host_.builtForTab, 2);
  EXPECT_EQ(Rows()[0], u"new");
  Press(vk::k1);
  EXPECT_TRUE(Composing());
  EXPECT_EQ(core_.composition().text(), u"new");
  EXPECT_EQ(window()->SelectedTab(), 1);
  EXPECT_EQ(core_.tabs().shownTab(), 1u);
  EXPECT_EQ(core_.activeTab(), 2);  // the active tab index stays
  EXPECT_EQ(Rows(), (std::vector<std::u16string>{u"new york", u"new zealand"}));
  Press(vk::k1 + 1);
  EXPECT_EQ(doc_.text, u"I say new zealand");
  EXPECT_FALSE(Composing());

  // A word the linked tab knows nothing of ends the composition.
  Type(u"pro");
  Press(vk::k1);
  EXPECT_EQ(doc_.text, u"I say new zealandproaa");
  EXPECT_FALSE(Composing());
}

TEST_F(InputControllerTest, SwitchingTabsByKeyShowsTheListAndSticksForTheNextComposition) {
  Type(u"n");
  EXPECT_FALSE(window()->visible);
  ShiftPress(vk::kOemPlus);
  EXPECT_TRUE(window()->visible);
  EXPECT_EQ(core_.activeTab(), 1);
  EXPECT_EQ(Rows(), (std::vector<std::u16string>{u"new york", u"new zealand"}));
  EXPECT_GT(window()->titleRefreshes, 0);
  ShiftPress(vk::kOemMinus);
  ShiftPress(vk::kOemMinus);  // before the first comes the last
  EXPECT_EQ(core_.activeTab(), 2);
  EXPECT_EQ(core_.tabs().shownTab(), 2u);
  Press(vk::kEscape);

  Type(u"n");
  EXPECT_EQ(host_.builtForTab, 2);
  EXPECT_EQ(window()->SelectedTab(), 2);
}

TEST_F(InputControllerTest, AClickSendsTheRowsNumberKeyWhichPicksTheRow) {
  Type(u"pro");
  core_.OnItemClicked(3);
  EXPECT_EQ(host_.sentKeys, std::vector<uint32_t>{vk::k1 + 3});
  EXPECT_EQ(doc_.text, u"I say pro");  // nothing until the key arrives
  DeliverSentKeys();
  EXPECT_EQ(doc_.text, u"I say proad");

  Type(u"pro");
  core_.OnItemClicked(9);
  EXPECT_EQ(host_.sentKeys, std::vector<uint32_t>{vk::k0});
  core_.OnItemClicked(10);
  core_.OnItemClicked(-1);
  EXPECT_EQ(host_.sentKeys.size(), 1u);
}

TEST_F(InputControllerTest, ClicksOnTabsArrowsAndRows) {
  Type(u"pro");
  core_.OnListScrolled(true);
  EXPECT_EQ(Rows()[0], u"proak");
  core_.OnListScrolled(false);
  core_.OnListScrolled(false);
  EXPECT_EQ(Rows()[0], u"proaa");
  Press(vk::kEscape);

  Type(u"ne");
  core_.OnTabClicked(1);
  EXPECT_EQ(core_.activeTab(), 1);
  EXPECT_EQ(window()->SelectedTab(), 1);
  EXPECT_EQ(Rows(), (std::vector<std::u16string>{u"new york", u"new zealand"}));

  window()->SelectTab(0);  // the strip's own arrow switched it
  core_.OnTabScrolled();
  EXPECT_EQ(core_.tabs().shownTab(), 0u);
  EXPECT_EQ(core_.activeTab(), 1);
  EXPECT_EQ(Rows()[0], u"new");

  core_.OnMouseEvent(kButtonDownMessage, AppearanceElement::kCandidateList, 2);  // a press on "news"
  EXPECT_EQ(window()->AdditionText(), u"reports");
  core_.OnMouseEvent(kButtonUpMessage, AppearanceElement::kCandidateList, 0);
  EXPECT_EQ(window()->AdditionText(), u"reports");
}

// A tab whose options say "most likely first" ranks its words, after the words before them in the
// document; the other tabs keep dictionary order.
TEST_F(InputControllerTest, ARankedTabOrdersByLikelihoodAfterTheDocumentsWords) {
  ASSERT_NO_FATAL_FAILURE(RankEnglish({CandidateOrder::kFrequent, false}));

  Type(u"pro");
  EXPECT_EQ(Rows()[0], u"project");
  Press(vk::kEscape);
  doc_.text = u"I say new ";
  doc_.Select(doc_.text.size(), doc_.text.size());
  Type(u"pro");
  EXPECT_EQ(Rows()[0], u"progress") << "after \"new\"";
  Press(vk::kEscape);
  // A document that cannot be read: the words this controller wrote stand in.
  doc_.FailNext("GetTextBefore", 2);
  Type(u"pro");
  EXPECT_EQ(Rows()[0], u"project");
  Press(vk::kEscape);

  core_.SetActiveTab(1);  // Places: no options, dictionary order
  Type(u"new");
  EXPECT_EQ(Rows()[0], u"new york");
}

// A tab that offers the next words: after a pick the window shows the words likely next; a digit
// picks one with its space, a letter starts the next word after a space, anything else closes the
// list and reaches the application.
TEST_F(InputControllerTest, AfterAPickTheLikelyNextWordsAreOffered) {
  ASSERT_NO_FATAL_FAILURE(RankEnglish({CandidateOrder::kFrequent, true}));

  Type(u"ne");
  EXPECT_TRUE(Press(vk::k1));  // "new"
  EXPECT_FALSE(Composing());
  ASSERT_NE(window(), nullptr);
  EXPECT_EQ(Rows()[0], u"progress") << "what follows \"new\"";
  EXPECT_TRUE(Press(vk::k1));
  EXPECT_EQ(doc_.text, u"I say new progress");
  EXPECT_EQ(Rows()[0], u"project") << "after a word without a context, the likeliest words";
  EXPECT_TRUE(Press(vk::kA + (u'p' - u'a')));  // a letter: the next word, after its space
  EXPECT_EQ(doc_.text, u"I say new progress p");
  EXPECT_TRUE(Composing());
  Type(u"ro");
  Press(vk::k1);
  EXPECT_EQ(doc_.text, u"I say new progress project");
  ASSERT_NE(window(), nullptr);
  EXPECT_FALSE(Press(vk::kSpace)) << "anything else closes the list and takes its normal path";
  EXPECT_EQ(window(), nullptr);
  EXPECT_EQ(doc_.text, u"I say new progress project ");
  EXPECT_FALSE(Press(vk::k1)) << "digits are the application's again";
}

// A tab that forgives spelling mistakes offers the word meant after a misspelling and marks it; a
// pick writes the whole word under the usual case rule (as it is when the typed letters do not begin
// it, in capitals under Caps Lock) and reports the correction for learning where the field allows.
TEST_F(InputControllerTest, AForgivenRowPicksTheWholeWord) {
  ASSERT_NO_FATAL_FAILURE(RankEnglish({CandidateOrder::kDictionary, false, true}));
  ASSERT_EQ(PublishPrivateLearnInbox(&core_.reporter().inbox()), Result::kSuccess);
  SharedBlock& inbox = core_.reporter().inbox();
  auto taken = [&] {
    std::vector<std::u16string> out;
    for (const LearnEvent& e : TakeLearnEvents(inbox.view(), inbox.viewSize())) {
      out.push_back(e.kind == LearnKind::kMistake ? u"!" + e.word : e.word);
    }
    return out;
  };
  Type(u"progarm");
  ASSERT_FALSE(Rows().empty());
  EXPECT_EQ(Rows()[0], u"program");
  ASSERT_NE(core_.tabs().ShownSource()->CandidateAt(0), nullptr);
  EXPECT_TRUE(core_.tabs().ShownSource()->CandidateAt(0)->forgiven);
  Press(vk::k1);
  EXPECT_EQ(doc_.text, u"I say program");
  EXPECT_FALSE(Composing());
  const std::u16string mistake = u"!progarm" + std::u16string(1, kPairSeparator) + u"program";
  EXPECT_EQ(taken(), (std::vector<std::u16string>{mistake, u"program"}));
  Type(u"prog");  // an exact match teaches no mistake
  Press(vk::k1);
  EXPECT_EQ(taken(), (std::vector<std::u16string>{u"program"}));
  host_.learn = false;
  Press(vk::kSpace);
  Type(u"progarm");
  Press(vk::k1);
  EXPECT_TRUE(taken().empty());
  host_.learn = true;
  doc_.text = u"I say program";
  doc_.Select(doc_.text.size(), doc_.text.size());

  Press(vk::kSpace);
  Type(u"Progarm");
  Press(vk::k1);
  EXPECT_EQ(doc_.text, u"I say program Program");
  host_.capsLock = true;
  Press(vk::kSpace);
  Type(u"progarm");
  Press(vk::k1);
  EXPECT_EQ(doc_.text, u"I say program Program PROGRAM");
}

// What is written reaches the loader's learning inbox, word by word with sentence ends; Shift+Delete
// on a highlighted candidate asks to forget it; a field that may not learn reports nothing, nor does
// any while the options pause learning.
TEST_F(InputControllerTest, WrittenWordsAreReportedForLearningWhereTheFieldAllows) {
  ASSERT_EQ(PublishPrivateLearnInbox(&core_.reporter().inbox()), Result::kSuccess);
  SharedBlock& inbox = core_.reporter().inbox();
  auto taken = [&] {
    std::vector<std::u16string> out;
    for (const LearnEvent& e : TakeLearnEvents(inbox.view(), inbox.viewSize())) {
      out.push_back(e.kind == LearnKind::kWord ? e.word : e.kind == LearnKind::kForget ? u"-" + e.word : u".");
    }
    return out;
  };
  Type(u"pro");
  Press(vk::k1 + 1);  // proab
  Type(u"news");
  ShiftPress(vk::k1);  // "!" ends it
  EXPECT_EQ(taken(), (std::vector<std::u16string>{u"proab", u"news", u"."}));
  Type(u"pro");
  ShiftPress(vk::kDelete);
  Press(vk::kEscape);
  EXPECT_EQ(taken(), (std::vector<std::u16string>{u"-proaa"}));
  std::vector<uint8_t> paused = DefaultOptionsRecord();
  ASSERT_TRUE(SetLearningPaused(paused.data(), paused.size(), true));
  ASSERT_EQ(PublishPrivateOptions(paused.data(), paused.size(), &core_.published()), Result::kSuccess);
  ASSERT_EQ(core_.OpenPublications(), Result::kSuccess);
  Type(u"pro");
  Press(vk::k1);
  EXPECT_TRUE(taken().empty());
  host_.learn = false;  // a password or private field
  ASSERT_EQ(PublishPrivateOptions(DefaultOptionsRecord().data(), kOptionsRecordSize, &core_.published()),
            Result::kSuccess);
  ASSERT_EQ(core_.OpenPublications(), Result::kSuccess);
  Type(u"pro");
  Press(vk::k1);
  Type(u"pro");
  ShiftPress(vk::kDelete);
  EXPECT_TRUE(taken().empty());
}

// A program whose rule says "start closed" is closed when an activation first opens what the loader
// published, and only then: the person opens it with a Shift tap, and regaining the focus leaves it
// open. The next activation closes it again.
TEST_F(InputControllerTest, AStartClosedProgramStartsClosedOncePerActivation) {
  std::vector<uint8_t> rules;
  ASSERT_TRUE(EncodeProgramRules({{u"host.EXE", ProgramRule::kStartClosed}}, &rules));
  ASSERT_EQ(core_.published().UsePrivate(PublicationKind::kPrograms, rules), Result::kSuccess);
  core_.EndActivation();
  ASSERT_EQ(core_.OpenPublications(), Result::kSuccess);
  EXPECT_FALSE(host_.open);
  EXPECT_FALSE(Press(vk::kA));
  EXPECT_TRUE(TapShift());
  EXPECT_TRUE(host_.open);
  EXPECT_TRUE(Press(vk::kA + 1));
  Press(vk::kReturn);
  ASSERT_EQ(core_.OpenPublications(), Result::kSuccess);  // the thread's focus came back
  EXPECT_TRUE(host_.open);
  core_.EndActivation();
  ASSERT_EQ(core_.OpenPublications(), Result::kSuccess);
  EXPECT_FALSE(host_.open);
}

// In a program whose rule says "never" the input method eats no key, not even the Shift tap, shows
// nothing and reports nothing for learning; another program's rule changes nothing here.
TEST_F(InputControllerTest, InANeverProgramNothingIsEatenShownOrLearned) {
  ASSERT_EQ(PublishPrivateLearnInbox(&core_.reporter().inbox()), Result::kSuccess);
  std::vector<uint8_t> rules;
  ASSERT_TRUE(EncodeProgramRules({{u"HOST.exe", ProgramRule::kNever}}, &rules));
  ASSERT_EQ(core_.published().UsePrivate(PublicationKind::kPrograms, rules), Result::kSuccess);
  core_.EndActivation();
  ASSERT_EQ(core_.OpenPublications(), Result::kSuccess);
  EXPECT_EQ(core_.programRule(), ProgramRule::kNever);
  for (uint32_t key : {vk::kA + 15, vk::kA + 17, vk::kA + 14, vk::k1, vk::kSpace}) EXPECT_FALSE(Press(key)) << key;
  EXPECT_FALSE(TapShift());
  EXPECT_TRUE(host_.open);
  EXPECT_EQ(host_.windowsMade, 0);
  EXPECT_FALSE(Composing());
  EXPECT_EQ(doc_.text, u"I say pro1 ");
  SharedBlock& inbox = core_.reporter().inbox();
  EXPECT_TRUE(TakeLearnEvents(inbox.view(), inbox.viewSize()).empty());

  host_.program = u"other.exe";
  core_.EndActivation();
  ASSERT_EQ(core_.OpenPublications(), Result::kSuccess);
  EXPECT_TRUE(Press(vk::kA + 15));
}

// What the voice was asked to say (with whether it follows what is being said), a screen reader
// that may run, and a voice that may fail.
struct Voice {
  struct Said {
    std::u16string text;
    bool afterCurrent;
    bool operator==(const Said& o) const { return text == o.text && afterCurrent == o.afterCurrent; }
  };
  std::vector<Said> said;
  bool screenReader = false;
  bool fails = false;
};

class FakeSpeech final : public SpeechOutput {
 public:
  explicit FakeSpeech(Voice& voice) : voice_(voice) {}
  bool Speak(std::u16string_view text, bool afterCurrent) override {
    voice_.said.push_back({std::u16string(text), afterCurrent});
    return !voice_.fails;
  }
  bool ScreenReaderRunning() override { return voice_.screenReader; }

 private:
  Voice& voice_;
};

class SpeakingTest : public InputControllerTest {
 protected:
  // The speech options published, taken up as at activation, where the shell makes the voice.
  void PublishSpeech(const SpeechOptions& options) {
    std::vector<uint8_t> record = DefaultOptionsRecord();
    ASSERT_TRUE(SetSpeechOptions(record.data(), record.size(), options));
    ASSERT_EQ(PublishPrivateOptions(record.data(), record.size(), &core_.published()), Result::kSuccess);
    ASSERT_EQ(core_.OpenPublications(), Result::kSuccess);
    if (core_.speaker().WantsVoice()) core_.speaker().SetVoice(std::make_unique<FakeSpeech>(voice_));
  }
  std::vector<Voice::Said> Heard() { return std::exchange(voice_.said, {}); }

  Voice voice_;
};

using Said = std::vector<Voice::Said>;

// Each word the highlight comes to rest on is said once, cutting off what was being said: when the
// list shows, when a letter brings another word to the top, when the highlight moves or a page turns;
// a letter that leaves the same word highlighted, or a move that goes nowhere, says nothing. A pick
// says the word written, as written.
TEST_F(SpeakingTest, EachHighlightedWordAndEachPickIsSaidOnce) {
  PublishSpeech({true, false});
  Type(u"p");
  EXPECT_EQ(Heard(), Said{}) << "the list is not shown yet";
  Type(u"ro");
  EXPECT_EQ(Heard(), (Said{{u"proaa", false}}));
  Type(u"a");
  Press(vk::kUp);
  EXPECT_EQ(Heard(), Said{});
  Press(vk::kDown);
  Press(vk::kDown);
  EXPECT_EQ(Heard(), (Said{{u"proab", false}, {u"proac", false}}));
  Press(vk::kNext);
  EXPECT_EQ(Heard(), (Said{{u"proak", false}}));
  Press(vk::kBack);
  EXPECT_EQ(Heard(), (Said{{u"proaa", false}})) << "a new list";
  host_.capsLock = true;
  Press(vk::k1 + 1);
  EXPECT_EQ(doc_.text, u"I say PROAB");
  EXPECT_EQ(Heard(), (Said{{u"PROAB", false}}));
  host_.capsLock = false;

  // The next list says its first word again, though it is the same.
  Type(u"pro");
  EXPECT_EQ(Heard(), (Said{{u"proaa", false}}));
}

// The list a pick leaves (a linked tab here) is said after the picked word, not over it.
TEST_F(SpeakingTest, TheListAPickLeavesFollowsThePickedWord) {
  PublishSpeech({true, false});
  core_.SetActiveTab(2);  // Chain, linked to Places
  Type(u"ne");
  EXPECT_EQ(Heard(), (Said{{u"new", false}}));
  Press(vk::k1);
  EXPECT_EQ(Heard(), (Said{{u"new", false}, {u"new york", true}}));
  Press(vk::kDown);
  EXPECT_EQ(Heard(), (Said{{u"new zealand", false}}));
}

// Off by default (no voice is even made); with a screen reader running only when asked for both; a
// voice that fails, or cannot be made, keeps quiet for the rest of the session while typing goes on.
TEST_F(SpeakingTest, SpeechOnlyWhenAskedAndNeverAgainAfterAFailure) {
  PublishSpeech({});
  EXPECT_FALSE(core_.speaker().WantsVoice());
  Type(u"pro");
  Press(vk::kDown);
  Press(vk::kEscape);
  EXPECT_EQ(Heard(), Said{});

  voice_.screenReader = true;
  PublishSpeech({true, false});
  Type(u"pro");
  Press(vk::kDown);
  Press(vk::kEscape);
  EXPECT_EQ(Heard(), Said{});
  PublishSpeech({true, true});
  Type(u"pro");
  EXPECT_EQ(Heard(), (Said{{u"proaa", false}}));
  Press(vk::kEscape);

  voice_.fails = true;
  Type(u"pro");
  Press(vk::kDown);
  EXPECT_EQ(Heard(), (Said{{u"proaa", false}})) << "the first failure ends speech";
  EXPECT_FALSE(core_.speaker().WantsVoice());
  Press(vk::kTab);
  EXPECT_EQ(doc_.text, u"I say proab");
  EXPECT_EQ(Heard(), Said{});

  InputController other(host_);
  other.speaker().SetOptions({true, false});
  ASSERT_TRUE(other.speaker().WantsVoice());
  other.speaker().SetVoice(nullptr);
  EXPECT_FALSE(other.speaker().WantsVoice()) << "no voice could be made: none is tried again";
}

TEST_F(InputControllerTest, PickingARowThatIsNotThereEndsAsTyped) {
  Type(u"progr");
  ASSERT_EQ(Rows().size(), 2u);
  Press(vk::k9);
  EXPECT_EQ(doc_.text, u"I say progr");
  EXPECT_FALSE(Composing());
}

TEST_F(InputControllerTest, WithoutACandidateWindowOrDictionariesTypingStillWorks) {
  host_.failWindows = true;
  Type(u"pro");
  EXPECT_EQ(core_.composition().text(), u"pro");
  Press(vk::k1);  // no list: swallowed
  ShiftPress(vk::kOemPlus);
  Press(vk::kSpace);
  EXPECT_EQ(doc_.text, u"I say pro ");

  host_.failWindows = false;
  core_.ClosePublications();
  Type(u"pro");
  ASSERT_NE(window(), nullptr);
  EXPECT_EQ(Rows().size(), 0u);
  Press(vk::kDown);
  ShiftPress(vk::kOemPlus);
  Press(vk::k1);
  EXPECT_FALSE(Composing());
  EXPECT_EQ(doc_.text, u"I say pro pro");
}

TEST_F(InputControllerTest, AFailedCompositionStartMakesTheKeyDoNothing) {
  doc_.FailNext("StartComposition");
  EXPECT_TRUE(Press(vk::kA));
  EXPECT_EQ(doc_.text, u"I say ");
  EXPECT_EQ(host_.windowsMade, 0);
  EXPECT_FALSE(Composing());
}

// Thousands of random keys, clicks, tab switches and focus changes: the document always holds the
// committed text plus the composition, the private text mirrors the composition, and the candidate
// window lives only while composing.
TEST_F(InputControllerTest, ARandomSessionKeepsDocumentAndCompositionInStep) {
  const std::vector<uint32_t> keys = {vk::kA,       vk::kA + 4,    vk::kA + 13, vk::kA + 14, vk::kA + 15, vk::kA + 17,
                                      vk::kA + 22,  vk::kA + 24,   vk::kBack,   vk::kDelete, vk::kLeft,   vk::kRight,
                                      vk::kUp,      vk::kDown,     vk::kPrior,  vk::kNext,   vk::kTab,    vk::kSpace,
                                      vk::kReturn,  vk::kEscape,   vk::k1,      vk::k1 + 2,  vk::k0,      vk::kNumpad0,
                                      vk::kOemPlus, vk::kOemMinus, vk::kOem1,   vk::kCapital};
  std::mt19937 random(20240607);
  std::u16string committed = doc_.text;
  for (int step = 0; step < 5000; ++step) {
    const int what = static_cast<int>(random() % 100);
    if (what < 80) {
      const uint32_t key = keys[random() % keys.size()];
      if (random() % 4 == 0) {
        ShiftPress(key);
      } else {
        Press(key);
      }
    } else if (what < 86) {
      core_.OnItemClicked(static_cast<int>(random() % 11));
      DeliverSentKeys();
    } else if (what < 90) {
      core_.OnTabClicked(static_cast<int>(random() % 4));
    } else if (what < 93) {
      core_.OnListScrolled(random() % 2 == 0);
    } else if (what < 95) {
      TapShift();
    } else if (what < 97) {
      host_.capsLock = !host_.capsLock;
    } else {
      // Focus lost: the shell ends the composition in a session of its own and drops the window.
      core_.composition().EndComposition(doc_);
      host_.CloseCandidateWindow();
    }
    SCOPED_TRACE(step);
    ASSERT_LE(doc_.liveCompositions, 1);
    if (Composing()) {
      ASSERT_TRUE(doc_.composing);
      ASSERT_EQ(doc_.CompositionText().substr(0, CCompositionState::kMaxTextLength), core_.composition().text());
      ASSERT_EQ(doc_.text.substr(0, doc_.compositionStart), committed);
      ASSERT_EQ(doc_.selectionStart, doc_.compositionStart + core_.composition().caret());
    } else {
      ASSERT_FALSE(doc_.composing);
      ASSERT_EQ(window(), nullptr);
      ASSERT_EQ(core_.composition().text(), u"");
      committed = doc_.text;
      doc_.Select(doc_.text.size(), doc_.text.size());
    }
  }
}

}  // namespace
}  // namespace quillet
