// The settings sheet shown for real in this process (on a thread of its own, as the configure
// function shows it on its caller's thread) and driven from the test with window messages, over the
// loader's core and the real shared blocks.
#include "quillsvc/settings/setting_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "common/appearance_templates.h"
#include "common/options_record.h"
#include "common/program_rules.h"
#include "lexwarden/warden_testing.h"
#include "lookup/learning_reporter.h"
#include "platform/process.h"
#include "platform/win32/message_flood_testing.h"
#include "platform/win32/wide.h"
#include "quillsvc/settings/color_picker_model.h"
#include "quillsvc/settings/settings_resource.h"
#include "tools/picture/screen_capture.h"
#include "winui/testing/dialog_driver.h"

namespace quillet {
namespace {

using warden::testing::InProcessLoader;
using warden::testing::PublishedSettings;
using winui::testing::ExpectMessageBox;
using winui::testing::ItemText;
using winui::testing::PostClick;
using winui::testing::SavePicture;
using winui::testing::SetItemText;
using winui::testing::SettlePainting;

enum Page {
  kTabPage = 0,
  kDictionaryPage = 1,
  kAppearancePage = 2,
  kGeneralPage = 3,
  kLearningPage = 4,
  kProgramsPage = 5,
  kAboutPage = 6
};

// Two dictionaries and two tabs, the second tab on the second dictionary and linked to the first.
SettingsRecord StartingRecord() {
  SettingsRecord r = MakeDefaultSettings();
  SettingsView s = r.view();
  AddDictionary(s, u".\\second.dict");
  s.dictionary(1).SetName(u"Second");
  AddTab(s);
  s.tab(1).SetName(u"Two");
  s.tab(1).SetDictionaryId(1);
  s.tab(1).SetLinkTabId(static_cast<int16_t>(s.tab(0).tabId()));
  return r;
}

class SettingDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(StartingRecord()); }
  void Start(const SettingsRecord& initial) {
    initial_ = initial;
    loader_ = std::make_unique<InProcessLoader>(&initial_);
    ASSERT_EQ(loader_->started(), 10);  // the dictionary files do not exist here
    before_ = PublishedSettings();
  }
  void Restart(const SettingsRecord& initial) {
    loader_.reset();
    Start(initial);
  }
  void TearDown() override {
    if (sheetThread_.joinable()) {
      if (sheet_ != nullptr) PostMessageW(sheet_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
      sheetThread_.join();
    }
  }

  // Opens the sheet on its own thread and returns its window.
  HWND Open() {
    sheetThread_ = std::thread([this] {
      CSettingDialog dialog;
      dialog.Run(nullptr, [](std::u16string_view) { return 0; });
    });
    sheet_ = winui::testing::WaitForWindow(
        [] { return winui::testing::FindTopWindow(GetCurrentProcessId(), L"#32770", L"Tarnwick Quillet Options"); });
    return sheet_;
  }
  // Waits until the sheet is gone; the run is over then (the loader has been told).
  void WaitClosed() {
    sheetThread_.join();
    sheet_ = nullptr;
  }
  HWND ShowPage(int index) {
    SendMessageW(sheet_, PSM_SETCURSEL, index, 0);
    return reinterpret_cast<HWND>(SendMessageW(sheet_, PSM_INDEXTOHWND, index, 0));
  }
  // The colour pop-up a colour button opened; null when none came.
  HWND ColourPopup() {
    return winui::testing::WaitForWindow([&] {
      HWND w = winui::testing::FindTopWindow(GetCurrentProcessId(), nullptr, nullptr, sheet_);
      wchar_t name[64] = {};
      return w != nullptr && GetClassNameW(w, name, 64) && wcsncmp(name, L"Quillet.", 8) == 0 ? w : nullptr;
    });
  }
  HWND CurrentPage() { return reinterpret_cast<HWND>(SendMessageW(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0)); }
  void Press(int button) { PostMessageW(sheet_, PSM_PRESSBUTTON, button, 0); }
  // A drop-down choice as the user makes it; handled when this returns (the handlers show no message).
  static void Choose(HWND page, int id, int index) {
    SendDlgItemMessageW(page, id, CB_SETCURSEL, index, 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
  }
  static void SelectListItem(HWND page, int id, int index) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendDlgItemMessageW(page, id, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
  }
  // Edits the label of a list item and ends the edit with Enter.
  static void EditLabel(HWND page, int id, int index, std::u16string_view text) {
    HWND list = GetDlgItem(page, id);
    HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, index, 0));
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(platform::win32::ToWide(text).c_str()));
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  }
  // Types over a field's text (a multi-line field reports no change for a text set as a whole).
  static void Type(HWND page, int id, std::u16string_view text) {
    SendDlgItemMessageW(page, id, EM_SETSEL, 0, -1);
    SendDlgItemMessageW(page, id, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(platform::win32::ToWide(text).c_str()));
  }
  static std::u16string ListItem(HWND page, int id, int index) {
    wchar_t text[64] = {};
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = 64;
    SendDlgItemMessageW(page, id, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
    return platform::win32::FromWide(text);
  }
  void ExpectOneReload(uintptr_t wParam, intptr_t lParam) {
    const auto reloads = loader_->reloads();
    ASSERT_EQ(reloads.size(), 1u);
    EXPECT_EQ(reloads[0].wParam, wParam);
    EXPECT_EQ(reloads[0].lParam, lParam);
  }

  SettingsRecord initial_;
  SettingsRecord before_;
  std::unique_ptr<InProcessLoader> loader_;
  std::thread sheetThread_;
  HWND sheet_ = nullptr;
};

