// Typing with the real quillsvc.dll in tsfhost (our framework host), with the real loader and the
// default English dictionary of the build: each case is one tsfhost run of a key script, checked
// after every key through its trace.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/learned_store.h"
#include "common/options_record.h"
#include "common/program_rules.h"
#include "common/settings_record.h"
#include "ipc/loader_link.h"
#include "ipc/protocol.h"
#include "ipc/shared_block.h"
#include "platform/win32/message_flood_testing.h"
#include "platform/win32/unique_handle.h"
#include "quillsvc/candwin/uia_client_testing.h"
#include "quillsvc/com/com_ptr.h"
#include "tools/tsfhost/host_run_testing.h"
#include "winui/testing/dialog_driver.h"

namespace quillet {
namespace {

using namespace tsfhost::testing;

void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolder(folder + L"\\" + name);
      } else {
        DeleteFileW((folder + L"\\" + name).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

std::wstring NewFolder(const wchar_t* prefix) {
  const std::wstring path = TempFile(prefix);
  DeleteFileW(path.c_str());
  CreateDirectoryW(path.c_str(), nullptr);
  return path;
}

// The text the composition covers in a state.
std::string CompositionText(const HostState& state) {
  if (!state.composition) return {};
  return state.document.substr(state.composition->first, state.composition->second - state.composition->first);
}

// Every case runs in a namespace and a settings folder of its own, so that the loader the text
// service starts is its own (and ended with it) and starts from the default settings.
class TypingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace_ = L"ty" + std::to_wstring(GetCurrentProcessId()) + L"x" + std::to_wstring(GetTickCount());
    SetEnvironmentVariableW(L"QUILLET_NAMESPACE", namespace_.c_str());
    config_ = NewFolder(L"qcf");
    SetEnvironmentVariableW(L"QUILLET_CONFIG_DIR", config_.c_str());
  }

  void TearDown() override {
    StopLoader(namespace_);
    RemoveFolder(config_);
    // A loader program in one of them may take a moment to end after its window went.
    for (const std::wstring& folder : folders_) {
      for (int i = 0; i < 20 && GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
        RemoveFolder(folder);
        Sleep(100);
      }
    }
  }

  // Starts a program of the build with `arguments` and does not wait for it: its process (its id in
  // *id), or no handle when it did not start.
  static platform::win32::UniqueHandle Start(const wchar_t* program, const std::wstring& arguments = L"",
                                             DWORD* id = nullptr) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring command = L"\"" + BinFolder() + program + L"\" " + arguments;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      return {};
    }
    const platform::win32::UniqueHandle thread(process.hThread);
    if (id != nullptr) *id = process.dwProcessId;
    return platform::win32::UniqueHandle(process.hProcess);
  }

  // The window of this case's loader; null while none runs.
  HWND LoaderWindow() const {
    return FindWindowExW(HWND_MESSAGE, nullptr, L"DAEMON", (L"Daemon@QX@TARN." + namespace_).c_str());
  }

  // Starts the build's loader and waits until it serves (for the emulated x86 build, slow to start).
  void StartLoader() {
    ASSERT_TRUE(Start(L"lexwarden.exe"));
    for (int i = 0; i < 6000 && LoaderWindow() == nullptr; ++i) Sleep(50);
  }

  // A file of the settings folder the loader starts from.
  void UseFile(const wchar_t* name, const uint8_t* bytes, size_t size) {
    HANDLE file = CreateFileW((config_ + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, size);
  }
  void UseSettings(const SettingsRecord& record) { UseFile(L"settings.dat", record.data(), record.size()); }
  void UsePrograms(const std::vector<ProgramRuleEntry>& entries) {
    std::vector<uint8_t> rules;
    ASSERT_TRUE(EncodeProgramRules(entries, &rules));
    UseFile(L"programs.dat", rules.data(), rules.size());
  }
  // The single words of the learned store the loader keeps, once it has written its file (at its first
  // learning); empty when none came within the wait.
  std::vector<std::u16string> LearnedWords() {
    const std::wstring path = config_ + L"\\learned.dat";
    for (int i = 0; i < 200 && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    LearnedView store;
    std::vector<std::u16string> words;
    if (read != bytes.size() || !LearnedView::FromBytes(bytes.data(), bytes.size(), &store)) return words;
    for (uint32_t i = 0; i < store.count(); ++i) {
      LearnedRecord record;
      if (store.Record(i, &record) && !record.pair()) words.push_back(record.form.ToString());
    }
    return words;
  }
  // The options of the default settings' first tab.
  void UseFirstTabOptions(const TabOptions& tab) {
    std::vector<uint8_t> options = DefaultOptionsRecord();
    ASSERT_TRUE(WriteTabOptions(options.data(), options.size(), MakeDefaultSettings().view().tab(0).tabId(), tab));
    UseFile(L"options.dat", options.data(), options.size());
  }

  // A folder holding a copy of quillsvc.dll and, when given, a program of the build as its loader.
  std::wstring ServiceFolder(const wchar_t* loader) {
    const std::wstring folder = NewFolder(L"qsf");
    folders_.push_back(folder);
    CopyFileW((BinFolder() + L"quillsvc.dll").c_str(), (folder + L"\\quillsvc.dll").c_str(), FALSE);
    if (loader != nullptr) {
      CopyFileW((BinFolder() + loader).c_str(), (folder + L"\\lexwarden.exe").c_str(), FALSE);
    }
    return folder;
  }

  // tsfhost with the text service of `dll` (the build's by default).
  ProgramRun Host(const std::string& arguments, const std::wstring& dll = std::wstring()) {
    std::wstring command = L"\"" + BinFolder() + L"tsfhost.exe\"";
    if (!dll.empty()) command += L" --dll \"" + dll + L"\"";
    return RunProgram(command + L" " + Widen(arguments), 300000);
  }

  // A traced run of `keys` that must complete; the trace checked by the callers.
  Trace Typed(const std::string& keys, const std::string& options = "") {
    last_ = Host("--trace --release-check " + options + " --keys \"" + keys + "\"");
    EXPECT_EQ(last_.exitCode, 0u) << last_.err;
    std::optional<Trace> trace = ReadTrace(last_.out);
    EXPECT_TRUE(trace.has_value()) << last_.out;
    return trace.value_or(Trace{});
  }

  std::wstring namespace_;
  std::wstring config_;
  std::vector<std::wstring> folders_;
  ProgramRun last_;
};

// The state after the n-th token that reads `token` (n from 0). A trace without it (a run that went
// wrong) records a failure and gives an empty state, so the checks after it fail instead of crashing.
const HostState* After(const Trace& trace, const std::string& token, int n = 0) {
  const int wanted = n;
  for (const TraceStep& step : trace.steps) {
    if (step.token == token && n-- == 0) return &step.state;
  }
  ADD_FAILURE() << "the trace has no step " << wanted << " reading " << token;
  static const HostState kNone;
  return &kNone;
}

void ExpectState(const HostState* state, const std::string& document, const std::string& composition,
                 const std::string& candidates) {
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->document, document);
  EXPECT_EQ(CompositionText(*state), composition) << "in \"" << state->document << "\"";
  EXPECT_EQ(state->candidates, candidates);
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(TypingTest, ClosedModePassesEverythingAndAShiftTapToggles) {
  const Trace trace = Typed("ab{Shift}cd{Ctrl+x}{Shift}e", "--closed");
  for (const TraceStep& step : trace.steps) {
    const bool composing = step.token == "c" || step.token == "d" || step.token == "{Ctrl+x}";
    // Shift's own key-up is what the text service eats of a tap.
    EXPECT_EQ(step.eaten, step.token == "{Shift}" || (composing && step.token != "{Ctrl+x}")) << step.token;
  }
  ExpectState(After(trace, "b"), "ab", "", "none");
  ExpectState(After(trace, "d"), "abcd", "cd", "visible");
  ExpectState(After(trace, "{Ctrl+x}"), "abcd", "cd", "visible");
  // Closing ends the composition; its text stays.
  ExpectState(After(trace, "{Shift}", 1), "abcd", "", "none");
  ExpectState(&trace.final, "abcde", "", "none");
  EXPECT_TRUE(Has(trace.rest, "can-unload yes")) << "every reference given back after deactivation";
  EXPECT_TRUE(Has(trace.rest, "host-objects 0"));
}

// A context that disables the keyboard (its compartment says so) gets every letter back.
TEST_F(TypingTest, ADisabledContextPassesKeys) {
  const Trace trace = Typed("abc", "--disabled");
  for (const TraceStep& step : trace.steps) EXPECT_FALSE(step.eaten) << step.token;
  ExpectState(&trace.final, "abc", "", "none");
}

// The open/close compartment changed by someone else (an application, the touch keyboard): the text
// service follows it, the typed text staying as it is, and the indicator shows the new state. The
// candidate window is owned by the document's window, which keeps it above immersive windows.
TEST_F(TypingTest, TheInputMethodFollowsTheOpenCloseCompartmentWhoeverChangesIt) {
  const Trace trace = Typed("ab{Close}c{Open}de", "--langbar --owner");
  ExpectState(After(trace, "b"), "ab", "ab", "visible");
  ExpectState(After(trace, "{Close}"), "ab", "", "none");
  ExpectState(After(trace, "c"), "abc", "", "none");
  ExpectState(After(trace, "e"), "abcde", "de", "visible");
  EXPECT_TRUE(Has(trace.rest, "item 0 tooltip Open"));
  EXPECT_TRUE(Has(trace.rest, "owner editor"));
}

// A short sentence picked by number, Tab, Down and Tab, a click, the numpad, the tenth row and under
// Caps Lock (read from the keyboard's state).
// With the highlighted word spoken, too (screen reader or not): Wine's voice is made but refuses to
// speak, which turns speech off and leaves every key as it was.
TEST_F(TypingTest, ASentenceWithEveryWayOfPicking) {
  std::vector<uint8_t> options = DefaultOptionsRecord();
  ASSERT_TRUE(SetSpeechOptions(options.data(), options.size(), {true, true}));
  ASSERT_NO_FATAL_FAILURE(UseFile(L"options.dat", options.data(), options.size()));
#if defined(__i386__)
  // An emulated x86 program takes longer to start than the text service waits for a loader it
  // starts: here the loader runs first, as it does once any application has started it.
  StartLoader();
#endif
  const Trace trace = Typed("quil1 prog{Tab} the{Down}{Tab} qu{Click 2} prog{Num0} prog0. {Caps}quil1{Caps}");
  const HostState* quil = After(trace, "l");
  ExpectState(quil, "quil", "quil", "visible");
  EXPECT_EQ(quil->rows, (std::vector<std::string>{"quill", "quills", "quilt", "quilted", "quilter", "quilters",
                                                  "quilting", "quilts"}));
  ExpectState(After(trace, "1"), "quill", "", "none");
  ExpectState(After(trace, "{Tab}"), "quill progenitor", "", "none");
  // Typed "the" keeps its case in the word whose display is "Thea".
  ExpectState(After(trace, "{Tab}", 1), "quill progenitor thea", "", "none");
  ExpectState(After(trace, "{Click 2}"), "quill progenitor thea quack", "", "none");
  ExpectState(&trace.final, "quill progenitor thea quack prognosticates prognosticates. QUILL", "", "none");
  EXPECT_TRUE(Has(trace.rest, "can-unload yes"));
  EXPECT_TRUE(Has(trace.rest, "host-objects 0"));
}

// The same picks when the application draws the candidates itself: the text service's window never
// shows, the application reads the rows and pages from the candidate-list element and chooses
// through it, and every key still does what it does.
TEST_F(TypingTest, AnApplicationThatDrawsTheCandidatesGetsThemThroughTheElement) {
  const Trace trace = Typed("quil1 prog{Tab} the{Down}{Tab} qu{Click 2} prog{PgDn}{Num0} prog{Esc}.", "--uiless");
  const HostState* quil = After(trace, "l");
  ExpectState(quil, "quil", "quil", "visible");
  EXPECT_EQ(quil->rows, (std::vector<std::string>{"quill", "quills", "quilt", "quilted", "quilter", "quilters",
                                                  "quilting", "quilts"}));
  EXPECT_EQ(After(trace, "{PgDn}")->rows.at(0), "prognosticating");
  ExpectState(After(trace, "{Click 2}"), "quill progenitor thea quack", "", "none");
  ExpectState(&trace.final, "quill progenitor thea quack programers .", "", "none");
  EXPECT_TRUE(Has(trace.rest, "own-window-shown no"));
  EXPECT_TRUE(Has(trace.rest, "can-unload yes"));
}

// Two tabs: the first shows candidates from its third letter and links to the second, which offers
// follow-up words for a picked one.
TEST_F(TypingTest, ShowFromLettersTheLinkedTabAndSwitchingTabs) {
  SettingsRecord settings = MakeDefaultSettings();
  SettingsView view = settings.view();
  ASSERT_TRUE(AddTab(view));
  view.tab(1).SetName(u"Follow");
  view.tab(1).SetDictionaryId(static_cast<int16_t>(view.dictionary(0).dictionaryId()));
  view.tab(0).SetShowFromLetters(2);
  view.tab(0).SetLinkTabId(static_cast<int16_t>(view.tab(1).tabId()));
  UseSettings(settings);

  const Trace trace = Typed("ab1! prog12 qu+_{ClickTab 1}{Enter}xy{Item 0}z{Item 0}{Menu 2 0}", "--langbar");
  ExpectState(After(trace, "b"), "ab", "ab", "hidden");
  // A number key is swallowed while the list is hidden; Shift with it ends the composition.
  ExpectState(After(trace, "1"), "ab", "ab", "hidden");
  EXPECT_TRUE(trace.steps.at(2).eaten);
  ExpectState(After(trace, "!"), "ab!", "", "none");
  ExpectState(After(trace, "o"), "ab! pro", "pro", "visible");
  // The pick stays open with the whole word, showing the linked tab's words for it.
  const HostState* linked = After(trace, "1", 1);
  ExpectState(linked, "ab! progenitor", "progenitor", "visible");
  EXPECT_EQ(linked->rows, (std::vector<std::string>{"progenitor", "progenitors"}));
  ExpectState(After(trace, "2"), "ab! progenitors", "", "none");
  ExpectState(After(trace, "+"), "ab! progenitors qu", "qu", "visible");
  ExpectState(After(trace, "{ClickTab 1}"), "ab! progenitors qu", "qu", "visible");
  // Closing from the language bar ends the composition and lets the next letter through.
  ExpectState(After(trace, "{Item 0}"), "ab! progenitors quxy", "", "none");
  ExpectState(&trace.final, "ab! progenitors quxyz", "", "none");
  EXPECT_TRUE(Has(trace.rest, "item 0 tooltip Open"));
  EXPECT_TRUE(Has(trace.rest, "item 1 balloon English")) << "the menu chose the first tab again";
  EXPECT_TRUE(Has(trace.rest, "item 2 menu 0 English checked"));
  EXPECT_TRUE(Has(trace.rest, "item 2 menu 1 Follow"));
}

// A tab whose options say "most likely first" ranks by the words before the typed one, which only the
// document holds: after "the", "only" leads the words in "o".
TEST_F(TypingTest, AMostLikelyFirstTabReadsTheWordsBeforeFromTheDocument) {
  ASSERT_NO_FATAL_FAILURE(UseFirstTabOptions({CandidateOrder::kFrequent, false}));
  const Trace trace = Typed("the o");
  EXPECT_EQ(After(trace, "o")->rows.at(0), "only");
}

// A program whose rule says "start closed" (here tsfhost itself, named in another case) starts closed:
// letters reach it, and a Shift tap still opens the input method.
TEST_F(TypingTest, AStartClosedProgramStartsClosedAndAShiftTapOpensIt) {
  ASSERT_NO_FATAL_FAILURE(UsePrograms({{u"TsfHost.exe", ProgramRule::kStartClosed}}));
  const Trace trace = Typed("ab{Shift}quil");
  EXPECT_FALSE(trace.steps.at(0).eaten);
  ExpectState(After(trace, "b"), "ab", "", "none");
  ExpectState(After(trace, "l"), "abquil", "quil", "visible");
}

// Where the rule says "never" (tsfhost itself) the input method eats no key, offers nothing and
// reports nothing for learning; the same text service in a program of another name (a copy of
// tsfhost) offers and learns as ever, so the loader was learning all along.
TEST_F(TypingTest, ANeverProgramOffersNothingAndReportsNothingToLearn) {
  ASSERT_NO_FATAL_FAILURE(UsePrograms({{u"tsfhost.exe", ProgramRule::kNever}}));
  const Trace never = Typed("prog1 {Shift}prog1 ");
  for (const TraceStep& step : never.steps) {
    EXPECT_FALSE(step.eaten) << step.token;
    EXPECT_EQ(step.state.candidates, "none") << step.token;
  }
  ExpectState(&never.final, "prog1 prog1 ", "", "none");

  const std::wstring folder = NewFolder(L"qtf");
  folders_.push_back(folder);
  ASSERT_TRUE(CopyFileW((BinFolder() + L"tsfhost.exe").c_str(), (folder + L"\\typist.exe").c_str(), FALSE));
  const ProgramRun other = RunProgram(
      L"\"" + folder + L"\\typist.exe\" --dll \"" + BinFolder() + L"quillsvc.dll\" --trace --keys \"quil1 \"", 300000);
  ASSERT_EQ(other.exitCode, 0u) << other.err;
  const std::optional<Trace> trace = ReadTrace(other.out);
  ASSERT_TRUE(trace.has_value()) << other.out;
  ExpectState(&trace->final, "quill ", "", "none");
  const std::vector<std::u16string> learned = LearnedWords();
  EXPECT_TRUE(std::find(learned.begin(), learned.end(), u"quill") != learned.end());
  EXPECT_TRUE(std::find_if(learned.begin(), learned.end(),
                           [](const std::u16string& w) { return w.rfind(u"prog", 0) == 0; }) == learned.end());
}

// A password field (its input scope says so) gets every key back and never a candidate; a private
// one (a browser's private window) still gets its candidates.
TEST_F(TypingTest, APasswordFieldGetsNoCandidatesAndAPrivateOneDoes) {
  const Trace secret = Typed("quil1 x", "--input-scope 31");
  for (const TraceStep& step : secret.steps) EXPECT_FALSE(step.eaten) << step.token;
  ExpectState(&secret.final, "quil1 x", "", "none");
  ExpectState(After(Typed("quil", "--input-scope 61,1"), "l"), "quil", "quil", "visible");
}

// Losing the thread focus ends the composition, its text kept; so do the application moving the
// selection out of it and the application ending it, after which the next one starts afresh.
TEST_F(TypingTest, FocusAndTheApplicationEndTheComposition) {
  const Trace trace = Typed("ab{Blur}{Focus}cd{Caret 0}ef{Terminate}gh{Enter}");
  ExpectState(After(trace, "{Blur}"), "ab", "", "none");
  ExpectState(After(trace, "d"), "abcd", "cd", "visible");
  ExpectState(After(trace, "{Caret 0}"), "abcd", "", "none");
  ExpectState(After(trace, "{Terminate}"), "efabcd", "", "none");
  ExpectState(After(trace, "h"), "efghabcd", "gh", "visible");
  ExpectState(&trace.final, "efghabcd", "", "none");
}

// A text service that cannot start shows only its open/close item, whose tooltip says why, and eats
// nothing: no loader program next to the DLL, then a loader that answers its start with an error.
TEST_F(TypingTest, AFailedActivationShowsItsErrorAndEatsNothing) {
  struct Case {
    const wchar_t* loader;
    int code;
  };
  for (const Case& c : {Case{nullptr, 14}, Case{L"loader_stub_seven.exe", 7}}) {
    const std::wstring dll = ServiceFolder(c.loader) + L"\\quillsvc.dll";
    const ProgramRun run = Host("--trace --langbar --release-check --keys \"ab{Shift}cd\"", dll);
    const std::string tooltip = "Please check setting. Error Code=" + std::to_string(c.code);
    EXPECT_EQ(run.exitCode, 3u) << run.err;
    EXPECT_NE(run.err.find("activation failed: 0x80004005"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(tooltip), std::string::npos) << run.err;
    const std::optional<Trace> trace = ReadTrace(run.out);
    ASSERT_TRUE(trace.has_value()) << run.out;
    for (const TraceStep& step : trace->steps) EXPECT_FALSE(step.eaten) << step.token << " with error " << c.code;
    ExpectState(&trace->final, "abcd", "", "none");
    EXPECT_EQ(trace->rest, (std::vector<std::string>{"item 0 desc Open/Close", "item 0 tooltip " + tooltip,
                                                     "item 0 text Closed", "can-unload yes", "host-objects 0"}));
  }
}

// A loader that answers its start with an error (a dictionary it cannot read) but runs: regaining the
// focus retries, finds the loader and the blocks, and brings the input method back, closed as the
// failure left it until a Shift tap opens it.
TEST_F(TypingTest, ThreadFocusRecoversAFailedActivation) {
  const std::wstring dll = ServiceFolder(L"lexwarden.exe") + L"\\quillsvc.dll";
  const ProgramRun run = Host("--trace --langbar --keys \"ab{Blur}{Focus}c{Shift}de\"", dll);
  EXPECT_EQ(run.exitCode, 3u) << run.err;
  EXPECT_NE(run.err.find("Error Code=10"), std::string::npos) << run.err;
  const std::optional<Trace> trace = ReadTrace(run.out);
  ASSERT_TRUE(trace.has_value()) << run.out;
  for (const TraceStep& step : trace->steps) {
    EXPECT_EQ(step.eaten, step.token == "{Shift}" || step.token == "d" || step.token == "e") << step.token;
  }
  ExpectState(&trace->final, "abcde", "de", "visible");
  EXPECT_TRUE(Has(trace->rest, "item 0 tooltip Open"));
  EXPECT_TRUE(Has(trace->rest, "item 1 desc Active Tab"));
  EXPECT_TRUE(Has(trace->rest, "item 2 menu 0 English checked"));
}

// The processes this test started (its hosts): windows of any other process, another test's among
// them, are none of its business.
bool StartedHere(DWORD process) {
  const platform::win32::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == process) return entry.th32ParentProcessID == GetCurrentProcessId();
  }
  return false;
}

