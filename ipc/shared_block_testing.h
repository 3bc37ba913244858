// Where the lock tests and their helper program keep their marks inside the settings block.
#pragma once

#include <chrono>
#include <cstddef>
#include <string_view>
#include <thread>

#include "common/le.h"
#include "ipc/shared_block.h"

namespace quillet {

inline constexpr size_t kMarkOffset = 200;        // set by the one-shot writer
inline constexpr size_t kInsideOffset = 300;      // 1 while a party holds the lock
inline constexpr size_t kCounterOffset = 304;     // incremented by each writer pass
inline constexpr size_t kViolationsOffset = 308;  // counts entries while another party was inside

inline constexpr std::u16string_view kOpenedEventName = u"Local\\@@TESTOPENED@@";
inline constexpr std::u16string_view kGoEventName = u"Local\\@@TESTGO@@";

// Takes the settings block `passes` times as a reader or writer and checks that nobody else is inside
// meanwhile; a writer counts its passes. Exit code 0, 2 when a lock failed, 10 + the result when the
// open failed.
inline int HammerSettingsBlock(bool writer, int passes) {
  SharedBlock block;
  block.policy = kToolLockPolicy;  // contended on purpose: what is tested is exclusion, not patience
  const Result r = OpenSettingsBlock(block);
  if (r != Result::kSuccess) return 10 + ToInt(r);
  uint8_t* view = block.view();
  const auto take = [&]() -> BlockLock {
    if (writer) return BlockWriteLock(block);
    return BlockReadLock(block);
  };
  for (int i = 0; i < passes; ++i) {
    const BlockLock lock = take();
    if (!lock) return 2;
    if (LoadU32(view + kInsideOffset) != 0) StoreU32(view + kViolationsOffset, LoadU32(view + kViolationsOffset) + 1);
    StoreU32(view + kInsideOffset, 1);
    const uint32_t count = LoadU32(view + kCounterOffset);
    // Widen the window in which a second holder would be caught.
    std::this_thread::sleep_for(std::chrono::microseconds(50));
    if (writer) StoreU32(view + kCounterOffset, count + 1);
    StoreU32(view + kInsideOffset, 0);
  }
  CloseBlock(block, false);
  return 0;
}

}  // namespace quillet
