// Prefix lookup in one dictionary of the loader's publication: the typed prefix narrows a run of
// entries through the 26-way index, the run is searched for keys that begin with the prefix, and the
// matches are handed out in pages of ten. Every read of the dictionary happens between its access's
// Acquire and Release; the texts handed out are copies, valid after the dictionary is gone.
// Allocation failure throws std::bad_alloc out of an operation, with the access released and the
// source still usable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/dictionary_view.h"
#include "common/learned_store.h"
#include "common/options_record.h"
#include "common/rank_view.h"
#include "common/sound_index.h"
#include "lookup/forgiving.h"
#include "lookup/ranking.h"
#include "lookup/word_history.h"

namespace quillet {

struct Candidate {
  std::u16string word;
  std::u16string display;      // empty when the entry has no info
  std::u16string commit;       // empty when the entry has no info
  std::u16string description;  // empty when the entry has no info
  bool forgiven = false;       // offered although its spelling differs a little from what was typed
};

// What ranks a dictionary, and what finds the words it sounds like, published beside it.
struct RankingData {
  const RankView* rank = nullptr;          // null: none
  const LearnedView* learned = nullptr;    // null: nothing learned
  const SoundIndexView* sounds = nullptr;  // null: none (forgiving tabs then match by spelling only)
};

// How a source reaches its dictionary (and the data that ranks it) for the span of one operation.
class DictionaryAccess {
 public:
  virtual ~DictionaryAccess() = default;
  // False when the dictionary cannot be read now: nothing is held. On success *view is the
  // dictionary to read until Release (an empty one when it does not exist).
  virtual bool Acquire(const DictionaryView** view) = 0;
  virtual void Release() = 0;
  // The ranking data of the acquired dictionary, to read until Release; none by default.
  virtual RankingData Ranking() { return {}; }
};

class TabSource {
 public:
  static constexpr size_t kPageSize = 10;

  // Cursor on the root node when the dictionary has an index, the run covering every entry. When the
  // lock fails the source is dead: it matches nothing until a SetPrefix succeeds.
  TabSource(std::unique_ptr<DictionaryAccess> access, uint16_t minWordLength);

  // Replaces the prefix (folded to lowercase) and searches from scratch. Returns the first page's
  // count (0 to 10). A failed lock changes nothing and returns the current page's count.
  size_t SetPrefix(std::u16string_view text);
  // Extends the prefix by one character and narrows the search. Returns the first page's count. Once
  // the prefix matches nothing, an exact source returns 0 and ignores further letters until SetPrefix;
  // a forgiving one goes on offering forgiven words.
  size_t AppendLetter(char16_t c);
  // Moves to the next page, fetching it when it was not fetched yet. Returns its count, or 0 when
  // there is no further page (the page stays).
  size_t NextPage();
  // 10 when it moved back one page, 0 on the first page. Never reads the dictionary.
  size_t PreviousPage();
  size_t PageCount() const;

  // Texts of candidate i of the current page (0 to 9); empty when there is none.
  std::u16string CandidateWord(size_t i) const;
  std::u16string CandidateDisplay(size_t i) const;
  std::u16string CandidateCommit(size_t i) const;
  std::u16string CandidateDescription(size_t i) const;
  const Candidate* CandidateAt(size_t i) const;  // nullptr when there is none

  // The order of the next searches. In a ranked order the first page holds the ten likeliest entries
  // of the prefix's run in the context (dictionary order when the ranking data is missing or was
  // made for another dictionary); the pages after it hold the rest of the run in dictionary order.
  void SetOrder(CandidateOrder order) { order_ = order; }
  CandidateOrder order() const { return order_; }
  // Whether the next searches forgive spelling mistakes. From the second letter, the first page then
  // mixes words that fix a mistake in the prefix (Candidate::forgiven) with the exact matches: in a
  // ranked order by their cost in the context plus what the mistake costs, so that a likely exact
  // match stays before an unlikely correction; in dictionary order after the exact matches, the
  // likeliest mistakes first. The pages after it hold the exact matches only, as without. In the
  // learning order a word picked before as the correction of exactly the letters typed (the learned
  // store's misspellings) is offered as if they were no mistake.
  void SetForgiving(bool forgiving) { forgiving_ = forgiving; }
  bool forgiving() const { return forgiving_; }
  // The words before the one typed, for the next searches.
  void SetContext(const WordHistory& history) { context_ = history; }
  const WordHistory& context() const { return context_; }
  // The likeliest words to follow the context, without a prefix, as the first page (pages after it
  // as after SetPrefix of nothing). None in dictionary order or without ranking data: returns 0.
  // Letters appended afterwards narrow the list as typing does.
  size_t NextWords();
  // Whether the current first page was ranked.
  bool ranked() const { return ranked_; }

