#include "tools/tsfhost/lookup_replay.h"

#include <chrono>

#include "tools/tsfhost/timing.h"

namespace quillet::tsfhost {

double LookupReplay::Follow(const std::u16string& text) {
  if (text == text_) return -1;
  // The first letter of a composition starts a new lookup: the source still holds the last word.
  const bool appended = !text_.empty() && text.size() == text_.size() + 1 && text.compare(0, text_.size(), text_) == 0;
  text_ = text;
  if (text.empty()) return -1;
  const auto start = Timing::Clock::now();
  appended ? tabs_.AppendLetter(text.back()) : tabs_.SetPrefix(text);
  return std::chrono::duration<double, std::micro>(Timing::Clock::now() - start).count();
}

std::u16string LookupReplay::Prefix() {
  const TabSource* source = tabs_.ShownSource();
  return source != nullptr ? source->prefix() : std::u16string();
}

}  // namespace quillet::tsfhost
