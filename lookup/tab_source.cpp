#include "lookup/tab_source.h"

#include <algorithm>

#include "common/utf16.h"
#include "lookup/mistake_costs.h"
#include "lookup/ranking.h"

namespace quillet {
namespace {

// Corrections weighed for a ranked first page: the runs of the cheapest mistakes, enough that a likely
// word with a costlier mistake is among them.
constexpr size_t kForgivenRuns = 16;

// Measured on correct text (bench/ksr_bench --match forgiving), where every correction shown takes a
// place a completion could have used. A correction pays for the chance that the word was misspelt at
// all: one in ten. And an exact completion, however rare the model finds it here (a word it does not
// know costs kWorstCost), competes with corrections as a word of one in 10^8: the dictionary lists it,
// so people write it. Without both, forgiveness cost up to 1.1 points of savings; with them at most
// 0.1, while real misspellings are found as often.
constexpr double kMisspeltCost = 1 * kCostScale;
constexpr double kRareWordCost = 8 * kCostScale;

enum class Order { kBefore, kMatch, kAfter };

// Where a key stands relative to the prefix: before it, beginning with it, or past every match.
Order Compare(const TextRef& key, std::u16string_view prefix) {
  const size_t n = std::min<size_t>(key.length, prefix.size());
  for (size_t i = 0; i < n; ++i) {
    const char16_t k = key[i];
    if (k != prefix[i]) return k < prefix[i] ? Order::kBefore : Order::kAfter;
  }
  return key.length < prefix.size() ? Order::kBefore : Order::kMatch;
}

// A key that cannot be read counts as empty, like an entry beyond the dictionary.
TextRef KeyOf(const DictionaryView& view, uint32_t i) {
  TextRef key;
  if (!view.Key(i, &key)) return TextRef{};
  return key;
}

// First index in [first, last) where `holds` stops holding. On a sorted run the predicate holds on a
// leading part; on an unsorted one the result is still an index in range.
template <typename Pred>
uint32_t PartitionPoint(uint32_t first, uint32_t last, Pred holds) {
  while (first < last) {
    const uint32_t mid = first + (last - first) / 2;
    if (holds(mid)) {
      first = mid + 1;
    } else {
      last = mid;
    }
  }
  return first;
}

// The same, probing outward from `first` in growing steps before falling back to halving: the answer
// usually lies close to it (the first match of the previous prefix), and a far one costs only a few
// probes more than a plain binary search.
template <typename Pred>
uint32_t Gallop(uint32_t first, uint32_t last, Pred holds) {
  if (first >= last || !holds(first)) return first;
  uint32_t known = first;  // holds(known)
  for (uint32_t step = 1; step <= 64 && last - known > step; step *= 2) {
    if (!holds(known + step)) return PartitionPoint(known + 1, known + step, holds);
    known += step;
  }
  return PartitionPoint(known + 1, last, holds);
}

// Holds the block's read lock for one operation.
class Hold {
 public:
  explicit Hold(DictionaryAccess* access) : access_(access) {
    held_ = access_ != nullptr && access_->Acquire(&view_);
    if (held_ && view_ == nullptr) view_ = &empty_;
  }
  ~Hold() {
    if (held_) access_->Release();
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
  bool held() const { return held_; }
  const DictionaryView& view() const { return *view_; }

 private:
  DictionaryAccess* access_;
  const DictionaryView* view_ = nullptr;
  DictionaryView empty_;
  bool held_ = false;
};

}  // namespace

TabSource::TabSource(std::unique_ptr<DictionaryAccess> access, uint16_t minWordLength)
    : access_(std::move(access)), minWordLength_(minWordLength) {
  Hold hold(access_.get());
  if (hold.held()) Restart(hold.view());
}

void TabSource::Restart(const DictionaryView& view) {
  cursor_ = view.hasIndex() ? 0 : kNone;
  matchBegin_ = 0;
  matchEnd_ = view.entryCount();
  pageOffset_ = 0;
  candidates_.clear();
  nextEntry_ = kNone;
  skip_.clear();
  ranked_ = false;
}

bool TabSource::Descend(const DictionaryView& view, char16_t c) {
  if (cursor_ == kNone) return false;
  IndexNode node;
  if (!view.Node(cursor_, &node)) {
    cursor_ = kNone;
    return false;
  }
  cursor_ = kNone;
  if (c < u'a') {
    matchBegin_ = node.rangeBegin;
    matchEnd_ = node.lettersBegin == kNone ? node.rangeEnd : node.lettersBegin;
    return false;
  }
  if (c > u'z') {
    matchBegin_ = node.lettersEnd == kNone ? node.rangeBegin : node.lettersEnd;
    matchEnd_ = node.rangeEnd;
    return false;
  }
  const uint16_t slot = node.children[c - u'a'];
  if (slot == kChildUnindexed) return false;
  IndexNode child;
  if (slot == kChildAbsent || !view.Node(slot, &child)) {
    // A slot naming a node that does not exist is damage; it matches nothing rather than guessing.
    matchBegin_ = matchEnd_ = kNone;
    return false;
  }
  matchBegin_ = child.rangeBegin;
  matchEnd_ = child.rangeEnd;
  cursor_ = slot;
  return true;
}

// In key order the entries of [from, to) fall into three runs: keys before the prefix, keys that
// begin with it, keys past it. A search finds the start of the middle run, so a keystroke never walks
// an unindexed letter group; from there the walk is the plain one. Short keys are skipped without
// ending the walk, so after the first one it is bounded by the end of the middle run, found by a
// second search: otherwise a tab with a high minimum length could walk the rest of the dictionary.
uint32_t TabSource::Scan(const DictionaryView& view, uint32_t from, uint32_t to, bool near) {
  if (from == kNone || from >= to) return kNone;
  // Entries beyond the dictionary read as empty keys, which never match and never stop a scan.
  to = std::min(to, view.entryCount());
  const std::u16string_view prefix = prefix_;
  uint32_t end = to;
  bool endFound = false;
  uint32_t first = kNone;
  size_t made = 0;
  const auto before = [&](uint32_t k) { return Compare(KeyOf(view, k), prefix) == Order::kBefore; };
  for (uint32_t i = near ? Gallop(from, to, before) : PartitionPoint(from, to, before); i < end; ++i) {
    const TextRef key = KeyOf(view, i);
    if (key.length <= minWordLength_) {
      if (!endFound) {
        end = Gallop(i, to, [&](uint32_t k) { return Compare(KeyOf(view, k), prefix) != Order::kAfter; });
        endFound = true;
      }
      continue;
    }
    const Order order = Compare(key, prefix);
    if (order == Order::kBefore) continue;
    if (order == Order::kAfter) break;
    if (!skip_.empty() && std::find(skip_.begin(), skip_.end(), i) != skip_.end()) continue;
    AddCandidate(view, i, key);
    if (first == kNone) first = i;
    if (++made == kPageSize) break;
  }
  return first;
}

Candidate TabSource::MakeCandidate(const DictionaryView& view, uint32_t i, const TextRef& key) const {
  Candidate c;
  c.word = key.ToString();
  InfoRef info;
  if (view.Info(i, &info)) {
    c.display = info.display.ToString();
    c.commit = info.commit.ToString();
    c.description = info.description.ToString();
  }
  return c;
}

// Made whole before it is appended: an allocation failure leaves the page as it was.
void TabSource::AddCandidate(const DictionaryView& view, uint32_t i, const TextRef& key) {
  candidates_.push_back(MakeCandidate(view, i, key));
  nextEntry_ = i + 1;
}

const RankView* TabSource::UsableRank(const DictionaryView& view, const RankingData& data) {
  if (order_ == CandidateOrder::kDictionary || data.rank == nullptr) return nullptr;
  // The fingerprint is checked once for each pair of places the data and the dictionary lie in.
  if (data.rank->data() != checkedRank_ || view.data() != checkedDictionary_ || view.entryCount() != checkedEntries_) {
    checkedRank_ = data.rank->data();
    checkedDictionary_ = view.data();
    checkedEntries_ = view.entryCount();
    rankCurrent_ = data.rank->MadeFor(view);
  }
  return rankCurrent_ ? data.rank : nullptr;
}

namespace {

uint32_t ContextWord(const DictionaryView& view, const std::u16string& word, bool start) {
  return start ? kSentenceStart : WordEntry(view, word);
}

}  // namespace

void TabSource::RankFirstPage(const DictionaryView& view, const RankView& rank, const LearnedView* learned, bool near,
                              const SoundIndexView* sounds) {
  const uint32_t to = std::min(matchEnd_, view.entryCount());
  const std::u16string_view prefix = prefix_;
  const auto before = [&](uint32_t k) { return Compare(KeyOf(view, k), prefix) == Order::kBefore; };
  const auto notAfter = [&](uint32_t k) { return Compare(KeyOf(view, k), prefix) != Order::kAfter; };
  RankQuery q;
  q.dictionary = &view;
  q.rank = &rank;
  q.learned = learned;
  const bool exact = matchBegin_ != kNone;
  if (exact) {
    q.first =
        matchBegin_ >= to ? to : (near ? Gallop(matchBegin_, to, before) : PartitionPoint(matchBegin_, to, before));
    q.end = Gallop(q.first, to, notAfter);
  }
  q.prefix = prefix;
  q.minWordLength = minWordLength_;
  if (context_.count() >= 1) {
    q.last = ContextWord(view, context_.last(), context_.lastIsStart());
    if (!context_.lastIsStart()) q.lastKey = WordKey(context_.last());
    if (context_.count() >= 2 && q.last != kNoWord) {
      q.older = ContextWord(view, context_.older(), context_.olderIsStart());
    }
  }
  std::vector<RankedEntry> ranked;
  if (exact) RankPage(q, kPageSize, &ranked);
  const size_t exactCount = ranked.size();
  // Forgiven words follow the exact ones, each marked.
  std::vector<bool> isForgiven(exactCount, false);
  if (Forgives()) {
    for (RankedEntry& r : ranked) r.cost = std::min(r.cost, kRareWordCost);
    AddForgiven(view, q, sounds, &ranked);
    isForgiven.resize(ranked.size(), true);
    std::vector<size_t> order(ranked.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    // Stable: an exact match goes first on an equal cost.
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return ranked[a].cost < ranked[b].cost; });
    std::vector<RankedEntry> sorted;
    std::vector<bool> sortedForgiven;
    for (size_t k : order) {
      sorted.push_back(ranked[k]);
      sortedForgiven.push_back(isForgiven[k]);
    }
    ranked.swap(sorted);
    isForgiven.swap(sortedForgiven);
  }
  std::vector<Candidate> page;
  std::vector<uint32_t> skip;
  for (size_t k = 0; k < ranked.size() && page.size() < kPageSize; ++k) {
    const RankedEntry& r = ranked[k];
    TextRef key;
    if (r.entry != kNone) {
      if (!view.Key(r.entry, &key)) continue;
      page.push_back(MakeCandidate(view, r.entry, key));
      page.back().forgiven = isForgiven[k];
      // Forgiven words are not in the run: only exact ones would come again on later pages.
      if (!isForgiven[k]) skip.push_back(r.entry);
      continue;
    }
    LearnedRecord record;
    if (learned == nullptr || !learned->Record(r.learned, &record)) continue;
    Candidate c;
    c.word = WordKey(record.form.ToString());
    if (record.form.ToString() != c.word) c.display = c.commit = record.form.ToString();
    page.push_back(std::move(c));
  }
  candidates_.swap(page);
  skip_.swap(skip);
  pageOffset_ = 0;
  ranked_ = true;
  // The pages after the first walk the run in dictionary order.
  nextEntry_ = exact ? q.first : kNone;
  if (Forgives()) {
    // Whether anything exact is left to narrow, as without forgiveness.
    matchBegin_ = exactCount == 0 ? kNone : q.first;
  } else {
    matchBegin_ = candidates_.empty() ? kNone : q.first;
  }
}

// A correction ranks by how likely its word is here and how likely the mistake: an exact match of a
// likely word keeps its place before an unlikely correction. The matcher gives the cheapest mistakes
// as runs of keys below a corrected prefix, and each run offers its likeliest words, as a page of
// that prefix would.
void TabSource::AddForgiven(const DictionaryView& view, const RankQuery& context, const SoundIndexView* sounds,
                            std::vector<RankedEntry>* ranked) const {
  const size_t exact = ranked->size();
  ForgivingQuery query = CorrectionsQuery(kForgivenRuns, exact > 0, sounds);
  query.runs = true;
  std::vector<ForgivingMatch> matches = ForgivingMatches(view, query);
  // The person made these mistakes before: they pay nothing for them.
  const size_t unlearned = matches.size();
  if (context.learned != nullptr) LearnedMistakes(view, *context.learned, &matches);
  std::vector<RankedEntry> best;
  for (size_t i = 0; i < matches.size(); ++i) {
    const ForgivingMatch& m = matches[i];
    const double mistake = m.cost + (i < unlearned ? kMisspeltCost : 0);
    TextRef key;
    if (!view.Key(m.entry, &key) || m.depth > key.length) continue;
    const std::u16string corrected = key.ToString().substr(0, m.depth);
    RankQuery q = context;
    q.first = m.entry;
    q.end = m.end;
    q.prefix = corrected;
    RankPage(q, kPageSize, &best);
    for (const RankedEntry& r : best) {
      // Learned words the dictionary lacks are offered for what was typed only.
      if (r.entry == kNone) continue;
      const auto same = std::find_if(ranked->begin() + exact, ranked->end(),
                                     [&](const RankedEntry& o) { return o.entry == r.entry; });
      if (same == ranked->end()) {
        ranked->push_back({r.entry, kNone, r.cost + mistake});
      } else {
        same->cost = std::min(same->cost, r.cost + mistake);
      }
    }
  }
}

// The words the person picked before as corrections of exactly these letters: their mistakes cost
// nothing now.
void TabSource::LearnedMistakes(const DictionaryView& view, const LearnedView& learned,
                                std::vector<ForgivingMatch>* matches) const {
  uint32_t first = 0, end = 0;
  learned.PrefixRange(MistakeKey(prefix_), &first, &end);
  for (uint32_t i = first; i < end && i - first < kForgivenRuns; ++i) {
    LearnedRecord record;
    if (!learned.Record(i, &record)) continue;
    const uint32_t entry = WordEntry(view, record.form.ToString());
    TextRef key;
    if (entry == kNone || !view.Key(entry, &key) || key.length <= minWordLength_) continue;
    // A word that now begins with the letters is offered as an exact match.
    if (Compare(key, prefix_) == Order::kMatch) continue;
    matches->push_back({entry, 0, false, false, entry + 1, key.length});
  }
}

const SoundIndexView* TabSource::UsableSounds(const DictionaryView& view, const RankingData& data) {
  if (data.sounds == nullptr) return nullptr;
  if (data.sounds->data() != checkedSounds_ || view.data() != checkedSoundsDictionary_) {
    checkedSounds_ = data.sounds->data();
    checkedSoundsDictionary_ = view.data();
    soundsCurrent_ = data.sounds->MadeFor(view);
  }
  return soundsCurrent_ ? data.sounds : nullptr;
}

ForgivingQuery TabSource::CorrectionsQuery(size_t count, bool besideExact, const SoundIndexView* sounds) const {
  ForgivingQuery query;
  query.typed = prefix_;
  query.maxResults = count;
  query.minWordLength = minWordLength_;
  query.sounds = sounds;
  query.forgivenOnly = true;
  query.frontier = &frontier_;
  // Letters that begin dictionary words are most likely right so far: beside those words only the
  // likelier mistakes are worth a place, and the search then stays in their narrow neighbourhood
  // (a tenth of the walk on long words).
  const uint32_t half = kMistakeCosts.ceiling / 2;
  if (besideExact) query.maxCost = half;
  // In dictionary order nothing but the mistake ranks a correction, and one some 300 times less likely
  // than another reading of the letters is hardly meant (ranked orders weigh the word too).
  if (order_ == CandidateOrder::kDictionary) query.beam = half;
  return query;
}

void TabSource::FirstPage(const DictionaryView& view, bool near) {
  const RankingData data = access_->Ranking();
  const RankView* rank = UsableRank(view, data);
  const SoundIndexView* sounds = Forgives() ? UsableSounds(view, data) : nullptr;
  if (rank != nullptr) {
    RankFirstPage(view, *rank, order_ == CandidateOrder::kLearning ? data.learned : nullptr, near, sounds);
    return;
  }
  if (matchBegin_ != kNone) matchBegin_ = Scan(view, matchBegin_, matchEnd_, near);
  if (!Forgives() || candidates_.size() >= kPageSize) return;
  // The exact matches all fit on the first page: the corrections fill it, and there is no page after.
  nextEntry_ = kNone;
  for (const ForgivingMatch& m :
       ForgivingMatches(view, CorrectionsQuery(kPageSize - candidates_.size(), !candidates_.empty(), sounds))) {
    TextRef key;
    if (!view.Key(m.entry, &key)) continue;
    Candidate c = MakeCandidate(view, m.entry, key);
    c.forgiven = true;
    candidates_.push_back(std::move(c));
  }
}

size_t TabSource::SetPrefix(std::u16string_view text) {
  std::u16string prefix(text);
  for (char16_t& c : prefix) c = FoldLower(c);
  Hold hold(access_.get());
  if (!hold.held()) return PageCount();
  const DictionaryView& view = hold.view();
  Restart(view);
  prefix_.swap(prefix);
  for (char16_t c : prefix_) {
    if (!Descend(view, c)) break;
  }
  // Below a node every key begins with the prefix, so the first match is at the run's start; a run
  // the index could not narrow has it anywhere.
  if (matchBegin_ == kNone && !Forgives()) return PageCount();
  FirstPage(view, cursor_ != kNone);
  return PageCount();
}

size_t TabSource::NextWords() {
  Hold hold(access_.get());
  if (!hold.held()) return PageCount();
  const DictionaryView& view = hold.view();
  Restart(view);
  prefix_.clear();
  const RankingData data = access_->Ranking();
  const RankView* rank = UsableRank(view, data);
  if (rank == nullptr) {
    // No order to offer: nothing is shown, and typing goes on from an empty prefix.
    return 0;
  }
  RankFirstPage(view, *rank, order_ == CandidateOrder::kLearning ? data.learned : nullptr, false, nullptr);
  return PageCount();
}

size_t TabSource::AppendLetter(char16_t c) {
  if (matchBegin_ == kNone && !forgiving_) return 0;
  Hold hold(access_.get());
  if (!hold.held()) return PageCount();
  const DictionaryView& view = hold.view();
  c = FoldLower(c);
  prefix_.push_back(c);
  pageOffset_ = 0;
  candidates_.clear();
  nextEntry_ = kNone;
  skip_.clear();
  ranked_ = false;
  if (matchBegin_ != kNone) {
    Descend(view, c);
  } else {
    cursor_ = kNone;  // nothing exact any more: only forgiven words
  }
  // The new first match is usually close to the previous one.
  if (matchBegin_ == kNone && !Forgives()) return PageCount();
  FirstPage(view, true);
  return PageCount();
}

size_t TabSource::NextPage() {
  const size_t remaining = candidates_.size() - pageOffset_;
  if (remaining < kPageSize) return 0;
  if (remaining > kPageSize) {
    pageOffset_ += kPageSize;
    return PageCount();
  }
  if (nextEntry_ == kNone) return 0;
  Hold hold(access_.get());
  if (!hold.held()) return 0;
  const size_t before = candidates_.size();
  Scan(hold.view(), nextEntry_, matchEnd_, true);
  const size_t count = candidates_.size() - before;
  if (count > 0) pageOffset_ += kPageSize;
  return count;
}

size_t TabSource::PreviousPage() {
  if (pageOffset_ == 0) return 0;
  pageOffset_ -= kPageSize;
  return kPageSize;
}

size_t TabSource::PageCount() const { return std::min(candidates_.size() - pageOffset_, kPageSize); }

const Candidate* TabSource::CandidateAt(size_t i) const {
  if (i >= PageCount()) return nullptr;
  return &candidates_[pageOffset_ + i];
}

std::u16string TabSource::CandidateWord(size_t i) const {
  const Candidate* c = CandidateAt(i);
  return c ? c->word : std::u16string();
}

std::u16string TabSource::CandidateDisplay(size_t i) const {
  const Candidate* c = CandidateAt(i);
  return c ? c->display : std::u16string();
}

std::u16string TabSource::CandidateCommit(size_t i) const {
  const Candidate* c = CandidateAt(i);
  return c ? c->commit : std::u16string();
}

std::u16string TabSource::CandidateDescription(size_t i) const {
  const Candidate* c = CandidateAt(i);
  return c ? c->description : std::u16string();
}

}  // namespace quillet