BOOL CALLBACK CollectOtherCandidateWindow(HWND hwnd, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE), ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  if (process != GetCurrentProcessId() && wcsncmp(name, L"Quillet.", 8) == 0 && (style & WS_POPUP) &&
      (ex & WS_EX_TOOLWINDOW) && IsWindowVisible(hwnd) && StartedHere(process)) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
  }
  return TRUE;
}

// The candidate windows that the hosts this test started show: top-level tool popups of a Quillet
// window class.
std::vector<HWND> OtherCandidateWindows() {
  std::vector<HWND> found;
  EnumWindows(CollectOtherCandidateWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Answers that a screen reader got: what they said, and what came while the host's thread was busy.
struct ReaderAnswers {
  std::mutex mutex;
  std::vector<std::string> rows;
  std::vector<std::string> whileBusy;
  int probes = 0;
};

// Reads the names of the list's rows under `root` (another process's candidate window) through UI
// Automation, as a screen reader walks a list: rows whose name was given, in order.
std::vector<std::string> ReadRows(const testing::UiaClient& uia, HUIANODE root) {
  std::vector<std::string> rows;
  for (HUIANODE item = uia.Navigate(root, NavigateDirection_FirstChild); item != nullptr;) {
    const std::string name = uia.Text(item, UIA_NamePropertyId);
    if (uia.Text(item, UIA_ControlTypePropertyId) == std::to_string(UIA_ListItemControlTypeId) &&
        testing::Given(name)) {
      rows.push_back(name);
    }
    const HUIANODE next = uia.Navigate(item, NavigateDirection_NextSibling);
    uia.release(item);
    item = next;
  }
  return rows;
}

// Gives back the windows' elements a reader kept.
void ReleaseRoots(const testing::UiaClient& uia, const std::map<HWND, HUIANODE>& roots) {
  for (const auto& [window, root] : roots) {
    if (root != nullptr) uia.release(root);
  }
}

// The first row of the candidate window that a host started here shows, once its name can be read
// (the host waits at {Wait go} meanwhile); null after a minute without one. The window's element is
// kept in `roots`.
HUIANODE FirstRowShown(const testing::UiaClient& uia, std::map<HWND, HUIANODE>* roots) {
  for (int i = 0; i < 6000; ++i) {
    for (HWND window : OtherCandidateWindows()) {
      HUIANODE& root = (*roots)[window];
      if (root == nullptr && (FAILED(uia.fromHandle(window, &root)) || root == nullptr)) continue;
      const HUIANODE row = uia.Navigate(root, NavigateDirection_FirstChild);
      if (row != nullptr && testing::Given(uia.Text(row, UIA_NamePropertyId))) return row;
      if (row != nullptr) uia.release(row);
    }
    Sleep(10);
  }
  return nullptr;
}

// A screen reader reads the list through UI Automation from several threads while a long script is
// typed: the window refills its rows at every letter and hides at every word end. Now and then the
// host's thread is busy for a moment, taking no message, and a reader asks meanwhile: the host's thread
// alone answers, so nothing comes until it is free. The host types on undisturbed, and every name read
// is a row the list showed.
// Each reader keeps a window's element while it reads, as a screen reader does. (Getting it anew for
// every read makes Wine's UI Automation end its thread in the host and start another at every read,
// and Wine deadlocks the host's thread in UiaReturnRawElementProvider when the two overlap.)
TEST_F(TypingTest, AScreenReaderReadingTheListFromSeveralThreadsIsAnsweredByTheHostsThreadAlone) {
  const testing::UiaClient uia;
  ASSERT_TRUE(uia.available());
  constexpr int kBusySpells = 3;
  std::string keys, expected;
  std::vector<platform::win32::UniqueHandle> go, busy;
  for (int i = 0; i < 4; ++i) {
    expected += "quil prog the qu ";
    if (i == kBusySpells) {
      keys += "quil prog the qu ";
      continue;
    }
    const std::string n = Narrow(namespace_) + "." + std::to_string(i);
    go.emplace_back(CreateEventW(nullptr, TRUE, FALSE, Widen("Local\\go." + n).c_str()));
    busy.emplace_back(CreateEventW(nullptr, TRUE, FALSE, Widen("Local\\busy." + n).c_str()));
    ASSERT_TRUE(go.back() && busy.back());
    keys += "quil{Wait Local\\go." + n + "}{Busy Local\\busy." + n + "} prog the qu ";
  }

  std::atomic<bool> stop{false};
  ReaderAnswers answers;
  auto reader = [&] {
    const ComApartment com(COINIT_MULTITHREADED);
    std::map<HWND, HUIANODE> roots;
    while (!stop) {
      const std::vector<HWND> windows = OtherCandidateWindows();
      if (windows.empty()) Sleep(1);
      for (HWND window : windows) {
        HUIANODE& root = roots[window];
        if (root == nullptr && (FAILED(uia.fromHandle(window, &root)) || root == nullptr)) continue;
        const std::vector<std::string> rows = ReadRows(uia, root);
        const std::lock_guard<std::mutex> lock(answers.mutex);
        answers.rows.insert(answers.rows.end(), rows.begin(), rows.end());
      }
    }
    ReleaseRoots(uia, roots);
  };
  // At each {Wait}: takes the first row, lets the host go on into {Busy} and asks for the row's name
  // while the host is busy. The host resets the event before it takes a message again, so a name that
  // comes while the event is set came from another thread.
  auto prober = [&] {
    const ComApartment com(COINIT_MULTITHREADED);
    std::map<HWND, HUIANODE> roots;
    for (int i = 0; i < kBusySpells; ++i) {
      // The host types the word's letters within milliseconds: a row taken a moment after the first is
      // one of the rows it shows at {Wait}.
      HUIANODE row = FirstRowShown(uia, &roots);
      if (row != nullptr) {
        Sleep(300);
        uia.release(row);
        row = FirstRowShown(uia, &roots);
      }
      SetEvent(go[i].get());
      if (row == nullptr) continue;
      if (WaitForSingleObject(busy[i].get(), 60000) == WAIT_OBJECT_0) {
        const std::string name = uia.Text(row, UIA_NamePropertyId);
        const bool stillBusy = WaitForSingleObject(busy[i].get(), 0) == WAIT_OBJECT_0;
        const std::lock_guard<std::mutex> lock(answers.mutex);
        if (stillBusy && testing::Given(name)) answers.whileBusy.push_back(name);
        ++answers.probes;
      }
      uia.release(row);
    }
    ReleaseRoots(uia, roots);
  };
  std::vector<std::thread> readers;
  readers.emplace_back(prober);
  for (int i = 0; i < 3; ++i) readers.emplace_back(reader);
  const Trace trace = Typed(keys);
  stop = true;
  for (std::thread& t : readers) t.join();

  EXPECT_EQ(trace.final.document, expected);
  EXPECT_EQ(answers.probes, kBusySpells);
  EXPECT_EQ(answers.whileBusy, std::vector<std::string>{}) << "answered by another thread of the host";
  EXPECT_FALSE(answers.rows.empty());
  std::set<std::string> shown;
  for (const TraceStep& step : trace.steps) shown.insert(step.state.rows.begin(), step.state.rows.end());
  for (const std::string& name : answers.rows) EXPECT_EQ(shown.count(name), 1u) << "a row never shown: " << name;
}

// Another program sends the candidate window, open in the middle of a word, the messages of the system
// range (the window's own test sends it every one there is) and those that close or destroy a window,
// and the loader's window every message but WM_CLOSE (which ends the loader on purpose): the host
// lives, the window stays and typing goes on as before.
TEST_F(TypingTest, AnotherProgramsMessagesToOurWindowsLeaveTheTypingAsItWas) {
  using platform::win32::FloodPart;
  using platform::win32::kFloodDone;
  using platform::win32::RunFlood;
  const std::wstring go = L"Local\\flood." + namespace_;
  const platform::win32::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, go.c_str()));
  ASSERT_TRUE(event);
  Trace trace;
  std::thread host([&] { trace = Typed("qui{Wait " + Narrow(go) + "}l1 prog{Tab}"); });
  HWND candidates = nullptr;
  for (int i = 0; i < 1200 && candidates == nullptr; ++i) {
    Sleep(50);
    const std::vector<HWND> shown = OtherCandidateWindows();
    if (!shown.empty()) candidates = shown.front();
  }
  const HWND loader = LoaderWindow();
  const platform::win32::FloodCanary canary;  // its address needs only to be one the flood can map
  EXPECT_NE(candidates, nullptr);
  EXPECT_NE(loader, nullptr);
  if (candidates != nullptr && loader != nullptr && canary.valid()) {
    EXPECT_EQ(RunFlood(candidates, canary, FloodPart::kSystemRange, false), kFloodDone);
    EXPECT_EQ(RunFlood(candidates, canary, FloodPart::kClosing, false), kFloodDone);
    EXPECT_EQ(RunFlood(loader, canary, FloodPart::kEverything, false), kFloodDone);
    EXPECT_TRUE(IsWindow(candidates));
  }
  SetEvent(event.get());
  host.join();
  const HostState* quil = After(trace, "l");
  ExpectState(quil, "quil", "quil", "visible");
  EXPECT_EQ(quil->rows, (std::vector<std::string>{"quill", "quills", "quilt", "quilted", "quilter", "quilters",
                                                  "quilting", "quilts"}));
  ExpectState(&trace.final, "quill progenitor", "", "none");
}