  // Search state, for diagnosis and tests.
  const std::u16string& prefix() const { return prefix_; }
  uint16_t minWordLength() const { return minWordLength_; }
  uint32_t matchBegin() const { return matchBegin_; }
  uint32_t matchEnd() const { return matchEnd_; }
  uint32_t cursor() const { return cursor_; }  // node index, kNone when the walk left the index
  size_t pageOffset() const { return pageOffset_; }
  size_t candidateCount() const { return candidates_.size(); }

 private:
  void Restart(const DictionaryView& view);
  bool Descend(const DictionaryView& view, char16_t c);
  // `near`: the first match is expected close to `from`.
  uint32_t Scan(const DictionaryView& view, uint32_t from, uint32_t to, bool near);
  void AddCandidate(const DictionaryView& view, uint32_t i, const TextRef& key);
  Candidate MakeCandidate(const DictionaryView& view, uint32_t i, const TextRef& key) const;
  // The rank data when this source's order uses it and it was made for the dictionary; else null.
  const RankView* UsableRank(const DictionaryView& view, const RankingData& data);
  // The first page once the prefix is set: ranked, or the run scanned, and the forgiven words mixed in.
  void FirstPage(const DictionaryView& view, bool near);
  // The ranked first page of the run from matchBegin_ (nothing exact when it is kNone), with the
  // forgiven words when the source forgives (sound-alike ones too with `sounds`).
  void RankFirstPage(const DictionaryView& view, const RankView& rank, const LearnedView* learned, bool near,
                     const SoundIndexView* sounds);
  bool Forgives() const { return forgiving_ && prefix_.size() >= 2; }
  // The sound index when it was made for the dictionary; else null (checked once per pair, like UsableRank).
  const SoundIndexView* UsableSounds(const DictionaryView& view, const RankingData& data);
  // Adds to `ranked` the likeliest forgiven words in the context of `context`, each at its cost there
  // plus the mistake's.
  void AddForgiven(const DictionaryView& view, const RankQuery& context, const SoundIndexView* sounds,
                   std::vector<RankedEntry>* ranked) const;
  // Adds to `matches` the words picked before as corrections of the prefix.
  void LearnedMistakes(const DictionaryView& view, const LearnedView& learned,
                       std::vector<ForgivingMatch>* matches) const;
  // The query for up to `count` corrections of the prefix; `besideExact`: dictionary words begin
  // with it.
  ForgivingQuery CorrectionsQuery(size_t count, bool besideExact, const SoundIndexView* sounds) const;

  std::unique_ptr<DictionaryAccess> access_;
  uint16_t minWordLength_;
  std::u16string prefix_;
  uint32_t cursor_ = kNone;
  uint32_t matchBegin_ = kNone;
  uint32_t matchEnd_ = kNone;
  std::vector<Candidate> candidates_;
  uint32_t nextEntry_ = kNone;  // where the scan for the next page starts; kNone: nothing fetched
  size_t pageOffset_ = 0;
  CandidateOrder order_ = CandidateOrder::kDictionary;
  WordHistory context_;
  bool ranked_ = false;
  std::vector<uint32_t> skip_;  // entries on a ranked first page, left out of the pages after it
  // Where the last wide forgiving search of these letters stopped, for the next letter's.
  mutable ForgivingFrontier frontier_;
  // The last rank data checked against the dictionary, by where both lie.
  const uint8_t* checkedRank_ = nullptr;
  const uint8_t* checkedDictionary_ = nullptr;
  uint32_t checkedEntries_ = 0;
  bool rankCurrent_ = false;
  bool forgiving_ = false;
  const uint8_t* checkedSounds_ = nullptr;
  const uint8_t* checkedSoundsDictionary_ = nullptr;
  bool soundsCurrent_ = false;
};

// A source over dictionary `position` of a publication's directory; a position beyond the directory
// gives a source without candidates. The directory and `ranking`, when given (the data that ranks that
// dictionary), must outlive the source. nullptr when out of memory.
std::unique_ptr<TabSource> CreateTabSource(const std::vector<DictionaryView>& directory, size_t position,
                                           uint16_t minWordLength, const RankingData* ranking = nullptr);

}  // namespace quillet