TEST_F(SettingDialogTest, CancelAtOnceWritesNothingAndTellsTheLoaderSo) {
  ASSERT_NE(Open(), nullptr);
  // A picture of every page on the way.
  const wchar_t* const names[] = {L"settings-tab",     L"settings-dictionary", L"settings-appearance",
                                  L"settings-general", L"settings-learning",   L"settings-programs",
                                  L"settings-about"};
  for (int page = kTabPage; page <= kAboutPage; ++page) {
    ASSERT_NE(ShowPage(page), nullptr) << page;
    SettlePainting(sheet_);
    EXPECT_FALSE(SavePicture(sheet_, platform::win32::FromWide(names[page])).empty());
  }
  Press(PSBTN_CANCEL);
  WaitClosed();
  ExpectOneReload(0, 0);
  EXPECT_EQ(std::memcmp(PublishedSettings().data(), before_.data(), kSettingsRecordSize), 0);
}

// The selected tab's fields show it; its order and spelling are chosen there and kept, with the
// next-word offer, in the options.
TEST_F(SettingDialogTest, TheTabPageShowsTheSelectedTabAndKeepsItsOrderInTheOptions) {
  ASSERT_NE(Open(), nullptr);
  HWND page = ShowPage(kTabPage);
  EXPECT_EQ(SendDlgItemMessageW(page, IDC_TAB_LIST, LVM_GETITEMCOUNT, 0, 0), 2);
  SelectListItem(page, IDC_TAB_LIST, 1);
  EXPECT_EQ(ItemText(page, IDC_TAB_MIN_WORD_LENGTH), u"0");
  EXPECT_EQ(SendDlgItemMessageW(page, IDC_TAB_DICTIONARY, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendDlgItemMessageW(page, IDC_TAB_LINK, CB_GETCURSEL, 0, 0), 1);  // "English", after "None"
  EXPECT_EQ(SendDlgItemMessageW(page, IDC_TAB_ORDER, CB_GETCURSEL, 0, 0), 0) << "dictionary order by default";
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_TAB_ORDER)));
  Choose(page, IDC_TAB_ORDER, 2);
  SendDlgItemMessageW(page, IDC_TAB_NEXT_WORDS, BM_CLICK, 0, 0);
  EXPECT_EQ(ItemText(page, IDC_TAB_SPELLING), u"Exact spelling");
  Choose(page, IDC_TAB_SPELLING, 1);
  SelectListItem(page, IDC_TAB_LIST, 0);
  EXPECT_EQ(ItemText(page, IDC_TAB_SPELLING), u"Exact spelling");
  SelectListItem(page, IDC_TAB_LIST, 1);
  EXPECT_EQ(ItemText(page, IDC_TAB_SPELLING), u"Forgive spelling mistakes");
  SettlePainting(sheet_);
  EXPECT_FALSE(SavePicture(sheet_, u"settings-tab-forgiving").empty());
  Press(PSBTN_OK);
  WaitClosed();
  ExpectOneReload(1, 0);
  const std::vector<uint8_t> kept = loader_->SavedFile(u"options.dat");
  ASSERT_EQ(kept.size(), kOptionsRecordSize);
  EXPECT_EQ(ReadTabOptions(kept.data(), kept.size(), before_.view().tab(1).tabId()),
            (TabOptions{CandidateOrder::kLearning, true, true}));
  EXPECT_EQ(ReadTabOptions(kept.data(), kept.size(), before_.view().tab(0).tabId()), TabOptions{});
}

