// tsfhost.exe run as a person's scripts would run it, against the small test text service: what it
// prints, what the text service heard (its log), exit codes, the picture.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tools/tsfhost/host_run_testing.h"

namespace {

using namespace quillet::tsfhost::testing;

const char kTestClsid[] = "{3fc30ab6-4440-4409-bae4-f2de8e799715}";

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines) {
    if (l == line) return true;
  }
  return false;
}

// Index of the first line equal to `line` at or after `from` (from the start when negative); -1 when
// there is none.
int IndexOf(const std::vector<std::string>& lines, const std::string& line, int from = 0) {
  for (int i = std::max(from, 0); i < static_cast<int>(lines.size()); ++i) {
    if (lines[i] == line) return i;
  }
  return -1;
}

struct HostRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string out;
  std::string err;
  std::vector<std::string> log;  // what the text service heard
  std::vector<std::string> Out() const { return Lines(out); }
};

// Runs tsfhost.exe with the test text service and `arguments`; `fail` makes its activation fail.
HostRun RunHost(const std::string& arguments, bool fail = false, bool testService = true, bool noElement = false) {
  const std::wstring logPath = TempFile(L"thl");
  DeleteFileW(logPath.c_str());
  SetEnvironmentVariableW(L"TSFHOST_TIP_LOG", logPath.c_str());
  SetEnvironmentVariableW(L"TSFHOST_TIP_FAIL", fail ? L"1" : nullptr);
  SetEnvironmentVariableW(L"TSFHOST_TIP_NO_ELEMENT", noElement ? L"1" : nullptr);

  std::wstring command = L"\"" + BinFolder() + L"tsfhost.exe\"";
  if (testService) {
    command += L" --dll \"" + BinFolder() + L"tsfhost_test_tip.dll\" --clsid " + Widen(kTestClsid);
  }
  command += L" " + Widen(arguments);
  const ProgramRun program = RunProgram(command);
  HostRun run;
  run.exitCode = program.exitCode;
  run.out = program.out;
  run.err = program.err;
  run.log = Lines(ReadAll(logPath));
  DeleteFileW(logPath.c_str());
  return run;
}

std::string Block(const std::string& document, int caret, const std::string& composition,
                  const std::string& candidates) {
  return "document " + document + "\ncaret " + std::to_string(caret) + "\ncomposition " + composition +
         "\ncandidates " + candidates + "\n";
}

// A typical session: the text service composes, shows its candidates, the Enter key ends the
// composition, keys it does not eat reach the document, a digit picks a row, the trace follows.
TEST(TsfhostTest, ATypicalSessionEndToEnd) {
  const HostRun run = RunHost("--trace --release-check --keys \"ab{Enter} cd2\"");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  const auto out = run.Out();
  // After "b": the composition covers both letters, the rows come from the candidate list element.
  int at = IndexOf(out, "key b eaten");
  ASSERT_GE(at, 0) << run.out;
  EXPECT_EQ(std::vector<std::string>(out.begin() + at + 1, out.begin() + at + 8),
            (std::vector<std::string>{"document ab", "caret 2", "composition 0 2", "candidates visible", "row 0 abs",
                                      "row 1 abing", "row 2 abed"}));
  at = IndexOf(out, "key {Enter} eaten", at);
  ASSERT_GE(at, 0) << run.out;
  EXPECT_EQ(out[at + 3], "composition none");
  EXPECT_EQ(out[at + 4], "candidates none");
  at = IndexOf(out, "key   passed", at);
  ASSERT_GE(at, 0) << "a space outside a composition reaches the document\n" << run.out;
  EXPECT_EQ(out[at + 1], "document ab ");
  at = IndexOf(out, "key 2 eaten", at);
  ASSERT_GE(at, 0) << run.out;
  // The final block, then the release check: every reference given back on both sides.
  EXPECT_NE(run.out.find(Block("ab cding", 8, "none", "none") + "can-unload yes\nhost-objects 0\n"), std::string::npos)
      << run.out;
  EXPECT_TRUE(Has(run.log, "StartComposition"));
  EXPECT_TRUE(Has(run.log, "GetTextExt 0x00000000 inside=1 clipped=0"));
  EXPECT_TRUE(Has(run.log, "OnLayoutChange 1"));
  EXPECT_TRUE(Has(run.log, "EndComposition 0x00000000"));
}

