// For --timing: the lookups the text service made for each key, made again on the same blocks
// (through a tab set of our own), so that their share of the text service's time can be told.
#pragma once

#include <string>

#include "lookup/published_data.h"
#include "lookup/tab_source_set.h"

namespace quillet::tsfhost {

class LookupReplay {
 public:
  // Over what `published` holds (opened by the caller), which outlives the replay.
  explicit LookupReplay(const PublishedData& published) : tabs_(published) { tabs_.Rebuild(); }

  // Microseconds of the lookup that brings the set from the last text to `text` (the composition's, empty
  // without one): a letter added to a text is appended, any other text is looked up afresh; -1 when
  // `text` is empty or unchanged.
  double Follow(const std::u16string& text);

  // The prefix the shown tab's source stands at; empty without a source.
  std::u16string Prefix();

 private:
  TabSourceSet tabs_;
  std::u16string text_;
};

}  // namespace quillet::tsfhost
