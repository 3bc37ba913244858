// Starting a helper program hidden and waiting until it is ready for work; the module's own path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/error.h"
#include "platform/named_objects.h"

namespace quillet::platform {

class Process {
 public:
  Process();
  ~Process();  // closes the handle; the process keeps running
  Process(Process&&) noexcept;
  Process& operator=(Process&&) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts `path` hidden, handles not inherited, with `commandLine` as its whole command line
  // (on POSIX split at blanks into arguments after the program name).
  bool Start(const std::u16string& path, const std::u16string& commandLine, OsError* error);
  // Windows: WaitForInputIdle. POSIX: until the child calls SignalReady() or exits.
  WaitResult WaitUntilReady(uint32_t timeoutMs, OsError* error);
  // Waits for the process to end; true with its exit code when it ended in time.
  bool WaitForExit(uint32_t timeoutMs, int* exitCode);
  void Kill();
  bool valid() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Tells a starter blocked in WaitUntilReady that this program is ready. The Windows message loop does
// this by itself; on POSIX the loader calls it right before it first waits for messages.
void SignalReady();

// Full path of the module (DLL or program) that holds this code, and its folder; empty on failure.
std::u16string ModulePath();
// This process's id.
uint32_t CurrentProcessId();
std::u16string ModuleFolder();
// folder + separator + name.
std::u16string JoinPath(const std::u16string& folder, const std::u16string& name);

}  // namespace quillet::platform
