// The first page of a ranked order: the best entries of a prefix's run in the context of the words
// before it, from the ranking data (a word's own likelihood backed off from its likelihood after
// one or two words) and, for the learning order, what the user's typing taught. Reads only the views
// it is given, under the caller's lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/dictionary_view.h"
#include "common/learned_store.h"
#include "common/rank_view.h"

namespace quillet {

struct RankQuery {
  const DictionaryView* dictionary = nullptr;
  const RankView* rank = nullptr;        // made for `dictionary`
  const LearnedView* learned = nullptr;  // null: no learning
  uint32_t older = kNoWord;              // context words as entries (or kSentenceStart); kNoWord: none
  uint32_t last = kNoWord;
  std::u16string lastKey;  // the key of the word before, for learned pairs; empty at a sentence start
  uint32_t first = 0;      // the prefix's run of entries, [first, end)
  uint32_t end = 0;
  std::u16string_view prefix;  // folded; every learned word offered begins with it
  uint16_t minWordLength = 0;  // only keys longer than this are offered
};

struct RankedEntry {
  uint32_t entry = kNone;    // kNone: a learned word the dictionary lacks
  uint32_t learned = kNone;  // its learned record (for a word the dictionary lacks)
  double cost = 0;           // -log10(likelihood) * kCostScale
};

// The up to `count` best, best first (the lower entry on a tie, learned-only words last).
void RankPage(const RankQuery& query, size_t count, std::vector<RankedEntry>* out);

// The entry that stands for a written word in contexts: the first entry with the word's key whose
// commit text (else key), in lowercase, is the word in lowercase; else the first entry with its key;
// kNone when the dictionary lacks the key.
uint32_t WordEntry(const DictionaryView& dictionary, std::u16string_view word);

}  // namespace quillet
