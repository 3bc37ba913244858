#include "lookup/ranking.h"

#include <algorithm>
#include <cmath>
#include <queue>
#include <tuple>

#include "common/utf16.h"

namespace quillet {
namespace {

// How much of the learning order's likelihood comes from what was learned, and how much of that
// from the pairs (the word after the one before it) rather than the words alone.
constexpr double kLearnedShare = 0.4;
constexpr double kPairShare = 0.6;
// Learned words rarer than this add nothing visible and are not looked up.
constexpr double kNegligible = 1e-5;
constexpr uint32_t kMinUsesOutsideDictionary = 2;
// Learned words looked at for a page: the heaviest of the prefix (and as many pairs).
constexpr size_t kLearnedCandidates = 16;

int CompareKey(const TextRef& key, std::u16string_view text) {
  const size_t n = std::min<size_t>(key.length, text.size());
  for (size_t i = 0; i < n; ++i) {
    if (key[i] != text[i]) return key[i] < text[i] ? -1 : 1;
  }
  if (key.length == text.size()) return 0;
  return key.length < text.size() ? -1 : 1;
}

bool Equal(const TextRef& a, std::u16string_view b) {
  if (a.length != b.size()) return false;
  for (size_t i = 0; i < b.size(); ++i) {
    if (SimpleLower(a[i]) != b[i]) return false;
  }
  return true;
}

class Ranker {
 public:
  explicit Ranker(const RankQuery& q) : q_(q), rank_(*q.rank), dict_(*q.dictionary) {
    if (q.last != kNoWord && rank_.FindContext(kNoWord, q.last, &one_)) hasOne_ = true;
    if (q.last != kNoWord && q.older != kNoWord && rank_.FindContext(q.older, q.last, &two_)) hasTwo_ = true;
    twoBackoff_ = hasTwo_ ? two_.backoff : 0;
    oneBackoff_ = hasOne_ ? one_.backoff : 0;
    end_ = std::min(q.end, dict_.entryCount());
  }

  void Run(size_t count, std::vector<RankedEntry>* out) {
    std::vector<RankedEntry> pool;
    if (hasTwo_) Followers(two_, 0, &pool);
    if (hasOne_) Followers(one_, -twoBackoff_, &pool);
    Unigrams(count, &pool);
    std::sort(pool.begin(), pool.end(), [](const RankedEntry& a, const RankedEntry& b) {
      return a.entry != b.entry ? a.entry < b.entry : a.cost < b.cost;
    });
    pool.erase(std::unique(pool.begin(), pool.end(),
                           [](const RankedEntry& a, const RankedEntry& b) { return a.entry == b.entry; }),
               pool.end());
    if (q_.learned != nullptr) BlendLearnedLikelihoods(&pool);
    std::sort(pool.begin(), pool.end(), [](const RankedEntry& a, const RankedEntry& b) {
      if (a.cost != b.cost) return a.cost < b.cost;
      return a.entry != b.entry ? a.entry < b.entry : a.learned < b.learned;
    });
    out->clear();
    for (const RankedEntry& p : pool) {
      if (out->size() == count) break;
      if (p.entry == kNone || Eligible(p.entry)) out->push_back(p);
    }
  }

 private:
  // Long enough, and (in a dictionary out of order, where the run is not all matches) a match.
  bool Eligible(uint32_t e) const {
    TextRef key;
    if (!dict_.Key(e, &key) || key.length <= q_.minWordLength || key.length < q_.prefix.size()) return false;
    for (size_t i = 0; i < q_.prefix.size(); ++i) {
      if (key[i] != q_.prefix[i]) return false;
    }
    return true;
  }

  void Followers(const ContextRecord& c, double offset, std::vector<RankedEntry>* pool) const {
    for (uint32_t k = rank_.LowerFollower(c, q_.first); k < c.followerCount; ++k) {
      const FollowerRecord f = rank_.Follower(c, k);
      if (f.entry >= end_) break;
      // Whether its key is long enough is asked only of the entries that make the page.
      if (f.entry < q_.first) continue;
      pool->push_back({f.entry, kNone, f.cost + offset});
    }
  }

  double UnigramCost(uint32_t e) const { return rank_.UnigramCost(e) - twoBackoff_ - oneBackoff_; }