// The Learning page lists what was learned; Forget takes a word off, Pause learning (there) and the
// toggle key and speech (on the General page) are kept in the options, and OK hands them to the loader.
TEST_F(SettingDialogTest, TheLearningPageForgetsAWordAndPausesLearningTheGeneralPageSetsTheToggleKey) {
  LearningReporter reporter;
  (void)reporter.Open();
  reporter.ReportWritten(u"alpha beta beta");
  loader_->DrainLearning();
  ASSERT_NE(Open(), nullptr);
  HWND page = ShowPage(kLearningPage);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(SendDlgItemMessageW(page, IDC_LEARN_LIST, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(ListItem(page, IDC_LEARN_LIST, 0), u"beta");
  SendDlgItemMessageW(page, IDC_LEARN_FORGET, BM_CLICK, 0, 0);
  EXPECT_EQ(SendDlgItemMessageW(page, IDC_LEARN_LIST, LVM_GETITEMCOUNT, 0, 0), 1);
  SendDlgItemMessageW(page, IDC_LEARN_PAUSE, BM_CLICK, 0, 0);
  page = ShowPage(kGeneralPage);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(SendDlgItemMessageW(page, IDC_GENERAL_TOGGLE_KEY, CB_GETCURSEL, 0, 0), 0) << "a lone Shift by default";
  Choose(page, IDC_GENERAL_TOGGLE_KEY, 1);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_GENERAL_SPEAK_WITH_READER))) << "only while speaking is on";
  SendDlgItemMessageW(page, IDC_GENERAL_SPEAK, BM_CLICK, 0, 0);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_GENERAL_SPEAK_WITH_READER)));
  SettlePainting(sheet_);
  EXPECT_FALSE(SavePicture(sheet_, u"settings-general-speech").empty());
  Press(PSBTN_OK);
  WaitClosed();
  ExpectOneReload(1, 0);
  const std::vector<uint8_t> kept = loader_->SavedFile(u"options.dat");
  EXPECT_TRUE(LearningPaused(kept.data(), kept.size()));
  EXPECT_EQ(ReadToggleKey(kept.data(), kept.size()), ToggleKey::kCtrlSpace);
  EXPECT_EQ(ReadSpeechOptions(kept.data(), kept.size()), (SpeechOptions{true, false}));
  loader_->DrainLearning();
  settings::SettingsSession after;
  ASSERT_FALSE(after.Open([](std::u16string_view) { return 0; }));
  EXPECT_EQ(after.learnedWords(), (std::vector<std::u16string>{u"alpha"}));
}

// The Programs page lists the terminals that start closed; a default removed and a program added with
// its rule reach programs.dat on OK, and a program listed already is refused with a message.
TEST_F(SettingDialogTest, TheProgramsPageAddsAndRemovesProgramsAndTheLoaderKeepsThem) {
  ASSERT_NE(Open(), nullptr);
  HWND page = ShowPage(kProgramsPage);
  ASSERT_NE(page, nullptr);
  auto count = [&] {
    return static_cast<size_t>(SendDlgItemMessageW(page, IDC_PROGRAMS_LIST, LVM_GETITEMCOUNT, 0, 0));
  };
  ASSERT_EQ(count(), kDefaultStartClosedProgramCount);
  EXPECT_EQ(ListItem(page, IDC_PROGRAMS_LIST, 0), u"conhost.exe");
  EXPECT_EQ(ItemText(page, IDC_PROGRAMS_NAME), u"conhost.exe") << "the selected program's fields";
  SendDlgItemMessageW(page, IDC_PROGRAMS_REMOVE, BM_CLICK, 0, 0);
  EXPECT_EQ(count(), kDefaultStartClosedProgramCount - 1);
  SetItemText(page, IDC_PROGRAMS_NAME, u"Quest.exe");
  Choose(page, IDC_PROGRAMS_RULE, 1);
  SendDlgItemMessageW(page, IDC_PROGRAMS_ADD, BM_CLICK, 0, 0);
  ASSERT_EQ(count(), kDefaultStartClosedProgramCount);
  EXPECT_EQ(ListItem(page, IDC_PROGRAMS_LIST, static_cast<int>(count() - 1)), u"Quest.exe");
  SettlePainting(sheet_);
  EXPECT_FALSE(SavePicture(sheet_, u"settings-programs-added").empty());
  PostClick(page, IDC_PROGRAMS_ADD);
  EXPECT_EQ(ExpectMessageBox(sheet_), u"Quest.exe is listed already. Select it in the list to change its rule.");
  Press(PSBTN_OK);
  WaitClosed();
  ExpectOneReload(1, 0);
  const std::vector<uint8_t> kept = loader_->SavedFile(u"programs.dat");
  EXPECT_EQ(RuleForProgram(kept.data(), kept.size(), u"quest.exe"), ProgramRule::kNever);
  EXPECT_EQ(RuleForProgram(kept.data(), kept.size(), u"conhost.exe"), ProgramRule::kNone);
  EXPECT_EQ(RuleForProgram(kept.data(), kept.size(), u"cmd.exe"), ProgramRule::kStartClosed);
}

