// Where the lock tests and their helper program keep their marks inside the settings block.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillet {

inline constexpr size_t kMarkOffset = 200;        // set by the one-shot writer
inline constexpr size_t kInsideOffset = 300;      // 1 while a party holds the lock
inline constexpr size_t kCounterOffset = 304;     // incremented by each writer pass
inline constexpr size_t kViolationsOffset = 308;  // counts entries while another party was inside

inline constexpr std::u16string_view kOpenedEventName = u"Local\\@@TESTOPENED@@";
inline constexpr std::u16string_view kGoEventName = u"Local\\@@TESTGO@@";

}  // namespace quillet
