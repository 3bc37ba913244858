// The generator's dialog in the real lexforge.exe, driven from this process with window messages as a
// person would drive it, next to a stand-in loader that records what it is told.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "lexforge/builder.h"
#include "lexforge/convertor_resource.h"
#include "lexforge/export.h"
#include "lexforge/test_files.h"
#include "platform/loader_channel_testing.h"
#include "platform/test_namespace.h"
#include "platform/win32/message_flood_testing.h"
#include "platform/win32/wide.h"
#include "winui/testing/dialog_driver.h"

namespace quillet::lexforge {
namespace {

using platform::win32::ToWide;
using quillet::testing::RecordingChannel;
using testing::TempDir;
using winui::testing::ExpectMessageBox;
using winui::testing::ItemText;
using winui::testing::PostClick;
using winui::testing::SetItemText;

const std::u16string kWords = u"apple\tApple\t\ta fruit\r\nbanana\r\ncherry\t\tCherry\t\r\n";

// lexforge.exe started as a person starts it (shown normally), with `arguments` after its name.
class Lexforge {
 public:
  explicit Lexforge(const std::u16string& arguments) {
    const std::wstring path = ToWide(quillet::testing::SiblingProgram(u"lexforge"));
    std::wstring line = L"\"" + path + L"\"";
    if (!arguments.empty()) line += L" " + ToWide(arguments);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      CloseHandle(pi.hThread);
      process_ = pi.hProcess;
      id_ = pi.dwProcessId;
    }
  }
  ~Lexforge() {
    if (process_ == nullptr) return;
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) TerminateProcess(process_, 99);
    CloseHandle(process_);
  }
  bool started() const { return process_ != nullptr; }
  // The exit code once it ended within `ms`, else -1.
  int WaitForExit(DWORD ms) {
    DWORD code = 0;
    if (WaitForSingleObject(process_, ms) != WAIT_OBJECT_0 || !GetExitCodeProcess(process_, &code)) return -1;
    return static_cast<int>(code);
  }
  HWND Dialog() {
    return winui::testing::WaitForWindow(
        [&] { return winui::testing::FindTopWindow(id_, L"#32770", L"Dictionary Convertor"); });
  }

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

void SelectTab(HWND dialog, int tab) {
  // Moving the focus of a tab control without button style selects the tab and tells the dialog.
  SendDlgItemMessageW(dialog, IDC_CONVERTOR_TABS, TCM_SETCURFOCUS, tab, 0);
}

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

class ConvertorDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(quillet::testing::IsolateNamespace("convertor"));
    testing::WriteAll(dir_.Path("words.txt"), testing::Utf16(kWords));
  }
  TempDir dir_;
};

TEST_F(ConvertorDialogTest, ConvertsBothWaysAndKeepsEachPathWithItsKindOfFile) {
  RecordingChannel loader;  // a loader that only records what it is told
  Lexforge lexforge(u"");
  ASSERT_TRUE(lexforge.started());
  HWND dialog = lexforge.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ItemText(dialog, IDC_UPPER_LABEL), u"Text File:");
  EXPECT_EQ(ItemText(dialog, IDC_LOWER_LABEL), u"Dictionary File:");
  EXPECT_TRUE(Enabled(dialog, IDC_TEXT_TO_DICTIONARY));
  EXPECT_FALSE(Enabled(dialog, IDC_DICTIONARY_TO_TEXT));
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_CONVERTOR_TABS, TCM_GETITEMCOUNT, 0, 0), 2);
  // Centred on the screen.
  RECT r{};
  GetWindowRect(dialog, &r);
  EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
  winui::testing::SettlePainting(dialog);
  EXPECT_FALSE(winui::testing::SavePicture(dialog, u"lexforge-text-to-dictionary").empty());

  SetItemText(dialog, IDC_UPPER_PATH, dir_.U16("words.txt"));
  SetItemText(dialog, IDC_LOWER_PATH, dir_.U16("words.dict"));
  PostClick(dialog, IDC_TEXT_TO_DICTIONARY);
  EXPECT_EQ(ExpectMessageBox(dialog), u"Succeed!");
  ASSERT_EQ(ConvertTextToDictionary(dir_.U16("expected.dict"), dir_.U16("words.txt")), Result::kSuccess);
  EXPECT_EQ(testing::ReadAll(dir_.Path("words.dict")), testing::ReadAll(dir_.Path("expected.dict")));

  SelectTab(dialog, 1);
  EXPECT_EQ(ItemText(dialog, IDC_UPPER_LABEL), u"Dictionary File:");
  EXPECT_EQ(ItemText(dialog, IDC_LOWER_LABEL), u"Text File:");
  EXPECT_EQ(ItemText(dialog, IDC_UPPER_PATH), dir_.U16("words.dict"));
  EXPECT_EQ(ItemText(dialog, IDC_LOWER_PATH), dir_.U16("words.txt"));
  EXPECT_FALSE(Enabled(dialog, IDC_TEXT_TO_DICTIONARY));
  EXPECT_TRUE(Enabled(dialog, IDC_DICTIONARY_TO_TEXT));
  winui::testing::SettlePainting(dialog);
  EXPECT_FALSE(winui::testing::SavePicture(dialog, u"lexforge-dictionary-to-text").empty());

  SetItemText(dialog, IDC_LOWER_PATH, dir_.U16("back.txt"));
  PostClick(dialog, IDC_DICTIONARY_TO_TEXT);
  EXPECT_EQ(ExpectMessageBox(dialog), u"Succeed!");
  ASSERT_EQ(ConvertDictionaryToText(dir_.U16("expected.txt"), dir_.U16("words.dict")), Result::kSuccess);
  EXPECT_EQ(testing::ReadAll(dir_.Path("back.txt")), testing::ReadAll(dir_.Path("expected.txt")));

  // Twice across leaves both fields as they were.
  SelectTab(dialog, 0);
  SelectTab(dialog, 1);
  EXPECT_EQ(ItemText(dialog, IDC_UPPER_PATH), dir_.U16("words.dict"));
  EXPECT_EQ(ItemText(dialog, IDC_LOWER_PATH), dir_.U16("back.txt"));

  PostClick(dialog, IDCANCEL);
  EXPECT_EQ(lexforge.WaitForExit(15000), 0);
  // The dialog leaves the word list alone and never tells the loader.
  EXPECT_TRUE(testing::Exists(dir_.Path("words.txt")));
  EXPECT_TRUE(loader.messages().empty());
}