TEST(TsfhostTest, RowsComeFromTheWindowWhenNoCandidateListIsBegun) {
  const HostRun run = RunHost("--keys \"ab\"", false, true, /*noElement=*/true);
  EXPECT_EQ(run.out, Block("ab", 2, "0 2", "visible") + "row 0 abs\nrow 1 abing\nrow 2 abed\n");
}

TEST(TsfhostTest, ClosedModeLeavesEveryKeyToTheEditor) {
  const HostRun run = RunHost("--closed --trace --keys \"ab{Enter}c{Back}{Left}x{Home}{Del}{End}{Up}{{}\"");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out.find(" eaten"), std::string::npos) << run.out;
  // "ab\n" -> "ab\nc" -> "ab\n" -> caret 2 -> "abx\n" -> home, delete: "bx\n" -> end of line 0, up stays.
  EXPECT_NE(run.out.rfind(Block("bx{\\n", 3, "none", "none")), std::string::npos) << run.out;
}

TEST(TsfhostTest, ADisabledContextGetsItsKeysBackFromTheTextService) {
  const HostRun run = RunHost("--disabled --keys \"ab{Ctrl+a}\"");
  EXPECT_EQ(run.out, Block("ab", 2, "none", "none"));
}

TEST(TsfhostTest, ShiftTapsToggleTheOpenCompartment) {
  const HostRun run = RunHost("--closed --keys \"a{Shift}b{Shift}c\"");
  EXPECT_EQ(run.out, Block("abc", 3, "none", "none"));
  const int opened = IndexOf(run.log, "open 1");
  const int started = IndexOf(run.log, "StartComposition");
  const int closed = IndexOf(run.log, "open 0");
  EXPECT_TRUE(opened >= 0 && started > opened && closed > started) << run.out;
  EXPECT_GT(IndexOf(run.log, "EndComposition 0x00000000", closed), closed)
      << "closing ends the composition at once: no lock is held during a key-up";
}

// The framework's rules on locks, cookies and queued sessions, as the probes of '!' report them.
TEST(TsfhostTest, EditSessionsKeepTheirLocksAndCookies) {
  const HostRun run = RunHost("--keys \"ab!c{Enter}\"");
  EXPECT_EQ(run.out, Block("abc", 3, "none", "none"));
  const auto& log = run.log;
  EXPECT_TRUE(Has(log, "probe read-only-write 0x80040201")) << "TF_E_NOLOCK with a read-only cookie";
  EXPECT_TRUE(Has(log, "probe in-write-session 0"));
  EXPECT_TRUE(Has(log, "probe nested-read 0x00000000")) << "a nested read inside a write session runs";
  // TF_ES_ASYNC inside a session is queued (TF_S_ASYNC) and runs with write access once it ends.
  const int requested = IndexOf(log, "probe async-request 0x00000000 0x00040300");
  const int ran = IndexOf(log, "async ran write=1 read=0x00000000");
  EXPECT_TRUE(requested >= 0 && ran > requested) << "requested at " << requested << ", ran at " << ran;
  EXPECT_TRUE(Has(log, "probe stale-write 0x80040201")) << "a cookie outlives its session";
  EXPECT_TRUE(Has(log, "probe end-edit-write 0x80040201")) << "OnEndEdit's cookie is read-only";
  EXPECT_TRUE(Has(log, "probe sync-write-in-read 0x80040208")) << "TF_E_SYNCHRONOUS inside a read lock";
}

TEST(TsfhostTest, AClickOnARowComesBackAsAKey) {
  const HostRun run = RunHost("--trace --keys \"ab{Click 1}\"");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_TRUE(Has(run.Out(), "key {Click 1} eaten")) << run.out;
  EXPECT_NE(run.out.rfind(Block("abing", 5, "none", "none")), std::string::npos) << run.out;
  EXPECT_TRUE(Has(run.log, "row 1 clicked"));
}

TEST(TsfhostTest, TheApplicationMovingTheSelectionOrEndingTheCompositionIsHeard) {
  HostRun run = RunHost("--trace --keys \"xy{Enter}abc{Caret 1}z{Enter}\"");
  EXPECT_TRUE(Has(run.log, "selection left the composition")) << run.err;
  int at = IndexOf(run.Out(), "key {Caret 1} passed");
  ASSERT_GE(at, 0) << run.out;
  EXPECT_EQ(run.Out()[at + 3], "composition none") << "the end session ran after OnEndEdit's lock";
  EXPECT_EQ(run.out.substr(run.out.rfind("document")), Block("xzyabc", 2, "none", "none"));

  run = RunHost("--trace --keys \"ab{Terminate}c{Enter}\"");
  EXPECT_TRUE(Has(run.log, "OnCompositionTerminated"));
  at = IndexOf(run.Out(), "key c eaten");
  ASSERT_GE(at, 0) << run.out;
  EXPECT_EQ(run.Out()[at + 3], "composition 2 3") << "a new composition after the terminated one";
  EXPECT_EQ(run.out.substr(run.out.rfind("document")), Block("abc", 3, "none", "none"));
}

