// The one rule for every window, dialog and page procedure of ours: nothing thrown inside crosses it.
// An exception (allocation failure included) ends the handling of that one message as unhandled.
#pragma once

namespace quillet::winui {

template <class Result, class F>
Result CatchAll(Result fallback, F&& f) noexcept {
  try {
    return f();
  } catch (...) {
    return fallback;
  }
}

}  // namespace quillet::winui