TEST_F(ConvertorDialogTest, AWordListWithoutByteOrderMarkFailsAndTheDialogStays) {
  testing::WriteAll(dir_.Path("plain.txt"), testing::Utf16(kWords, false));
  Lexforge lexforge(u"");
  HWND dialog = lexforge.Dialog();
  ASSERT_NE(dialog, nullptr);
  SetItemText(dialog, IDC_UPPER_PATH, dir_.U16("plain.txt"));
  SetItemText(dialog, IDC_LOWER_PATH, dir_.U16("plain.dict"));
  PostClick(dialog, IDC_TEXT_TO_DICTIONARY);
  EXPECT_EQ(ExpectMessageBox(dialog), u"Failed!");
  EXPECT_FALSE(testing::Exists(dir_.Path("plain.dict")));
  EXPECT_TRUE(IsWindow(dialog));
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(lexforge.WaitForExit(15000), 0);
}

// Another process sends the dialog every message there is but those that close or destroy a window,
// pointers in lParam (of a WM_INITDIALOG too) and DWLP_USER pointing at memory lexforge does not have:
// the dialog stays as it was started, converts, and WM_CLOSE then ends the program.
TEST_F(ConvertorDialogTest, MessagesFromAnotherProcessLeaveTheDialogWorking) {
  using platform::win32::FloodPart;
  const platform::win32::FloodCanary canary;  // an address the flood can map, not one of lexforge's
  ASSERT_TRUE(canary.valid());
  Lexforge lexforge(u"");
  HWND dialog = lexforge.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(platform::win32::RunFlood(dialog, canary, FloodPart::kEverything, false), platform::win32::kFloodDone);
  ASSERT_TRUE(IsWindow(dialog));
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_CONVERTOR_TABS, TCM_GETITEMCOUNT, 0, 0), 2);
  SetItemText(dialog, IDC_UPPER_PATH, dir_.U16("words.txt"));
  SetItemText(dialog, IDC_LOWER_PATH, dir_.U16("words.dict"));
  PostClick(dialog, IDC_TEXT_TO_DICTIONARY);
  EXPECT_EQ(ExpectMessageBox(dialog), u"Succeed!");
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(lexforge.WaitForExit(15000), 0);
}

TEST_F(ConvertorDialogTest, BrowseFillsTheFieldsFromTheFileDialogs) {
  Lexforge lexforge(u"");
  HWND dialog = lexforge.Dialog();
  ASSERT_NE(dialog, nullptr);
  // The file name box of the explorer-style dialogs.
  constexpr int kFileNameBox = 0x47C;
  PostClick(dialog, IDC_UPPER_BROWSE);
  HWND chooser = winui::testing::WaitForWindow([&] { return winui::testing::FindOwnedDialog(dialog); });
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(winui::testing::Text(chooser), u"Open");
  SetItemText(chooser, kFileNameBox, dir_.U16("words.txt"));
  PostClick(chooser, IDOK);
  ASSERT_TRUE(winui::testing::WaitForWindow([&] { return IsWindow(chooser) ? nullptr : dialog; }));
  EXPECT_EQ(ItemText(dialog, IDC_UPPER_PATH), dir_.U16("words.txt"));

  // The save dialog adds the dictionary extension.
  PostClick(dialog, IDC_LOWER_BROWSE);
  chooser = winui::testing::WaitForWindow([&] { return winui::testing::FindOwnedDialog(dialog); });
  ASSERT_NE(chooser, nullptr);
  SetItemText(chooser, kFileNameBox, dir_.U16("chosen"));
  PostClick(chooser, IDOK);
  ASSERT_TRUE(winui::testing::WaitForWindow([&] { return IsWindow(chooser) ? nullptr : dialog; }));
  EXPECT_EQ(ItemText(dialog, IDC_LOWER_PATH), dir_.U16("chosen.dict"));
  PostClick(dialog, IDCANCEL);
  EXPECT_EQ(lexforge.WaitForExit(15000), 0);
}

TEST_F(ConvertorDialogTest, TheArgumentStringTellsARunningLoaderWithoutAWindow) {
  RecordingChannel loader;  // a loader that only records what it is told
  Lexforge lexforge(dir_.U16("words.txt") + u";" + dir_.U16("words.dict") + u";;YES");
  ASSERT_EQ(lexforge.WaitForExit(30000), 0);
  EXPECT_TRUE(testing::Exists(dir_.Path("words.dict")));
  EXPECT_TRUE(testing::Exists(dir_.Path("words.txt")));
  const std::vector<quillet::testing::ChannelMessage> messages = loader.messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, 0x800Au);
  EXPECT_EQ(messages[0].wParam, 0u);
  EXPECT_EQ(messages[0].lParam, 1);
}

}  // namespace
}  // namespace quillet::lexforge
