// The loader's window against another process on the desktop that sends it every message there is.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/loader_channel_testing.h"
#include "platform/test_namespace.h"
#include "platform/win32/message_flood_testing.h"
#include "platform/win32/wide.h"

namespace quillet::platform {
namespace {

const bool kIsolated = testing::IsolateNamespace("fl");

HWND ChannelWindow() {
  std::wstring title = L"Daemon@QX@TARN";
  const std::wstring ns = win32::TestNamespace();
  if (!ns.empty()) title += L"." + ns;
  return FindWindowExW(HWND_MESSAGE, nullptr, L"DAEMON", title.c_str());
}

// Pointers into this process in every message (lpCreateParams of a WM_NCCREATE among them) write
// nothing here, and the loader goes on answering; then WM_CLOSE, which the uninstaller sends, ends it.
TEST(LoaderChannelFloodTest, MessagesFromAnotherProcessWriteNothingHereAndCloseStillEndsTheLoader) {
  ASSERT_TRUE(kIsolated);
  const win32::FloodCanary canary;
  ASSERT_TRUE(canary.valid());
  testing::RecordingChannel channel(
      [](uint32_t message, uintptr_t, intptr_t) -> intptr_t { return message == 0x800B ? 42 : 0; });
  const HWND window = ChannelWindow();
  ASSERT_NE(window, nullptr);

  EXPECT_EQ(win32::RunFlood(window, canary, win32::FloodPart::kEverything, false), win32::kFloodDone);
  EXPECT_EQ(canary.Written(), 0u);
  intptr_t reply = 0;
  OsError error = 0;
  ASSERT_EQ(SendLoaderMessage(0x800B, 0, 0, 5000, &reply, &error), SendStatus::kReplied) << error;
  EXPECT_EQ(reply, 42);

  EXPECT_EQ(win32::RunFlood(window, canary, win32::FloodPart::kClosing, false), win32::kFloodDone);
  EXPECT_EQ(canary.Written(), 0u);
  EXPECT_TRUE(testing::Eventually([] { return ChannelWindow() == nullptr; }));
}

}  // namespace
}  // namespace quillet::platform