TEST_F(SettingDialogTest, ApplyThenCancelKeepsWhatWasApplied) {
  ASSERT_NE(Open(), nullptr);
  HWND page = ShowPage(kTabPage);
  SelectListItem(page, IDC_TAB_LIST, 0);
  Type(page, IDC_TAB_TITLE, u"Applied title");
  Press(PSBTN_APPLYNOW);
  ASSERT_TRUE(winui::testing::WaitForWindow(
      [&] { return PublishedSettings().view().tab(0).title() == u"Applied title" ? page : nullptr; }));
  Type(page, IDC_TAB_TITLE, u"Cancelled title");
  Press(PSBTN_CANCEL);
  WaitClosed();
  ExpectOneReload(1, 0);
  EXPECT_EQ(PublishedSettings().view().tab(0).title(), u"Applied title");
}

// Another process sends every page the messages of the system range, with pointers into this process
// (the lParam of a WM_INITDIALOG among them), one page every message number there is (the pages share
// their handling of the rest), and every page those that close or destroy a window; then the colour
// pop-up the system range (which ends it: a capture change among them cancels it). Nothing here is
// written, and the sheet still saves what the user then changes.
TEST_F(SettingDialogTest, MessagesFromAnotherProcessToEveryPageWriteNothingAndTheSheetStillSaves) {
  using platform::win32::FloodPart;
  using platform::win32::kFloodDone;
  using platform::win32::RunFlood;
  ASSERT_NE(Open(), nullptr);
  const platform::win32::FloodCanary canary;
  ASSERT_TRUE(canary.valid());
  for (int index = kTabPage; index <= kAboutPage; ++index) {
    const HWND page = ShowPage(index);
    ASSERT_NE(page, nullptr);
    const FloodPart part = index == kAppearancePage ? FloodPart::kEverything : FloodPart::kSystemRange;
    EXPECT_EQ(RunFlood(page, canary, part, false), kFloodDone) << index;
    EXPECT_EQ(RunFlood(page, canary, FloodPart::kClosing, false), kFloodDone) << index;
    EXPECT_EQ(canary.Written(), 0u) << index;
  }
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  PostClick(ShowPage(kAppearancePage), IDC_APP_FOREGROUND);
  const HWND popup = ColourPopup();
  ASSERT_NE(popup, nullptr);
  const int code = RunFlood(popup, canary, FloodPart::kSystemRange, false);
  EXPECT_TRUE(code == kFloodDone || code == 4) << code;  // 4: gone before the end
  EXPECT_EQ(canary.Written(), 0u);
  EXPECT_FALSE(IsWindow(popup));

  HWND page = ShowPage(kTabPage);
  SelectListItem(page, IDC_TAB_LIST, 0);
  Type(page, IDC_TAB_TITLE, u"After the flood");
  Press(PSBTN_OK);
  WaitClosed();
  ExpectOneReload(1, 0);
  EXPECT_EQ(PublishedSettings().view().tab(0).title(), u"After the flood");
}

TEST_F(SettingDialogTest, AnApplyCheckRefusesAndKeepsTheSheetOnItsPage) {
  ASSERT_NE(Open(), nullptr);
  HWND page = ShowPage(kDictionaryPage);
  for (int i = 0; i < 2; ++i) {
    SelectListItem(page, IDC_DICT_LIST, 0);
    PostClick(page, IDC_DICT_REMOVE);
    ASSERT_TRUE(winui::testing::WaitForWindow(
        [&] { return SendDlgItemMessageW(page, IDC_DICT_LIST, LVM_GETITEMCOUNT, 0, 0) == 1 - i ? page : nullptr; }));
  }
  ShowPage(kAboutPage);
  Press(PSBTN_OK);
  EXPECT_EQ(ExpectMessageBox(sheet_), u"Must add at least one dictionary.");
  EXPECT_TRUE(IsWindow(sheet_));
  EXPECT_EQ(CurrentPage(), page);
  Press(PSBTN_CANCEL);
  WaitClosed();
  ExpectOneReload(0, 0);
  EXPECT_EQ(std::memcmp(PublishedSettings().data(), before_.data(), kSettingsRecordSize), 0);
}