// Doubles the list's font in the settings the loader keeps and publishes, handed over as the settings
// sheet hands a change: written into the settings block under its lock, then the loader told.
bool DoubleListFont() {
  SharedBlock settings;
  if (OpenSettingsBlock(settings) != Result::kSuccess) return false;
  bool written = false;
  {
    const BlockWriteLock lock(settings);
    const SettingsView view(settings.view(), settings.viewSize());
    if (lock.held()) {
      view.SetFontSize(AppearanceElement::kCandidateList, 2 * view.fontSize(AppearanceElement::kCandidateList));
      written = true;
    }
  }
  CloseBlock(settings, false);
  return written && SendToLoader(kLoaderReloadMessage, 1, 0) == Result::kSuccess;
}

// The candidate window is kept hidden between words; a settings change that the settings sheet hands
// the loader between two words (a larger list font here) reaches the second word's window.
TEST_F(TypingTest, ASettingsChangeBetweenWordsReachesTheNextWordsWindow) {
  std::wstring events[3];
  std::vector<platform::win32::UniqueHandle> handles;
  for (int i = 0; i < 3; ++i) {
    events[i] = L"Local\\step" + std::to_wstring(i) + L"." + namespace_;
    handles.emplace_back(CreateEventW(nullptr, TRUE, FALSE, events[i].c_str()));
    ASSERT_TRUE(handles.back());
  }
  Trace trace;
  std::thread host([&] {
    trace = Typed("quil{Wait " + Narrow(events[0]) + "} {Wait " + Narrow(events[1]) + "}quil{Wait " +
                  Narrow(events[2]) + "}");
  });
  // The height of the window shown at the host's wait `step`, which then goes on.
  auto heightAt = [&](int step) {
    for (int i = 0; i < 1200 && OtherCandidateWindows().empty(); ++i) Sleep(50);
    Sleep(300);  // the letters typed before the wait are handled within milliseconds
    LONG height = 0;
    for (HWND window : OtherCandidateWindows()) {
      RECT r;
      if (GetWindowRect(window, &r)) height = r.bottom - r.top;
    }
    SetEvent(handles[step].get());
    return height;
  };
  const LONG before = heightAt(0);
  EXPECT_TRUE(DoubleListFont());  // while the host waits between the words
  SetEvent(handles[1].get());
  const LONG after = heightAt(2);
  host.join();

  ExpectState(After(trace, "l", 1), "quil quil", "quil", "visible");
  EXPECT_GT(before, 0);
  EXPECT_GT(after, before + before / 2) << "the window of the first word served the second";
}