  // The best entries of the run on their own, by repeatedly splitting it around its best entry.
  void Unigrams(size_t count, std::vector<RankedEntry>* pool) const {
    struct Range {
      uint32_t best, first, end;
    };
    auto worse = [&](const Range& a, const Range& b) {
      const uint16_t ca = rank_.UnigramCost(a.best), cb = rank_.UnigramCost(b.best);
      return ca != cb ? ca > cb : a.best > b.best;
    };
    std::priority_queue<Range, std::vector<Range>, decltype(worse)> ranges(worse);
    auto push = [&](uint32_t first, uint32_t end) {
      const uint32_t best = rank_.BestInRange(first, end);
      if (best != kNone && best >= first && best < end) ranges.push({best, first, end});
    };
    push(q_.first, end_);
    size_t taken = 0;
    // Short keys do not count towards the page; a bound keeps a run of them from costing a scan.
    for (size_t popped = 0; !ranges.empty() && taken < count && popped < 4096; ++popped) {
      const Range r = ranges.top();
      ranges.pop();
      push(r.first, r.best);
      push(r.best + 1, r.end);
      if (!Eligible(r.best)) continue;
      pool->push_back({r.best, kNone, UnigramCost(r.best)});
      ++taken;
    }
  }

  // The cost of an entry from the ranking data alone, the best of the paths the context offers.
  double LmCost(uint32_t e) const {
    double cost = UnigramCost(e);
    for (const auto& [has, c, offset] : {std::tuple{hasOne_, &one_, -double(twoBackoff_)}, {hasTwo_, &two_, 0.0}}) {
      if (!has) continue;
      const FollowerRecord f = rank_.Follower(*c, rank_.LowerFollower(*c, e));
      if (f.entry == e) cost = std::min(cost, f.cost + offset);
    }
    return cost;
  }

  struct Learned {
    uint32_t entry;
    uint32_t record;
    double likelihood;
    std::u16string lower;  // the form, for a word the dictionary lacks
  };

