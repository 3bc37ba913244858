// The one place where exceptions stop. Below the boundaries (each program's main, worker and message
// loops, every COM entry point, window and dialog procedure) code does not catch: an allocation
// failure travels up as std::bad_alloc, with RAII giving back every lock, handle and mapping on the
// way. At the boundary it becomes the documented out-of-memory result (Result::kOutOfMemory, or
// E_OUTOFMEMORY at a COM method) and goes no further.
//
//   return AtBoundary(E_OUTOFMEMORY, [&] { return ActivateEx(...); });
//   const bool done = AtBoundary([&] { RunJob(); });
#pragma once

#include <type_traits>
#include <utility>

namespace quillet {

// Runs `body` and returns its value, or `failure` when anything was thrown out of it.
template <typename R, typename Body>
R AtBoundary(R failure, Body&& body) noexcept {
  static_assert(std::is_nothrow_copy_constructible_v<R>, "the failure value must be handed back without throwing");
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return failure;
  }
}

// For a body without a value: true when it ran to its end, false when something was thrown out of it.
template <typename Body>
bool AtBoundary(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace quillet