TEST_F(SettingDialogTest, TabsAddedRenamedMovedAndRemovedReachTheSettingsFile) {
  ASSERT_NE(Open(), nullptr);
  HWND page = ShowPage(kTabPage);
  PostClick(page, IDC_TAB_ADD);
  ASSERT_TRUE(winui::testing::WaitForWindow(
      [&] { return SendDlgItemMessageW(page, IDC_TAB_LIST, LVM_GETITEMCOUNT, 0, 0) == 3 ? page : nullptr; }));
  EditLabel(page, IDC_TAB_LIST, 2, u"A name longer than fifteen");
  EXPECT_EQ(ListItem(page, IDC_TAB_LIST, 2), u"A name longer t");
  SelectListItem(page, IDC_TAB_LIST, 2);
  PostClick(page, IDC_TAB_UP);
  ASSERT_TRUE(winui::testing::WaitForWindow(
      [&] { return ListItem(page, IDC_TAB_LIST, 1) == u"A name longer t" ? page : nullptr; }));
  SelectListItem(page, IDC_TAB_LIST, 0);
  PostClick(page, IDC_TAB_REMOVE);
  ASSERT_TRUE(winui::testing::WaitForWindow(
      [&] { return SendDlgItemMessageW(page, IDC_TAB_LIST, LVM_GETITEMCOUNT, 0, 0) == 2 ? page : nullptr; }));
  // Tab "Two" linked to the removed tab: it shows "None" now.
  SelectListItem(page, IDC_TAB_LIST, 1);
  EXPECT_EQ(SendDlgItemMessageW(page, IDC_TAB_LINK, CB_GETCURSEL, 0, 0), 0);
  // The field's handler shows a message box, so the text is set from a thread that may wait for it.
  std::thread typing([&] { SetItemText(page, IDC_TAB_SHOW_FROM, u"200"); });
  EXPECT_EQ(ExpectMessageBox(sheet_), u"Please enter a value between 0 and 128");
  typing.join();
  EXPECT_EQ(ItemText(page, IDC_TAB_SHOW_FROM), u"128");
  Press(PSBTN_OK);
  WaitClosed();
  ExpectOneReload(1, 0);
  const std::vector<uint8_t> saved = loader_->SavedFile();
  ASSERT_EQ(saved.size(), kSettingsRecordSize);
  const ConstSettingsView s(saved.data(), saved.size());
  ASSERT_EQ(s.tabCount(), 2u);
  EXPECT_EQ(s.tab(0).name(), u"A name longer t");
  EXPECT_EQ(s.tab(1).name(), u"Two");
  EXPECT_EQ(s.tab(1).showFromLetters(), 128);
}

TEST_F(SettingDialogTest, AWriteThatCannotTakeTheLockSavesNothingAndKeepsTheSheetOpen) {
  ASSERT_NE(Open(), nullptr);
  HWND page = ShowPage(kTabPage);
  SelectListItem(page, IDC_TAB_LIST, 0);
  SharedBlock other;
  ASSERT_EQ(OpenSettingsBlock(other), Result::kSuccess);
  ASSERT_TRUE(LockRead(other));
  Type(page, IDC_TAB_TITLE, u"Locked out");
  Press(PSBTN_OK);
  const std::u16string text = ExpectMessageBox(sheet_);
  Unlock(other);
  CloseBlock(other, false);
  EXPECT_NE(text.find(u"Nothing was saved"), std::u16string::npos) << platform::win32::ToWide(text).c_str();
  EXPECT_TRUE(IsWindow(sheet_));
  EXPECT_EQ(std::memcmp(PublishedSettings().data(), before_.data(), kSettingsRecordSize), 0);
  Press(PSBTN_OK);  // tried again, now with the lock free
  WaitClosed();
  ExpectOneReload(1, 0);
  EXPECT_EQ(PublishedSettings().view().tab(0).title(), u"Locked out");
}