  // The heaviest records of [first, end) that pass `use`, at most kLearnedCandidates of them, with the
  // sum of the weights of all that pass.
  template <typename Use>
  std::vector<std::pair<float, uint32_t>> Heaviest(uint32_t first, uint32_t end, Use use, double* total) const {
    std::vector<std::pair<float, uint32_t>> picks;
    *total = 0;
    for (uint32_t i = first; i < end; ++i) {
      LearnedRecord r;
      if (!q_.learned->Record(i, &r) || !use(r)) continue;
      *total += r.weight;
      picks.push_back({r.weight, i});
    }
    const size_t keep = std::min(picks.size(), kLearnedCandidates);
    std::partial_sort(picks.begin(), picks.begin() + keep, picks.end(), [](const auto& a, const auto& b) {
      return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    picks.resize(keep);
    return picks;
  }

  // Mixes what the user's typing taught into the pool: each learned word's likelihood (after the word
  // before it, and on its own) blended with the ranking data's, and the words the dictionary lacks added.
  void BlendLearnedLikelihoods(std::vector<RankedEntry>* pool) const {
    std::vector<Learned> found;
    AddLearnedPairs(&found);
    AddLearnedWords(&found);
    MixIntoPool(MergeLearned(std::move(found)), pool);
  }

  // A learned record with the likelihood it adds, when it may be offered for this page.
  void AddLearned(uint32_t record, double likelihood, std::vector<Learned>* found) const {
    if (likelihood < kNegligible) return;
    LearnedRecord r;
    if (!q_.learned->Record(record, &r)) return;
    const std::u16string form = r.form.ToString();
    uint32_t e = WordEntry(dict_, form);
    if (e == kNone && r.uses < kMinUsesOutsideDictionary) return;
    if (e != kNone && (e < q_.first || e >= end_)) return;  // a damaged store
    if (e != kNone && !Eligible(e)) return;
    std::u16string lower;
    if (e == kNone) {
      // A word the dictionary lacks, offered once it was written twice and only for its prefix.
      const std::u16string key = WordKey(form);
      if (key.size() <= q_.minWordLength || key.compare(0, q_.prefix.size(), q_.prefix) != 0) return;
      lower = LowerText(form);
    }
    found->push_back({e, record, likelihood, std::move(lower)});
  }

  // Pairs: the words learned after the one before, in proportion among themselves.
  void AddLearnedPairs(std::vector<Learned>* found) const {
    if (q_.lastKey.empty()) return;
    const LearnedView& l = *q_.learned;
    const std::u16string after = q_.lastKey + kPairSeparator;
    uint32_t a, b;
    l.PrefixRange(after + std::u16string(q_.prefix), &a, &b);
    uint32_t all, allEnd;
    l.PrefixRange(after, &all, &allEnd);
    double total = 0;
    // The total is over every word learned after this one, the candidates only those of the prefix.
    Heaviest(
        all, allEnd, [](const LearnedRecord&) { return true; }, &total);
    double ignored;
    for (const auto& [weight, i] : Heaviest(
             a, b, [](const LearnedRecord&) { return true; }, &ignored)) {
      if (total > 0) AddLearned(i, kPairShare * weight / total, found);
    }
  }

  // Single words, in proportion to all words learned; the pairs take their share first.
  void AddLearnedWords(std::vector<Learned>* found) const {
    const LearnedView& l = *q_.learned;
    const double wordTotal = l.wordTotal();
    if (wordTotal <= 0) return;
    const double share = q_.lastKey.empty() ? 1.0 : 1.0 - kPairShare;
    if (q_.prefix.empty()) {
      for (uint32_t k = 0; k < l.rankedCount() && k < kLearnedCandidates; ++k) {
        LearnedRecord r;
        const uint32_t i = l.Ranked(k);
        if (l.Record(i, &r) && !r.pair()) AddLearned(i, share * r.weight / wordTotal, found);
      }
      return;
    }
    uint32_t a, b;
    l.PrefixRange(q_.prefix, &a, &b);
    double ignored;
    for (const auto& [weight, i] : Heaviest(
             a, b, [](const LearnedRecord& r) { return !r.pair(); }, &ignored)) {
      AddLearned(i, share * weight / wordTotal, found);
    }
  }

  // One likelihood per entry (or per spelling of a word the dictionary lacks).
  static std::vector<Learned> MergeLearned(std::vector<Learned> found) {
    std::sort(found.begin(), found.end(), [](const Learned& x, const Learned& y) {
      return x.entry != y.entry ? x.entry < y.entry : x.lower < y.lower;
    });
    std::vector<Learned> merged;
    for (Learned& f : found) {
      if (!merged.empty() && merged.back().entry == f.entry && merged.back().lower == f.lower) {
        merged.back().likelihood += f.likelihood;
      } else {
        merged.push_back(std::move(f));
      }
    }
    return merged;
  }

  // Mixed: the data's likelihood and the learned one.
  void MixIntoPool(const std::vector<Learned>& learned, std::vector<RankedEntry>* pool) const {
    const double keep = -kCostScale * std::log10(1.0 - kLearnedShare);
    for (RankedEntry& p : *pool) p.cost += keep;
    for (const Learned& f : learned) {
      double lm = 0;
      RankedEntry* existing = nullptr;
      if (f.entry != kNone) {
        for (RankedEntry& p : *pool) {
          if (p.entry == f.entry) existing = &p;
        }
        lm = std::pow(10.0, -(existing != nullptr ? existing->cost - keep : LmCost(f.entry)) / kCostScale);
      }
      const double cost = -kCostScale * std::log10((1.0 - kLearnedShare) * lm + kLearnedShare * f.likelihood);
      if (existing != nullptr) {
        existing->cost = cost;
      } else {
        pool->push_back({f.entry, f.entry == kNone ? f.record : kNone, cost});
      }
    }
  }

  const RankQuery& q_;
  const RankView& rank_;
  const DictionaryView& dict_;
  ContextRecord one_{}, two_{};
  bool hasOne_ = false, hasTwo_ = false;
  double oneBackoff_ = 0, twoBackoff_ = 0;
  uint32_t end_ = 0;
};

}  // namespace

void RankPage(const RankQuery& query, size_t count, std::vector<RankedEntry>* out) {
  out->clear();
  if (query.rank == nullptr || query.dictionary == nullptr) return;
  Ranker(query).Run(count, out);
}

uint32_t WordEntry(const DictionaryView& d, std::u16string_view word) {
  const std::u16string key = WordKey(word);
  if (key.empty()) return kNone;
  const std::u16string lower = LowerText(word);
  uint32_t lo = 0, hi = d.entryCount();
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    TextRef k;
    if (!d.Key(mid, &k) || CompareKey(k, key) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  const uint32_t first = lo;
  for (uint32_t i = first; i < d.entryCount(); ++i) {
    TextRef k;
    if (!d.Key(i, &k) || CompareKey(k, key) != 0) break;
    InfoRef info;
    const TextRef text = d.Info(i, &info) && info.commit.length > 0 ? info.commit : k;
    if (Equal(text, lower)) return i;
  }
  TextRef k;
  return first < d.entryCount() && d.Key(first, &k) && CompareKey(k, key) == 0 ? first : kNone;
}

}  // namespace quillet
