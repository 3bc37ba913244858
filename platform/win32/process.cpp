#include "platform/process.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace quillet::platform {

struct Process::Impl {
  win32::UniqueHandle process;
};

Process::Process() : impl_(std::make_unique<Impl>()) {}
Process::~Process() = default;
Process::Process(Process&&) noexcept = default;
Process& Process::operator=(Process&&) noexcept = default;

bool Process::valid() const { return impl_ && impl_->process.valid(); }

bool Process::Start(const std::u16string& path, const std::u16string& commandLine, OsError* error) {
  if (!impl_) impl_ = std::make_unique<Impl>();
  if (impl_->process) {
    *error = ERROR_BUSY;
    return false;
  }
  const std::wstring application = win32::ToWide(path);
  // CreateProcessW may write into the command line, so it gets its own buffer.
  std::wstring line = win32::ToWide(commandLine);
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi = {};
  // A host may run in a job that ends every process in it when the host goes (kill-on-close): the
  // helper, which outlives its starter and may be writing a file, leaves it where the job allows.
  BOOL inJob = FALSE;
  const DWORD breakaway = IsProcessInJob(GetCurrentProcess(), nullptr, &inJob) && inJob ? CREATE_BREAKAWAY_FROM_JOB : 0;
  BOOL started = CreateProcessW(application.c_str(), buffer.data(), nullptr, nullptr, FALSE, breakaway, nullptr,
                                nullptr, &si, &pi);
  if (!started && breakaway != 0 && GetLastError() == ERROR_ACCESS_DENIED) {
    std::copy(line.begin(), line.end(), buffer.begin());  // it may have been written to
    started =
        CreateProcessW(application.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  }
  if (!started) {
    *error = GetLastError();
    return false;
  }
  const win32::UniqueHandle thread(pi.hThread);
  impl_->process.Reset(pi.hProcess);
  return true;
}

WaitResult Process::WaitUntilReady(uint32_t timeoutMs, OsError* error) {
  if (!valid()) {
    *error = ERROR_INVALID_HANDLE;
    return WaitResult::kFailed;
  }
  const DWORD r = WaitForInputIdle(impl_->process.get(), timeoutMs);
  if (r == 0) return WaitResult::kSignalled;
  if (r == WAIT_TIMEOUT) {
    *error = ERROR_TIMEOUT;
    return WaitResult::kTimedOut;
  }
  *error = GetLastError();
  return WaitResult::kFailed;
}

bool Process::WaitForExit(uint32_t timeoutMs, int* exitCode) {
  if (!valid()) return false;
  if (WaitForSingleObject(impl_->process.get(), timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  if (!GetExitCodeProcess(impl_->process.get(), &code)) return false;
  if (exitCode != nullptr) *exitCode = static_cast<int>(code);
  return true;
}

void Process::Kill() {
  if (valid()) TerminateProcess(impl_->process.get(), 1);
}

void SignalReady() {
  // The starter's WaitForInputIdle ends when the message loop first waits for input.
}

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

std::u16string ModulePath() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&ModulePath), &module)) {
    return std::u16string();
  }
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::u16string();
    if (n < buffer.size()) return win32::FromWide(std::wstring_view(buffer.data(), n));
    if (buffer.size() >= 32768) return std::u16string();
    buffer.resize(buffer.size() * 2);
  }
}

std::u16string ModuleFolder() {
  const std::u16string path = ModulePath();
  const size_t slash = path.find_last_of(u"\\/");
  if (slash == std::u16string::npos) return std::u16string();
  return path.substr(0, slash);
}

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name) {
  if (folder.empty()) return name;
  if (folder.back() == u'\\' || folder.back() == u'/') return folder + name;
  return folder + u'\\' + name;
}

}  // namespace quillet::platform