TEST_F(SettingDialogTest, OpensOnAnyRecordTheLoaderPublishesAndWritesNothingUnasked) {
  // Counts beyond capacity, empty and unterminated names, ids that match nothing, links to tabs that
  // are not there, a tab without dictionary.
  SettingsRecord odd = StartingRecord();
  SettingsView s = odd.view();
  for (size_t i = 0; i < kMaxTabs; ++i) {
    s.tab(i).SetTabId(static_cast<uint16_t>(i % 3));
    s.tab(i).SetLinkTabId(static_cast<int16_t>(40 + i));
    s.tab(i).SetDictionaryId(static_cast<int16_t>(i == 4 ? -1 : 7));
    std::memset(s.tab(i).bytes() + kTabNameOffset, i % 2 ? 0 : 'x', 2 * kTabNameCapacity);
  }
  s.SetTabCount(0xFFFF);
  s.SetDictionaryCount(500);
  s.dictionary(5).SetPath(u"");
  Restart(odd);
  ASSERT_NE(Open(), nullptr);
  HWND tabs = ShowPage(kTabPage);
  EXPECT_EQ(SendDlgItemMessageW(tabs, IDC_TAB_LIST, LVM_GETITEMCOUNT, 0, 0), 9);
  for (int i = 0; i < 9; ++i) {
    SelectListItem(tabs, IDC_TAB_LIST, i);
    EXPECT_EQ(SendDlgItemMessageW(tabs, IDC_TAB_LINK, CB_GETCURSEL, 0, 0), 0) << i;
  }
  HWND dictionaries = ShowPage(kDictionaryPage);
  EXPECT_EQ(SendDlgItemMessageW(dictionaries, IDC_DICT_LIST, LVM_GETITEMCOUNT, 0, 0), 12);
  for (int i = 0; i < 12; ++i) SelectListItem(dictionaries, IDC_DICT_LIST, i);
  HWND appearance = ShowPage(kAppearancePage);
  for (int element = 0; element < 7; ++element) Choose(appearance, IDC_APP_ELEMENT, element);
  Choose(appearance, IDC_APP_TAB, 8);
  ShowPage(kAboutPage);
  // The tab without dictionary keeps Apply from writing anything.
  Press(PSBTN_OK);
  EXPECT_EQ(ExpectMessageBox(sheet_), u"Dictionary index can not be empty.");
  EXPECT_EQ(CurrentPage(), tabs);
  Press(PSBTN_CANCEL);
  WaitClosed();
  ExpectOneReload(0, 0);
  EXPECT_EQ(std::memcmp(PublishedSettings().data(), before_.data(), kSettingsRecordSize), 0);
}

// The current folder of this process.
std::wstring CurrentFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  return folder;
}

