// Tests run in parallel processes and next to a loader the user may run: each test process gets a
// namespace of its own, set before any named object is touched and inherited by the programs it starts.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "common/utf16.h"
#include "platform/named_objects.h"
#include "platform/process.h"

namespace quillet::testing {

// Switches this process, and the programs it starts from now on, to the namespace `value`. What the
// previous test namespace left behind (a killed program's objects, say) is removed first, and the
// last one's at exit, so that test runs leave nothing in the system.
inline bool UseNamespace(const std::string& value) {
  platform::DiscardTestNamespace();
  static const bool registered = std::atexit(&platform::DiscardTestNamespace) == 0;
#ifdef _WIN32
  const bool set = _putenv_s("QUILLET_NAMESPACE", value.c_str()) == 0;
#else
  const bool set = setenv("QUILLET_NAMESPACE", value.c_str(), 1) == 0;
#endif
  return set && registered;
}

inline bool IsolateNamespace(const std::string& prefix) {
  // Clock and a randomised address: unique enough among processes started together.
  static int anchor = 0;
  const auto now = static_cast<unsigned long long>(std::chrono::system_clock::now().time_since_epoch().count());
  return UseNamespace(prefix + std::to_string(now % 1000000000000ULL) + "x" +
                      std::to_string((reinterpret_cast<uintptr_t>(&anchor) >> 12) & 0xFFFFF));
}

// A program built next to the running test.
inline std::u16string SiblingProgram(const std::u16string& name) {
  const std::u16string self = platform::ModulePath();
  const bool exe = self.size() > 4 && self.compare(self.size() - 4, 4, u".exe") == 0;
  return platform::JoinPath(platform::ModuleFolder(), exe ? name + u".exe" : name);
}

// Retries `f` until it returns true, for up to `ms` milliseconds. Under Wine, WaitForInputIdle may
// return before a starting program has finished its start-up, so what it makes can appear later.
template <class F>
bool Eventually(F f, int ms = 10000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!f()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Kills a started helper when a test ends early, so that no helper outlives a failed test.
class KillOnExit {
 public:
  explicit KillOnExit(platform::Process& p) : p_(p) {}
  ~KillOnExit() {
    if (p_.valid() && !p_.WaitForExit(0, nullptr)) {
      p_.Kill();
      p_.WaitForExit(10000, nullptr);
    }
  }
  KillOnExit(const KillOnExit&) = delete;
  KillOnExit& operator=(const KillOnExit&) = delete;

 private:
  platform::Process& p_;
};

}  // namespace quillet::testing
