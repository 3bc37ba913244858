// For tests that run tsfhost.exe (or another program of the build) and read what it printed: the
// build's bin folder, temporary files, a run with its output captured, and tsfhost's --trace read back.
#pragma once

#include <windows.h>

#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace quillet::tsfhost::testing {

inline std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }
inline std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The folder of the running test program, with a trailing separator: the build's bin folder.
inline std::wstring BinFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring self(path, length);
  return self.substr(0, self.find_last_of(L"\\/") + 1);
}

// A new empty file in the temporary folder.
inline std::wstring TempFile(const wchar_t* prefix) {
  wchar_t folder[MAX_PATH] = {};
  wchar_t path[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, prefix, 0, path);
  return path;
}

inline std::string ReadAll(const std::wstring& path) {
  std::string text;
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

struct ProgramRun {
  DWORD exitCode = 0xFFFFFFFF;  // 0xFFFFFFFF when it did not start
  std::string out;
  std::string err;
};

// Runs `commandLine` with its standard streams in files and waits up to `timeoutMs` (then it is ended
// with exit code 99). The program inherits this process's environment.
inline ProgramRun RunProgram(std::wstring commandLine, DWORD timeoutMs = 120000) {
  const std::wstring outPath = TempFile(L"qro");
  const std::wstring errPath = TempFile(L"qre");
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  ProgramRun run;
  // Wine now and then fails a start under load (seen with nothing else wrong); a second try is made,
  // as the Wine runner does for the test programs themselves.
  bool started = false;
  for (int attempt = 0; attempt < 2 && !started; ++attempt) {
    if (attempt > 0) Sleep(1000);
    std::wstring line = commandLine;  // CreateProcessW may write into it
    started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  }
  if (started) {
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out);
  CloseHandle(err);
  run.out = ReadAll(outPath);
  run.err = ReadAll(errPath);
  DeleteFileW(outPath.c_str());
  DeleteFileW(errPath.c_str());
  return run;
}

// Ends the loader of the namespace `ns` (QUILLET_NAMESPACE), if one runs, and waits until it is gone.
inline void StopLoader(const std::wstring& ns) {
  constexpr UINT kQuitMessage = WM_CLOSE;  // ends the loader, as the uninstaller ends it
  const std::wstring title = L"Daemon@QX@TARN" + (ns.empty() ? std::wstring() : L"." + ns);
  for (int i = 0; i < 200; ++i) {
    HWND loader = FindWindowExW(HWND_MESSAGE, nullptr, L"DAEMON", title.c_str());
    if (loader == nullptr) return;
    if (i == 0) PostMessageW(loader, kQuitMessage, 0, 0);
    Sleep(50);
  }
}

// tsfhost's report of the document and the candidate window, read back.
struct HostState {
  std::string document;  // as in the editor (the printed escapes undone), UTF-8
  int caret = -1;
  std::optional<std::pair<int, int>> composition;
  std::string candidates;  // visible, hidden or none
  std::vector<std::string> rows;
};

// One token of a --trace run: its label, whether a key was eaten, and the state after it.
struct TraceStep {
  std::string token;
  bool eaten = false;
  HostState state;
};

struct Trace {
  std::vector<TraceStep> steps;
  HostState final;                // the block printed at the end
  std::vector<std::string> rest;  // the lines after the final block (--langbar, --release-check)
};

// Reads the block starting at lines[*at]; *at moves past it. False when the lines are not a block.
inline bool ReadState(const std::vector<std::string>& lines, size_t* at, HostState* state) {
  auto field = [&](const char* name, std::string* value) {
    const std::string prefix = std::string(name) + " ";
    if (*at >= lines.size() || lines[*at].compare(0, prefix.size(), prefix) != 0) return false;
    *value = lines[(*at)++].substr(prefix.size());
    return true;
  };
  std::string caret;
  std::string composition;
  std::string document;
  if (!field("document", &document) || !field("caret", &caret) || !field("composition", &composition) ||
      !field("candidates", &state->candidates)) {
    return false;
  }
  state->document.clear();
  for (size_t i = 0; i < document.size(); ++i) {
    if (document[i] == '\\' && i + 1 < document.size()) {
      const char next = document[++i];
      state->document += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      state->document += document[i];
    }
  }
  state->caret = std::stoi(caret);
  state->composition.reset();
  if (composition != "none") {
    const size_t space = composition.find(' ');
    state->composition.emplace(std::stoi(composition.substr(0, space)), std::stoi(composition.substr(space + 1)));
  }
  state->rows.clear();
  for (std::string row; *at < lines.size() && lines[*at].compare(0, 4, "row ") == 0; ++*at) {
    row = lines[*at].substr(4);
    state->rows.push_back(row.substr(row.find(' ') + 1));
  }
  return true;
}

// Reads the output of a --trace run; nullopt when it does not have the expected shape.
inline std::optional<Trace> ReadTrace(const std::string& out) {
  const std::vector<std::string> lines = Lines(out);
  Trace trace;
  size_t at = 0;
  while (at < lines.size() && lines[at].compare(0, 4, "key ") == 0) {
    TraceStep step;
    const std::string& line = lines[at++];
    const bool eaten = line.size() >= 6 && line.compare(line.size() - 6, 6, " eaten") == 0;
    const size_t suffix = eaten ? 6 : 7;  // " eaten" or " passed"
    if (line.size() < 4 + suffix) return std::nullopt;
    step.token = line.substr(4, line.size() - 4 - suffix);
    step.eaten = eaten;
    if (!ReadState(lines, &at, &step.state)) return std::nullopt;
    trace.steps.push_back(std::move(step));
  }
  if (!ReadState(lines, &at, &trace.final)) return std::nullopt;
  trace.rest.assign(lines.begin() + static_cast<std::ptrdiff_t>(at), lines.end());
  return trace;
}

}  // namespace quillet::tsfhost::testing
