// Forgiving matching: the dictionary entries a person probably meant by letters typed with mistakes.
// An entry matches when a prefix of its key is within a few edits of the typed letters (a letter
// replaced, left out, added, or two neighbours swapped), or when its whole key sounds like the typed
// word (lookup/sound_key.h). Each match carries what its mistakes cost: -log10 of their probability
// times kCostScale (lookup/mistake_costs.h), the unit of the ranking data, so that ranking can add it
// to a word's own cost; a key that begins with the typed letters costs 0.
//
// The search walks the sorted keys as a trie without building one: one row of the edit table per
// depth, shared by every key below it, and a run of keys whose row can no longer lead to a match (or
// to one good enough for the results) is skipped by a binary search. It reads the dictionary in place
// and is as safe as DictionaryView on damaged input: wrong or no matches, never a read outside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/dictionary_view.h"
#include "common/sound_index.h"

namespace quillet {

constexpr unsigned kMaxForgivenEdits = 2;
constexpr uint32_t kNoMatch = 0xFFFFFFFF;
constexpr uint32_t kUsualCeiling = 0xFFFFFFFE;

struct ForgivingMatch {
  uint32_t entry = kNone;
  uint32_t cost = 0;        // of the mistakes, in ranking cost units; 0 when exact
  bool exact = false;       // the key begins with the typed letters
  bool soundsLike = false;  // the whole key sounds like the typed word
  // The entries [entry, end) this match stands for: entry + 1, or with ForgivingQuery::runs every key
  // that begins with the first `depth` letters of entry's key (all at this cost).
  uint32_t end = 0;
  uint32_t depth = 0;
};

// What forgiving searches keep for the next letter typed after the same ones (ForgivingQuery::frontier):
// for each of the two wider search rounds, the trie nodes its walk entered at the deepest depth whose
// rows the next letter leaves as they are, with what going on from there needs, and the cost up to
// which they hold every match. Most of a wide walk is above that depth (some 95 % on misspelt words),
// so the next letter's round starts there instead of at the root when it looks no further. Results do
// not depend on it. About 150 bytes per node kept: a few hundred on misspelt English words, and a
// round's frontier of more than 4,096 is not kept. For one dictionary while it stays mapped.
struct ForgivingFrontier {
  struct Round {
    std::u16string typed;  // folded; empty: holds nothing
    const uint8_t* dictionary = nullptr;
    uint32_t entries = 0;
    uint32_t bound = 0;
    uint32_t depth = 0;
    std::vector<uint32_t> nodes;  // per node: first entry, end, the first entry's key length, index node
    std::u16string paths;         // per node its `depth` letters
    std::vector<uint32_t> rows;   // per node the edit-table rows of depth - 1 and depth
  };
  Round rounds[2];
};

struct ForgivingQuery {
  std::u16string_view typed;  // folded here as TabSource folds it
  size_t maxResults = 10;
  // At most this many edits (no more than kMaxForgivenEdits); fewer for short words: one typed letter
  // allows none, two allow one.
  unsigned maxEdits = kMaxForgivenEdits;
  uint16_t minWordLength = 0;  // only keys longer than this, as in TabSource
  // Edits costing more than this are not forgiven. kUsualCeiling: what all but 1% of real
  // misspellings within two edits cost (lookup/mistake_cost_table.cpp); kNoMatch: no limit.
  uint32_t maxCost = kUsualCeiling;
  // Matches dearer than the cheapest one (with runs: run) by more than this are left out (kNoMatch:
  // none are; sound-alike words stay): a mistake that much less likely than another reading of the same
  // letters is hardly what was meant, and not looking for it keeps the search narrow.
  uint32_t beam = kNoMatch;
  // Sound-alike whole words when given: an index made for this dictionary (the caller checks MadeFor
  // once per dictionary; an index for another entry count is ignored).
  const SoundIndexView* sounds = nullptr;
  // Only keys that do not begin with the typed letters: what a page of exact completions lacks.
  bool forgivenOnly = false;
  // A run of keys below a prefix that all cost the same counts as one match (its first entry), for a
  // caller that picks from each run by other means (the likeliest words); keys the minimum length
  // leaves out may be in it.
  bool runs = false;
  // Kept by the caller between the letters of one word (one per sequence of queries on one thread);
  // null: every search starts at the root.
  ForgivingFrontier* frontier = nullptr;
};

// The up to maxResults cheapest matches, cheapest first, the lower entry first on equal costs; sound-alike
// words whatever their edits cost.
// Allocation failure throws std::bad_alloc.
std::vector<ForgivingMatch> ForgivingMatches(const DictionaryView& dictionary, const ForgivingQuery& query);
std::vector<ForgivingMatch> ForgivingMatches(const DictionaryView& dictionary, std::u16string_view typed,
                                             size_t maxResults, const SoundIndexView* sounds = nullptr);

// The cost of the mistakes that turn `key` into `typed` (both as given, unfolded), as the matcher
// counts them: with `prefix`, the cheapest over the key's prefixes; at most `maxEdits` edits, or any
// number when maxEdits is kUnlimitedEdits. kNoMatch when no such way exists. Takes time and memory
// in proportion to both lengths multiplied.
constexpr unsigned kUnlimitedEdits = ~0u;
uint32_t MistakeCost(std::u16string_view key, std::u16string_view typed, bool prefix, unsigned maxEdits);

}  // namespace quillet