// A tab whose options forgive spelling mistakes (read from the loader's options.dat) offers the word a
// misspelling meant first, and a number key writes that word in place of the letters typed. How a
// corrected row is marked and named is the window's own (CandListCoreTest, CandListWinTest).
TEST_F(TypingTest, AForgivingTabOffersTheCorrectedSpellingAndPicksIt) {
  ASSERT_NO_FATAL_FAILURE(UseFirstTabOptions({CandidateOrder::kDictionary, false, true}));
  const Trace trace = Typed("becuse1");
  const HostState* typed = After(trace, "e", 1);
  ExpectState(typed, "becuse", "becuse", "visible");
  ASSERT_FALSE(typed->rows.empty());
  EXPECT_EQ(typed->rows[0], "because");
  ExpectState(&trace.final, "because", "", "none");
}

// tsfhost --configure asks the DLL's class factory for its configure function and shows it, as the
// system's text services settings do: with no loader running, the function starts the one beside the
// DLL, then shows the settings sheet, owned by the host's window; Cancel ends the run.
TEST_F(TypingTest, TsfhostConfigureStartsTheLoaderAndShowsTheSettingsSheet) {
  ASSERT_EQ(LoaderWindow(), nullptr);
#ifndef _WIN64
  // Emulated x86 Wine here fails to start a program from the sheet's process (the child dies in
  // Wine's own code): the sheet meets a loader that runs already, which x64 starts from the sheet.
  StartLoader();
#endif
  DWORD id = 0;
  const platform::win32::UniqueHandle host = Start(L"tsfhost.exe", L"--configure", &id);
  ASSERT_TRUE(host);
  HWND sheet = winui::testing::WaitForWindow(
      [&] { return winui::testing::FindTopWindow(id, L"#32770", L"Tarnwick Quillet Options"); }, 60000);
  EXPECT_NE(sheet, nullptr);
  EXPECT_NE(LoaderWindow(), nullptr);
  if (sheet != nullptr) {
    EXPECT_NE(GetWindow(sheet, GW_OWNER), nullptr);
    winui::testing::SettlePainting(sheet);
    EXPECT_FALSE(winui::testing::SavePicture(sheet, u"tsfhost-configure").empty());
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  }
  const DWORD ended = WaitForSingleObject(host.get(), 60000);
  if (ended != WAIT_OBJECT_0) TerminateProcess(host.get(), 99);
  EXPECT_EQ(ended, static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD exitCode = 0xFFFFFFFF;
  GetExitCodeProcess(host.get(), &exitCode);
  EXPECT_EQ(exitCode, 0u);
}

}  // namespace
}  // namespace quillet