TEST_F(SettingDialogTest, DictionariesChosenInTheFileDialogAreStoredRelativeToTheModule) {
  // A folder beside this program, which stands in for the text service's module.
  const warden::testing::TempFolder beside(platform::ModuleFolder());
  const std::wstring folder = platform::win32::ToWide(beside.path());
  const std::wstring file = folder + L"\\Extra words.dict";
  CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  // One on another drive: the prefix's own drive.
  const warden::testing::TempFolder temp;
  const std::wstring elsewhere = platform::win32::ToWide(temp.File(u"elsewhere.dict"));
  CloseHandle(CreateFileW(elsewhere.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const std::wstring current = CurrentFolder();

  ASSERT_NE(Open(), nullptr);
  HWND page = ShowPage(kDictionaryPage);
  constexpr int kFileNameBox = 0x47C;
  auto choose = [&](const std::wstring& path) {
    HWND chooser = winui::testing::WaitForWindow([&] {
      HWND d = winui::testing::FindOwnedDialog(sheet_);
      return d != nullptr && GetDlgItem(d, kFileNameBox) != nullptr ? d : nullptr;
    });
    ASSERT_NE(chooser, nullptr);
    SetItemText(chooser, kFileNameBox, platform::win32::FromWide(path));
    PostClick(chooser, IDOK);
  };
  if (elsewhere.size() > 1 && towupper(elsewhere[0]) != towupper(folder[0])) {
    PostClick(page, IDC_DICT_ADD);
    choose(elsewhere);
    EXPECT_NE(ExpectMessageBox(sheet_).find(u"another drive"), std::u16string::npos);
  }
  PostClick(page, IDC_DICT_ADD);
  choose(file);
  ASSERT_TRUE(winui::testing::WaitForWindow(
      [&] { return SendDlgItemMessageW(page, IDC_DICT_LIST, LVM_GETITEMCOUNT, 0, 0) == 3 ? page : nullptr; }));
  // The sheet runs inside its caller's process, whose current folder the chooser leaves alone.
  EXPECT_EQ(CurrentFolder(), current);
  // The label edit started for the new item: ending it keeps the name from the file.
  HWND edit = reinterpret_cast<HWND>(SendDlgItemMessageW(page, IDC_DICT_LIST, LVM_GETEDITCONTROL, 0, 0));
  if (edit != nullptr) SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(ListItem(page, IDC_DICT_LIST, 2), u"Extra words");
  SelectListItem(page, IDC_DICT_LIST, 2);
  EXPECT_EQ(platform::win32::ToWide(ItemText(page, IDC_DICT_PATH)), file);
  Press(PSBTN_OK);
  WaitClosed();
  ExpectOneReload(1, 1);
  const std::vector<uint8_t> saved = loader_->SavedFile();
  ASSERT_EQ(saved.size(), kSettingsRecordSize);
  const ConstSettingsView v(saved.data(), saved.size());
  ASSERT_EQ(v.dictionaryCount(), 3u);
  const std::u16string name = beside.path().substr(beside.path().find_last_of(u"\\/") + 1);
  EXPECT_EQ(v.dictionary(2).path(), u".\\" + name + u"\\Extra words.dict");
}

// Learn from a file: the file chosen in the dialog is read by the loader while the page shows its
// progress; Cancel stops it, and a small file's words are learned and listed by the next run.
TEST_F(SettingDialogTest, TheLearningPageLearnsAFileChosenInTheFileDialog) {
  const warden::testing::TempFolder temp;
  const std::u16string large = temp.File(u"large.txt");
  std::string text;
  while (text.size() < (4u << 20)) text += "The quick brown fox jumps over the lazy dog. ";
  warden::testing::WriteBytes(large, std::vector<uint8_t>(text.begin(), text.end()));
  const std::u16string small = temp.File(u"small.txt");
  const std::string words = "Zorblax wrote to Zorblax.";
  warden::testing::WriteBytes(small, std::vector<uint8_t>(words.begin(), words.end()));

  ASSERT_NE(Open(), nullptr);
  HWND page = ShowPage(kLearningPage);
  constexpr int kFileNameBox = 0x47C;
  auto learn = [&](const std::u16string& path) {
    PostClick(page, IDC_LEARN_FILE);
    HWND chooser = winui::testing::WaitForWindow([&] {
      HWND d = winui::testing::FindOwnedDialog(sheet_);
      return d != nullptr && GetDlgItem(d, kFileNameBox) != nullptr ? d : nullptr;
    });
    ASSERT_NE(chooser, nullptr);
    SetItemText(chooser, kFileNameBox, path);
    PostClick(chooser, IDOK);
  };
  auto statusSays = [&](std::u16string_view words) {
    return winui::testing::WaitForWindow(
        [&] { return ItemText(page, IDC_LEARN_STATUS).find(words) != std::u16string::npos ? page : nullptr; });
  };
  learn(large);
  ASSERT_TRUE(winui::testing::WaitForWindow([&] {
    return SendDlgItemMessageW(page, IDC_LEARN_PROGRESS, PBM_GETPOS, 0, 0) >= 100 ? page : nullptr;
  })) << "the bar moves";
  ASSERT_TRUE(statusSays(u"words so far")) << platform::win32::ToWide(ItemText(page, IDC_LEARN_STATUS));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_LEARN_PROGRESS)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_LEARN_FILE)));
  // Painted before the picture: the sheet's thread paints when it gets to it.
  RedrawWindow(sheet_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_FALSE(SavePicture(sheet_, u"settings-learning-file").empty());
  PostClick(page, IDC_LEARN_FILE_CANCEL);
  ASSERT_TRUE(statusSays(u"Cancelled")) << platform::win32::ToWide(ItemText(page, IDC_LEARN_STATUS));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_LEARN_PROGRESS)));
  learn(small);
  ASSERT_TRUE(statusSays(u"Learned 4 words and 1 sentence from small.txt"))
      << platform::win32::ToWide(ItemText(page, IDC_LEARN_STATUS));
  const auto learnedNow = [] {
    settings::SettingsSession session;
    EXPECT_FALSE(session.Open([](std::u16string_view) { return 0; }));
    return session.learnedWords();
  };
  const auto has = [](const std::vector<std::u16string>& words, std::u16string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
  };
  EXPECT_TRUE(has(learnedNow(), u"Zorblax")) << "the file is learned at once, not with OK";
  // A word left in the add field goes with OK (Enter there presses OK).
  SetItemText(page, IDC_LEARN_ADD_WORD, u"Frobnitz");
  Press(PSBTN_OK);
  WaitClosed();
  EXPECT_TRUE(has(learnedNow(), u"Frobnitz"));
}

// The preview: the one child window of the appearance page that is not a dialog control.
HWND PreviewOf(HWND page) {
  for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (GetDlgCtrlID(child) == 0) return child;
  }
  return nullptr;
}

// Pixels of the preview whose red clearly outweighs their blue: the orange gradient of the first
// template has many, the grey of the second almost none.
int WarmPixels(HWND preview) {
  picture::ScreenPixels screen;
  if (!picture::CaptureWindow(preview, &screen)) return -1;
  int warm = 0;
  for (uint32_t p : screen.pixels) warm += static_cast<int>((p >> 16) & 0xFF) - static_cast<int>(p & 0xFF) > 60 ? 1 : 0;
  return warm;
}

