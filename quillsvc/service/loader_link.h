// The text service's link to the loader: make sure exactly one loader runs in the session (starting
// it from the module's folder when it does not) and send it messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace quillet {

inline constexpr std::u16string_view kLoaderStartLockName = u"Local\\@@DAEQLQX@@";
inline constexpr std::u16string_view kLoaderPresenceName = u"Local\\@@LDRINST@@";
// The loader's file name next to this module ("lexwarden" natively).
extern const char16_t* const kLoaderFileName;

inline constexpr uint32_t kLoaderReloadMessage = 0x800A;     // wParam: settings written, lParam: dictionaries
inline constexpr uint32_t kLoaderHandshakeMessage = 0x800B;  // reply 0 once both blocks are ready
inline constexpr uint32_t kLoaderMessageTimeoutMs = 5000;
inline constexpr uint32_t kLoaderIdleTimeoutMs = 5000;
// The start lock is held only across a process start and its idle wait (about 5 s at worst), so a
// wait this long means a holder died with it; giving up keeps the host application responsive.
inline constexpr uint32_t kLoaderStartLockTimeoutMs = 20000;
// The loader's command line is handed over in a 20-character buffer.
inline constexpr size_t kLoaderCommandLineMax = 19;

// Makes sure the loader runs. Returns 0 when it already ran (no message is sent) or when it was
// started and answered the handshake with 0; otherwise 1, 2, 8, 9, 14, 16, 25 (see common/result.h)
// or the loader's own nonzero answer to the handshake. *error receives the OS error of a failing step
// (0 otherwise). `commandLine` ("from service", "from setting") is cut to 19 characters.
int32_t EnsureLoader(platform::OsError* error, std::u16string_view commandLine);

// The same with an explicit loader program; for tests and tools that run the loader from elsewhere.
int32_t EnsureLoaderAt(const std::u16string& loaderPath, platform::OsError* error, std::u16string_view commandLine);

// Sends one message to the loader's window and waits up to 5000 ms. Returns the loader's reply, 1
// when there is no loader window or sending failed with an OS error, 25 when no answer came in time.
int32_t SendToLoader(uint32_t message, uintptr_t wParam, intptr_t lParam);
int32_t SendToLoader(uint32_t message, uintptr_t wParam, intptr_t lParam, platform::OsError* error);

}  // namespace quillet