TEST(TsfhostTest, ThreadFocusLossAndReturnReachTheTextService) {
  const HostRun run = RunHost("--keys \"ab{Blur}{Focus}c\"");
  const int killed = IndexOf(run.log, "OnKillThreadFocus");
  ASSERT_GE(killed, 0);
  EXPECT_GT(IndexOf(run.log, "EndComposition 0x00000000", killed), killed);
  EXPECT_GT(IndexOf(run.log, "OnSetThreadFocus", killed), killed);
  EXPECT_NE(run.out.find("document abc\ncaret 3\ncomposition 2 3\ncandidates visible\n"), std::string::npos) << run.out;
}

TEST(TsfhostTest, AFailedActivationIsReportedAndTheRunGoesOn) {
  const HostRun run = RunHost("--langbar --keys \"ab\"", /*fail=*/true);
  EXPECT_EQ(run.exitCode, 3u);
  EXPECT_NE(run.err.find("activation failed: 0x80004005"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Failed, Error Code=7"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, Block("ab", 2, "none", "none") +
                         "item 0 desc Toggle\nitem 0 tooltip Failed, Error Code=7\nitem 0 text Toggle\n");
}

TEST(TsfhostTest, LanguageBarItemsCanBeReadClickedAndChosenFrom) {
  const HostRun run = RunHost("--langbar --keys \"{Item 0}a{Menu 1 1}\"");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out, Block("a", 1, "none", "none") +
                         "item 0 desc Toggle\nitem 0 tooltip Closed\nitem 0 text Toggle\n"
                         "item 1 desc Menu\nitem 1 tooltip Menu\nitem 1 text Menu\n"
                         "item 1 menu 10 First checked\nitem 1 menu 11 Second\n");
  EXPECT_TRUE(Has(run.log, "item 0 sink advised"));
  EXPECT_TRUE(Has(run.log, "item 0 clicked"));
  EXPECT_TRUE(Has(run.log, "menu 11"));
  EXPECT_TRUE(Has(run.log, "item 1 sink unadvised")) << "items are removed on deactivation";
}

TEST(TsfhostTest, BadInputGetsAClearResult) {
  HostRun run = RunHost("--keys \"ab{Nope}\"");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_NE(run.err.find("unknown token {Nope} at position 2"), std::string::npos) << run.err;
  EXPECT_TRUE(run.log.empty()) << "nothing was activated";

  run = RunHost("--keys a --dll nowhere.dll", false, /*testService=*/false);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_NE(run.err.find("nowhere.dll does not load"), std::string::npos) << run.err;

  // The test service does not answer quillsvc's class id.
  const std::wstring bin = BinFolder();
  run = RunHost("--keys a --dll \"" + std::string(bin.begin(), bin.end()) + "tsfhost_test_tip.dll\"", false, false);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_NE(run.err.find("no class factory"), std::string::npos) << run.err;

  run = RunHost("--keys");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_NE(run.err.find("usage:"), std::string::npos);
}

TEST(TsfhostTest, ConfigureShowsTheFunctionOverTheWindow) {
  const HostRun run = RunHost("--configure");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_TRUE(Has(run.log, "configure shown parent=1 language=0804"));
}

TEST(TsfhostTest, ThePictureIsAPngOfTheWindowAndThePopup) {
  const std::wstring path = TempFile(L"thp");
  const HostRun run = RunHost("--png \"" + std::string(path.begin(), path.end()) + "\" --keys \"ab\"");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  const std::string png = ReadAll(path);
  DeleteFileW(path.c_str());
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  auto big32 = [&](size_t at) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(png[at])) << 24) |
           (static_cast<uint32_t>(static_cast<uint8_t>(png[at + 1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(png[at + 2])) << 8) | static_cast<uint8_t>(png[at + 3]);
  };
  // The editor's client area is about 620 wide; the popup hangs below the first line, inside it.
  EXPECT_GT(big32(16), 500u);
  EXPECT_GT(big32(20), 200u);
}

}  // namespace