// Whether the screen shows the palette of a colour pop-up: every swatch's middle in its colour. The
// grid of 18-pixel cells lies centred between the two text rows of equal height.
bool PaletteOnScreen(HWND popup) {
  RECT client{};
  GetClientRect(popup, &client);
  MapWindowPoints(popup, nullptr, reinterpret_cast<POINT*>(&client), 2);
  picture::ScreenPixels screen;
  if (!picture::CaptureScreen(client, &screen)) return false;
  const int left = (screen.width - 8 * 18) / 2;
  const int top = (screen.height - 5 * 18) / 2;
  for (int cell = 0; cell < settings::kPaletteSize; ++cell) {
    const COLORREF c = settings::PaletteEntry(cell).colorRef;
    const uint32_t rgb = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    if (screen.At(left + (cell % 8) * 18 + 9, top + (cell / 8) * 18 + 9) != rgb) return false;
  }
  return true;
}

// A template shows in the preview at once; a colour picked in the pop-up, one kept by Escape and a
// hidden part are stored with it.
TEST_F(SettingDialogTest, TheAppearancePageShowsATemplateAndStoresPickedColoursAndHiddenParts) {
  ASSERT_NE(Open(), nullptr);
  HWND page = ShowPage(kAppearancePage);
  HWND preview = PreviewOf(page);
  ASSERT_NE(preview, nullptr);
  EXPECT_TRUE(IsWindowVisible(preview));
  // The sheet on the screen before anything opens over it: a pop-up opened while the system is still
  // putting a just-made sheet on the screen can end up under it (nobody clicks that fast).
  SettlePainting(sheet_);
  const int before = WarmPixels(preview);
  Choose(page, IDC_APP_TEMPLATE, 1);
  SettlePainting(sheet_);
  const int after = WarmPixels(preview);
  EXPECT_GT(before, 2000);
  EXPECT_LT(after, before / 10);

  // The pointer away from where the pop-up opens: moving over a cell makes that cell the hot one.
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  PostClick(page, IDC_APP_FOREGROUND);
  HWND popup = ColourPopup();
  ASSERT_NE(popup, nullptr);
  // Down into "Automatic", to black, a row down to dark red.
  for (WPARAM key : {VK_DOWN, VK_DOWN, VK_DOWN}) PostMessageW(popup, WM_KEYDOWN, key, 0);
  Sleep(300);
  SettlePainting(popup);
  // A person sees it: shown over the sheet, painted.
  EXPECT_TRUE(winui::testing::WaitForWindow([&] { return PaletteOnScreen(popup) ? popup : nullptr; }, 5000));
  EXPECT_FALSE(SavePicture(popup, u"settings-color-picker").empty());
  // A release over the second row's first cell (dark red) chooses it.
  RECT client{};
  GetClientRect(popup, &client);
  const int textRow = (client.bottom - 5 * 18) / 2;
  const int x = (client.right - 8 * 18) / 2 + 9;
  const int y = textRow + 18 + 9;
  PostMessageW(popup, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  ASSERT_TRUE(winui::testing::WaitForWindow([&] { return IsWindow(popup) ? nullptr : page; }));
  // Escape leaves the colour as it is.
  PostClick(page, IDC_APP_BORDER);
  popup = ColourPopup();
  ASSERT_NE(popup, nullptr);
  PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(winui::testing::WaitForWindow([&] { return IsWindow(popup) ? nullptr : page; }));
  // "Is visible?" for the horizontal spin box.
  Choose(page, IDC_APP_ELEMENT, 4);
  SendDlgItemMessageW(page, IDC_APP_VISIBLE, BM_SETCHECK, BST_UNCHECKED, 0);
  // Sent, not posted: the tab chosen next is sent too, and a sent message goes before a posted one.
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_APP_VISIBLE, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_APP_VISIBLE)));
  // Leaving the page and coming back keeps the tab the preview showed.
  Choose(page, IDC_APP_TAB, 1);
  ShowPage(kAboutPage);
  ShowPage(kAppearancePage);
  EXPECT_EQ(SendDlgItemMessageW(page, IDC_APP_TAB, CB_GETCURSEL, 0, 0), 1);
  Press(PSBTN_OK);
  WaitClosed();
  ExpectOneReload(1, 0);
  const SettingsRecord now = PublishedSettings();
  const TabAppearance chosen = TemplateColors(1);
  EXPECT_EQ(now.view().tab(0).colors(AppearanceElement::kWindow), chosen[AppearanceElement::kWindow]);
  const ElementColors tab = now.view().tab(0).colors(AppearanceElement::kTab);
  EXPECT_EQ(tab.foreground, 0xFF8B0000u);  // dark red at the trackbar's full alpha
  EXPECT_EQ(tab.border, chosen[AppearanceElement::kTab].border);
  EXPECT_FALSE(now.view().visible(AppearanceElement::kHScrollBar));
  EXPECT_TRUE(now.view().visible(AppearanceElement::kVScrollBar));
}

}  // namespace
}  // namespace quillet
