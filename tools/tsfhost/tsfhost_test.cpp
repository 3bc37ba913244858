// tsfhost.exe against the small test text service: the framework's rules as a text service meets
// them (locks and cookies of edit sessions, the order in which sinks hear of edits, focus and key-ups)
// and the host's answers to bad input. The real text service's typing is tests/typing_test.cpp.
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

// Runs tsfhost.exe with `arguments`, with the test text service unless told otherwise.
HostRun RunHost(const std::string& arguments, bool testService = true) {
  const std::wstring logPath = TempFile(L"thl");
  DeleteFileW(logPath.c_str());
  SetEnvironmentVariableW(L"TSFHOST_TIP_LOG", logPath.c_str());

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

// A session: the text service composes and reads the composition's extent, the Enter key ends the
// composition, keys it does not eat reach the document, the trace follows, every reference goes back.
TEST(TsfhostTest, ASessionFromActivationToRelease) {
  const HostRun run = RunHost("--trace --release-check --keys \"ab{Enter} cd{Enter}\"");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  const auto out = run.Out();
  int at = IndexOf(out, "key b eaten");
  ASSERT_GE(at, 0) << run.out;
  EXPECT_EQ(std::vector<std::string>(out.begin() + at + 1, out.begin() + at + 4),
            (std::vector<std::string>{"document ab", "caret 2", "composition 0 2"}));
  at = IndexOf(out, "key {Enter} eaten", at);
  ASSERT_GE(at, 0) << run.out;
  EXPECT_EQ(out[at + 3], "composition none");
  EXPECT_EQ(out[at + 4], "candidates none");
  at = IndexOf(out, "key   passed", at);
  ASSERT_GE(at, 0) << "a space outside a composition reaches the document\n" << run.out;
  EXPECT_EQ(out[at + 1], "document ab ");
  // The final block, then the release check: every reference given back on both sides.
  EXPECT_NE(run.out.find(Block("ab cd", 5, "none", "none") + "can-unload yes\nhost-objects 0\n"), std::string::npos)
      << run.out;
  EXPECT_TRUE(Has(run.log, "StartComposition"));
  EXPECT_TRUE(Has(run.log, "GetTextExt 0x00000000 inside=1 clipped=0"));
  EXPECT_TRUE(Has(run.log, "OnLayoutChange 1"));
  EXPECT_TRUE(Has(run.log, "EndComposition 0x00000000"));
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
  EXPECT_NE(run.out.find("document abc\ncaret 3\ncomposition 2 3\n"), std::string::npos) << run.out;
}

TEST(TsfhostTest, BadInputGetsAClearResult) {
  HostRun run = RunHost("--keys \"ab{Nope}\"");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_NE(run.err.find("unknown token {Nope} at position 2"), std::string::npos) << run.err;
  EXPECT_TRUE(run.log.empty()) << "nothing was activated";

  run = RunHost("--keys a --dll nowhere.dll", /*testService=*/false);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_NE(run.err.find("nowhere.dll does not load"), std::string::npos) << run.err;

  // The test service does not answer quillsvc's class id.
  const std::wstring bin = BinFolder();
  run = RunHost("--keys a --dll \"" + std::string(bin.begin(), bin.end()) + "tsfhost_test_tip.dll\"", false);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_NE(run.err.find("no class factory"), std::string::npos) << run.err;

  run = RunHost("--keys");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_NE(run.err.find("usage:"), std::string::npos);
}

}  // namespace
