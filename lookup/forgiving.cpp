#include "lookup/forgiving.h"

#include <algorithm>
#include <string>

#include "common/utf16.h"
#include "lookup/mistake_costs.h"
#include "lookup/sound_key.h"

namespace quillet {
namespace {

constexpr uint32_t kInf = 0x3FFFFFFF;  // a few costs added to it stay far below overflow
constexpr size_t kBand = 2 * kMaxForgivenEdits + 1;
constexpr size_t kLayers = kMaxForgivenEdits + 1;
// Sound-alike words: typed words up to this long, this many candidates of one sound key, and keys at
// most this much longer than the typed word.
constexpr size_t kMaxSoundTyped = 48;
constexpr size_t kMaxSoundAlikes = 64;
constexpr size_t kMaxSoundExtra = 16;

size_t Context(const char16_t* before) { return before == nullptr ? kWordStart : CostLetter(*before); }
uint32_t Sub(char16_t meant, char16_t typed) {
  return kMistakeCosts.substitution[CostLetter(meant)][CostLetter(typed)];
}
uint32_t Trans(char16_t first, char16_t second) {
  return kMistakeCosts.transposition[CostLetter(first)][CostLetter(second)];
}
uint32_t Del(const char16_t* meantBefore, char16_t meant) {
  return kMistakeCosts.deletion[Context(meantBefore)][CostLetter(meant)];
}
uint32_t Ins(const char16_t* typedBefore, char16_t typed) {
  return kMistakeCosts.insertion[Context(typedBefore)][CostLetter(typed)];
}

// A key that cannot be read counts as empty, as in TabSource.
TextRef KeyOf(const DictionaryView& view, uint32_t i) {
  TextRef key;
  if (!view.Key(i, &key)) return TextRef{};
  return key;
}

// First index in [first, last) where `holds` stops holding, probing outward from `first` in growing
// steps: a child's run is usually short. On unsorted keys the result is still in range.
template <typename Pred>
uint32_t Gallop(uint32_t first, uint32_t last, Pred holds) {
  if (first >= last || !holds(first)) return first;
  uint32_t known = first;
  uint32_t step = 1;
  while (last - known > step && holds(known + step)) {
    known += step;
    step *= 2;
  }
  uint32_t lo = known + 1, hi = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{known} + step, last));
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (holds(mid)) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

// One row of the edit table: the cells of one key depth i near the diagonal, cell (i, j) at
// [j - i + edits], each as the cheapest way with at most e edits, e = 0 .. edits.
struct Row {
  uint32_t cell[kBand][kLayers];
};

struct Scored {
  uint32_t cost;
  uint32_t entry;
  uint32_t end = 0;    // with runs: the run's end
  uint32_t depth = 0;  // and the length of the prefix its keys share
  bool operator<(const Scored& o) const { return cost != o.cost ? cost < o.cost : entry < o.entry; }
};

class Matcher {
 public:
  Matcher(const DictionaryView& view, const std::u16string& typed, unsigned edits, size_t maxResults,
          uint16_t minWordLength, bool forgivenOnly, bool runs)
      : view_(view),
        t_(typed),
        m_(typed.size()),
        e_(edits),
        w_(2 * edits + 1),
        k_(maxResults),
        min_(minWordLength),
        forgivenOnly_(forgivenOnly),
        runs_(runs) {
    ins_.assign(m_ + 1, 0);
    for (size_t j = 1; j <= m_; ++j) ins_[j] = Ins(j >= 2 ? &t_[j - 2] : nullptr, t_[j - 1]);
    rows_.resize(std::min<size_t>(m_ + e_ + 2, 64));
    path_.resize(rows_.size());
  }

  // The best matches of cost at most `bound`, by a walk from the root that keeps one row per depth on
  // its path; true when there are maxResults of them, so that no greater bound can change them.
  bool Search(uint32_t bound) {
    Start(bound);
    EnterRoot();
    Walk(nullptr);
    return heap_.size() >= k_;
  }

  // As Search, going on from `frontier` when it was kept for the letters before these, and keeping the
  // nodes this walk enters at the next depth there for the letters after. A frontier holds every node
  // that may lead to a match of cost `bound` or less (the walk that kept it pruned with thresholds no
  // lower), and nodes above its depth match nothing (their rows end before the last typed letter): a
  // walk from it finds what a walk from the root finds when its bound is no wider.
  bool SearchFrom(ForgivingFrontier::Round* frontier, uint32_t bound) {
    ForgivingFrontier::Round next;
    next.depth = static_cast<uint32_t>(m_ - e_ - 1);
    Start(bound);
    if (frontier->dictionary == view_.data() && frontier->entries == view_.entryCount() &&
        frontier->depth + 1 == next.depth && frontier->typed.size() + 1 == m_ &&
        t_.compare(0, m_ - 1, frontier->typed) == 0 && bound <= frontier->bound) {
      for (size_t n = 0; n < frontier->nodes.size() / 4; ++n) {
        EnterKept(*frontier, n);
        Walk(&next);
      }
    } else {
      EnterRoot();
      Walk(&next);
    }
    // What the next walk may rely on: the threshold this one ended with, short of ties, which the
    // entry order may have cut.
    const bool full = heap_.size() >= k_;
    *frontier = ForgivingFrontier::Round{};
    if (next.nodes.size() <= 4 * kMaxFrontierNodes && (!full || heap_.front().cost > 0)) {
      next.bound = full ? std::min(bound, heap_.front().cost - 1) : bound;
      next.typed = t_;
      next.dictionary = view_.data();
      next.entries = view_.entryCount();
      *frontier = std::move(next);
    }
    return full;
  }

  // Whether a search for these letters may keep and use a frontier: two edits allowed, and letters
  // enough that the frontier lies below the root.
  bool MayKeepFrontier() const { return e_ == kMaxForgivenEdits && m_ >= e_ + 2 && m_ + 4 < 64; }

  // The cost of the cheapest match found; kInf for none.
  uint32_t Cheapest() const {
    uint32_t v = kInf;
    for (const Scored& s : heap_) v = std::min(v, s.cost);
    return v;
  }

  std::vector<Scored> Take() {
    std::sort_heap(heap_.begin(), heap_.end());
    return std::move(heap_);
  }

 private:
  struct Frame {
    uint32_t pos;      // the next child's first entry
    uint32_t hi;       // the end of this node's entries
    uint32_t best;     // the cheapest of the prefixes so far
    uint32_t below;    // no key below can cost less
    uint32_t letters;  // bit k: a child of letter 'a' + k (bit 26: of any other character) may lead to a match
    uint32_t node;     // the dictionary's index node of this prefix; kNone when it has none
  };

  static constexpr size_t kRowWords = kBand * kLayers;
  // A frontier of more nodes is not kept (about 600 KB).
  static constexpr size_t kMaxFrontierNodes = 4096;

  void Start(uint32_t bound) {
    bound_ = bound;
    heap_.clear();
    stack_.clear();
  }

  void EnterRoot() {
    base_ = 0;
    FirstRow(&rows_[0]);
    Enter(0, 0, view_.entryCount(), kInf, KeyOf(view_, 0).length, view_.hasIndex() ? 0 : kNone);
  }

  // Walks the nodes on the stack and below; with `keep`, the nodes of its depth are kept there too.
  void Walk(ForgivingFrontier::Round* keep) {
    while (!stack_.empty()) {
      Frame& f = stack_.back();
      const size_t d = base_ + stack_.size() - 1;
      if (f.pos >= f.hi || !CanTake(f.below, f.pos)) {
        stack_.pop_back();
        continue;
      }
      const TextRef key = KeyOf(view_, f.pos);
      if (key.length <= d) {  // out of order: damage
        ++f.pos;
        continue;
      }
      const char16_t c = key[d];
      if ((f.letters >> CostLetter(c) & 1) == 0) {
        // Skip the children up to the next letter that may lead somewhere, in one search.
        const char16_t next = NextUseful(f.letters, c);
        if (next == 0) {
          stack_.pop_back();
          continue;
        }
        if (!SkipByIndex(&f, next)) {
          f.pos = Gallop(f.pos, f.hi, [&](uint32_t k) {
            const TextRef other = KeyOf(view_, k);
            return other.length > d && other[d] < next;
          });
        }
        continue;
      }
      const uint32_t lo = f.pos;
      IndexNode child;
      const uint32_t slot = IndexedChild(f, c, &child);
      const uint32_t end = slot != kNone ? child.rangeEnd : Gallop(lo + 1, f.hi, [&](uint32_t k) {
        const TextRef other = KeyOf(view_, k);
        return other.length > d && other[d] == c;
      });
      f.pos = end;
      const uint32_t best = f.best;
      if (rows_.size() <= d + 1) {
        rows_.resize(2 * rows_.size());
        path_.resize(rows_.size());
      }
      path_[d] = c;
      NextRow(d + 1);
      if (keep != nullptr && d + 1 == keep->depth) Keep(keep, lo, end, static_cast<uint32_t>(key.length), slot);
      Enter(d + 1, lo, end, best, key.length, slot);
    }
  }

  // Enters node n of `kept` with its path and rows restored.
  void EnterKept(const ForgivingFrontier::Round& kept, size_t n) {
    const size_t d = kept.depth;
    std::copy_n(kept.paths.begin() + static_cast<std::ptrdiff_t>(n * d), d, path_.begin());
    const uint32_t* rows = kept.rows.data() + n * 2 * kRowWords;
    std::copy_n(rows, kRowWords, &rows_[d - 1].cell[0][0]);
    std::copy_n(rows + kRowWords, kRowWords, &rows_[d].cell[0][0]);
    const uint32_t* node = &kept.nodes[n * 4];
    stack_.clear();
    base_ = d;
    Enter(d, node[0], node[1], kInf, node[2], node[3]);
  }

  // Keeps the node of depth f->depth over entries [lo, hi), its rows made, when one below may still
  // match within the threshold (as Enter decides; above the frontier nothing matches).
  void Keep(ForgivingFrontier::Round* f, uint32_t lo, uint32_t hi, uint32_t firstLength, uint32_t node) const {
    const size_t d = f->depth;
    const uint32_t deeper = std::min(RowMin(d), RowMin(d - 1) + kMistakeCosts.minTransposition);
    if (deeper > Threshold() || f->nodes.size() > 4 * kMaxFrontierNodes) return;
    f->nodes.insert(f->nodes.end(), {lo, hi, firstLength, node});
    f->paths.append(path_, 0, d);
    f->rows.insert(f->rows.end(), &rows_[d - 1].cell[0][0], &rows_[d - 1].cell[0][0] + kRowWords);
    f->rows.insert(f->rows.end(), &rows_[d].cell[0][0], &rows_[d].cell[0][0] + kRowWords);
  }

  // The index node of the child of letter c whose entries begin at f.pos, with its range checked
  // against the frame's; kNone when the child has no node (or the index disagrees: damage).
  uint32_t IndexedChild(const Frame& f, char16_t c, IndexNode* child) const {
    if (f.node == kNone || c < u'a' || c > u'z') return kNone;
    const uint16_t slot = view_.Child(f.node, c - u'a');
    if (slot >= kChildUnindexed || !view_.Node(slot, child)) return kNone;
    const bool fits = child->rangeBegin == f.pos && child->rangeEnd > f.pos && child->rangeEnd <= f.hi;
    return fits ? slot : kNone;
  }

  // Moves f.pos to the first child of a letter from `next` on that may lead somewhere, by the index;
  // false when the index cannot tell (the caller searches).
  bool SkipByIndex(Frame* f, char16_t next) const {
    if (f->node == kNone || next < u'a' || next > u'z') return false;
    for (size_t l = next - u'a'; l < kIndexLetters; ++l) {
      if ((f->letters >> l & 1) == 0) continue;
      const uint16_t slot = view_.Child(f->node, l);
      if (slot == kChildAbsent) continue;
      IndexNode child;
      if (slot == kChildUnindexed || !view_.Node(slot, &child) || child.rangeBegin <= f->pos ||
          child.rangeBegin > f->hi) {
        return false;
      }
      f->pos = child.rangeBegin;
      return true;
    }
    // No letter left: done, or on to the other characters after the letters.
    if ((f->letters & kOtherBit) == 0) {
      f->pos = f->hi;
      return true;
    }
    return false;
  }

  static constexpr uint32_t kEveryLetter = (1u << kCostLetters) - 1;
  static constexpr uint32_t kOtherBit = 1u << kOtherLetter;

  // The first character after c whose children may lead somewhere (c's own class not among them);
  // 0 when none does. Characters below 'a' and above 'z' are the class of other characters.
  static char16_t NextUseful(uint32_t letters, char16_t c) {
    const uint32_t above =
        c < u'a' ? letters & ~kOtherBit : (c <= u'z' ? letters & ~kOtherBit & ~((2u << (c - u'a')) - 1) : 0);
    if (above != 0) {
      uint32_t k = 0;
      while ((above >> k & 1) == 0) ++k;
      return static_cast<char16_t>(u'a' + k);
    }
    return c <= u'z' && (letters & kOtherBit) != 0 ? static_cast<char16_t>(u'z' + 1) : 0;
  }

  // The cheapest cost that can still enter the results.
  uint32_t Threshold() const { return heap_.size() < k_ ? bound_ : std::min(bound_, heap_.front().cost); }

  // The letters whose child of the node at depth d can lead to a match within the threshold: the
  // typed letter after each cell within it (matched), the letters that a cell with an edit left can
  // substitute or leave out, and the letters that swap with a typed neighbour from this row or the
  // one before.
  uint32_t UsefulLetters(size_t d) const {
    const uint32_t limit = Threshold();
    const Row& row = rows_[d];
    const auto typedBit = [&](long j) { return j >= 0 && static_cast<size_t>(j) < m_ ? 1u << CostLetter(t_[j]) : 0; };
    uint32_t letters = 0;
    for (size_t b = 0; b < w_; ++b) {
      const long j = static_cast<long>(d) - static_cast<long>(e_) + static_cast<long>(b);
      if (row.cell[b][e_] <= limit) letters |= typedBit(j);
    }
    if (e_ == 0) return letters;
    const size_t context = Context(d >= 1 ? &path_[d - 1] : nullptr);
    const uint32_t swap = kMistakeCosts.minTransposition;
    for (size_t b = 0; b < w_; ++b) {
      const long j = static_cast<long>(d) - static_cast<long>(e_) + static_cast<long>(b);
      if (d >= 1 && rows_[d - 1].cell[b][e_ - 1] + swap <= limit) letters |= typedBit(j - 1);
      const uint32_t base = row.cell[b][e_ - 1];
      if (base >= limit) continue;
      if (base + swap <= limit) letters |= typedBit(j + 1);
      // Cell (d, j) substitutes the child's letter for typed letter j + 1, or leaves it out.
      const size_t typed = j >= 0 && static_cast<size_t>(j) < m_ ? CostLetter(t_[j]) : kCostLetters;
      for (size_t c = 0; c < kCostLetters; ++c) {
        const bool fits = base + kMistakeCosts.deletion[context][c] <= limit ||
                          (typed < kCostLetters && base + kMistakeCosts.substitution[c][typed] <= limit);
        if (fits) letters |= 1u << c;
      }
    }
    return letters;
  }

  void FirstRow(Row* r) {
    uint32_t sum = 0;
    for (size_t b = 0; b < w_; ++b) {
      const long j = static_cast<long>(b) - static_cast<long>(e_);
      if (j > 0 && static_cast<size_t>(j) <= m_) sum += ins_[j];
      for (size_t e = 0; e <= e_; ++e) {
        r->cell[b][e] = j >= 0 && static_cast<size_t>(j) <= m_ && static_cast<size_t>(j) <= e ? sum : kInf;
      }
    }
  }

  // Row i from rows i-1 and i-2, for the key letter path_[i-1].
  void NextRow(size_t i) {
    const Row& prev = rows_[i - 1];
    Row& out = rows_[i];
    const char16_t c = path_[i - 1];
    const char16_t* before = i >= 2 ? &path_[i - 2] : nullptr;
    const uint32_t del = Del(before, c);
    const bool canSwap = before != nullptr && *before != c;
    const uint32_t swap = canSwap ? Trans(*before, c) : kInf;
    for (size_t b = 0; b < w_; ++b) {
      const long j = static_cast<long>(i) - static_cast<long>(e_) + static_cast<long>(b);
      if (j < 0 || static_cast<size_t>(j) > m_) {
        for (size_t e = 0; e <= e_; ++e) out.cell[b][e] = kInf;
        continue;
      }
      const bool swapped = canSwap && j >= 2 && t_[j - 2] == c && t_[j - 1] == *before;
      for (size_t e = 0; e <= e_; ++e) {
        uint32_t v = kInf;
        if (j >= 1) {
          if (t_[j - 1] == c) {
            v = prev.cell[b][e];
          } else if (e >= 1) {
            v = prev.cell[b][e - 1] + Sub(c, t_[j - 1]);
          }
        }
        if (e >= 1) {
          if (b + 1 < w_) v = std::min(v, prev.cell[b + 1][e - 1] + del);
          if (b >= 1 && j >= 1) v = std::min(v, out.cell[b - 1][e - 1] + ins_[j]);
          if (swapped) v = std::min(v, rows_[i - 2].cell[b][e - 1] + swap);
        }
        out.cell[b][e] = std::min(v, kInf);
      }
    }
  }

  // The cost of the prefix of depth i as a whole match of the typed letters.
  uint32_t PrefixCost(size_t i) const {
    const long b = static_cast<long>(m_) - static_cast<long>(i) + static_cast<long>(e_);
    return b >= 0 && static_cast<size_t>(b) < w_ ? rows_[i].cell[b][e_] : kInf;
  }

  uint32_t RowMin(size_t i) const {
    uint32_t v = kInf;
    for (size_t b = 0; b < w_; ++b) v = std::min(v, rows_[i].cell[b][e_]);
    return v;
  }

  bool CanTake(uint32_t cost, uint32_t entry) const {
    return cost <= bound_ && (heap_.size() < k_ || Scored{cost, entry} < heap_.front());
  }

  // Entries [a, b) at one cost, their keys at least `shortest` long and sharing their first `depth`
  // letters; they come in entry order, so the first refused ends the run. With runs, one result.
  void Emit(uint32_t a, uint32_t b, uint32_t cost, size_t shortest, size_t depth) {
    if (runs_) {
      if (a >= b || !CanTake(cost, a)) return;
      heap_.push_back({cost, a, b, static_cast<uint32_t>(depth)});
      std::push_heap(heap_.begin(), heap_.end());
      if (heap_.size() > k_) {
        std::pop_heap(heap_.begin(), heap_.end());
        heap_.pop_back();
      }
      return;
    }
    const bool check = shortest <= min_;
    for (uint32_t i = a; i < b && CanTake(cost, i); ++i) {
      if (check && KeyOf(view_, i).length <= min_) continue;
      heap_.push_back({cost, i});
      std::push_heap(heap_.begin(), heap_.end());
      if (heap_.size() > k_) {
        std::pop_heap(heap_.begin(), heap_.end());
        heap_.pop_back();
      }
    }
  }

  // The node of depth d over entries [lo, hi), its row made; the key of lo is `firstLength` long, and
  // `node` the dictionary's index node of the prefix (kNone: none).
  void Enter(size_t d, uint32_t lo, uint32_t hi, uint32_t parentBest, size_t firstLength, uint32_t node) {
    if (lo >= hi) return;
    // Every key below the typed letters themselves begins with them.
    if (forgivenOnly_ && d == m_ && path_.compare(0, m_, t_) == 0) return;
    const uint32_t best = std::min(parentBest, PrefixCost(d));
    // A deeper prefix passes through this row, or swaps over it from the row before.
    uint32_t deeper = RowMin(d);
    if (d >= 1) deeper = std::min(deeper, RowMin(d - 1) + kMistakeCosts.minTransposition);
    const bool atBest = CanTake(best, lo);
    if (!atBest && !CanTake(deeper, lo)) return;
    const uint32_t ownEnd =
        firstLength > d ? lo : Gallop(lo + 1, hi, [&](uint32_t k) { return KeyOf(view_, k).length <= d; });
    if (atBest) Emit(lo, ownEnd, best, 0, d);
    if (deeper >= best) {
      if (atBest) Emit(ownEnd, hi, best, d + 1, d);
      return;
    }
    if (ownEnd >= hi || !CanTake(deeper, ownEnd)) return;
    // Where every key below matches at least at `best`, every child is walked.
    const uint32_t letters = CanTake(best, ownEnd) ? kEveryLetter : UsefulLetters(d);
    stack_.push_back({ownEnd, hi, best, deeper, letters, node});
  }

  const DictionaryView& view_;
  const std::u16string& t_;
  const size_t m_;
  const size_t e_;
  const size_t w_;
  const size_t k_;
  const uint16_t min_;
  const bool forgivenOnly_;
  const bool runs_;
  std::vector<uint32_t> ins_;  // the cost of typing t[j-1] where it was not meant
  std::vector<Row> rows_;      // by depth, along the current path
  std::u16string path_;        // the current path's letters
  std::vector<Frame> stack_;
  std::vector<Scored> heap_;  // the best so far, the worst on top
  uint32_t bound_ = 0;
  size_t base_ = 0;  // the depth of the walk's first frame
};

}  // namespace

uint32_t MistakeCost(std::u16string_view key, std::u16string_view typed, bool prefix, unsigned maxEdits) {
  const size_t n = key.size(), m = typed.size();
  const bool unlimited = maxEdits == kUnlimitedEdits || maxEdits >= n + m;
  const size_t layers = unlimited ? 1 : size_t{maxEdits} + 1;
  const size_t width = (m + 1) * layers;
  // Rows i-2, i-1 and i, cell (j, e) at j * layers + e; with unlimited edits one layer counts none.
  std::vector<uint32_t> rows(3 * width, kInf);
  const auto row = [&](size_t i) { return &rows[(i % 3) * width]; };
  const auto fewer = [&](size_t e) { return unlimited ? e : e - 1; };
  uint32_t best = kInf;
  for (size_t i = 0; i <= n; ++i) {
    uint32_t* cur = row(i);
    const uint32_t* prev = i >= 1 ? row(i - 1) : nullptr;
    const uint32_t* prev2 = i >= 2 ? row(i - 2) : nullptr;
    for (size_t j = 0; j <= m; ++j) {
      for (size_t e = 0; e < layers; ++e) {
        uint32_t v = i == 0 && j == 0 ? 0 : kInf;
        const bool edit = unlimited || e >= 1;
        if (i >= 1 && j >= 1) {
          if (key[i - 1] == typed[j - 1]) {
            v = prev[(j - 1) * layers + e];
          } else if (edit) {
            v = prev[(j - 1) * layers + fewer(e)] + Sub(key[i - 1], typed[j - 1]);
          }
        }
        if (edit && i >= 1) {
          v = std::min(v, prev[j * layers + fewer(e)] + Del(i >= 2 ? &key[i - 2] : nullptr, key[i - 1]));
        }
        if (edit && j >= 1) {
          v = std::min(v, cur[(j - 1) * layers + fewer(e)] + Ins(j >= 2 ? &typed[j - 2] : nullptr, typed[j - 1]));
        }
        if (edit && i >= 2 && j >= 2 && key[i - 1] == typed[j - 2] && key[i - 2] == typed[j - 1] &&
            key[i - 1] != key[i - 2]) {
          v = std::min(v, prev2[(j - 2) * layers + fewer(e)] + Trans(key[i - 2], key[i - 1]));
        }
        cur[j * layers + e] = std::min(v, kInf);
      }
    }
    if (prefix || i == n) best = std::min(best, cur[m * layers + layers - 1]);
  }
  return best >= kInf ? kNoMatch : best;
}

std::vector<ForgivingMatch> ForgivingMatches(const DictionaryView& dictionary, const ForgivingQuery& query) {
  std::vector<ForgivingMatch> out;
  if (query.maxResults == 0) return out;
  std::u16string typed(query.typed);
  for (char16_t& c : typed) c = FoldLower(c);
  const size_t m = typed.size();
  const unsigned edits =
      static_cast<unsigned>(std::min<size_t>({query.maxEdits, kMaxForgivenEdits, m > 0 ? m - 1 : 0}));

  Matcher matcher(dictionary, typed, edits, query.maxResults, query.minWordLength, query.forgivenOnly, query.runs);
  uint32_t ceiling = query.maxCost == kUsualCeiling ? kMistakeCosts.ceiling : query.maxCost;
  ceiling = std::min(ceiling, kInf - 1);
  // Searches with a growing cost bound, from exact prefixes through half the ceiling to all of it: most
  // keystrokes find a full page of cheap matches in the first rounds and never walk the wide
  // neighbourhood that expensive edits open; a round that found some narrows the next to the beam
  // above the cheapest. The results do not depend on the rounds.
  uint32_t searched = kInf;
  const uint32_t rounds[] = {0, ceiling / 2, ceiling};
  for (size_t r = 0; r < 3; ++r) {
    uint32_t bound = rounds[r];
    const uint32_t cheapest = searched == kInf ? kInf : matcher.Cheapest();
    if (cheapest < kInf && query.beam != kNoMatch) {
      bound = static_cast<uint32_t>(std::min<uint64_t>(bound, uint64_t{cheapest} + query.beam));
      if (bound <= searched) break;
    }
    searched = bound;
    // The wider rounds, whose walks are mostly above the last letter's reach, go on from where the
    // same rounds for the letters before stopped.
    const bool resumes = r > 0 && query.frontier != nullptr && matcher.MayKeepFrontier();
    if (resumes ? matcher.SearchFrom(&query.frontier->rounds[r - 1], bound) : matcher.Search(bound)) {
      break;
    }
  }
  std::vector<Scored> found = matcher.Take();
  if (query.beam != kNoMatch && !found.empty()) {
    const uint64_t limit = uint64_t{found.front().cost} + query.beam;
    found.erase(std::find_if(found.begin(), found.end(), [&](const Scored& s) { return s.cost > limit; }), found.end());
  }
  for (const Scored& s : found) {
    out.push_back({s.entry, s.cost, s.cost == 0, false, query.runs ? s.end : s.entry + 1, s.depth});
  }

  const SoundIndexView* sounds = query.sounds;
  if (sounds != nullptr && sounds->entryCount() == dictionary.entryCount() && m >= 3 && m <= kMaxSoundTyped) {
    const uint64_t key = SoundKey(typed);
    if (SoundCount(key) >= 2) {
      for (uint32_t entry : SoundAlikes(dictionary, *sounds, key, kMaxSoundAlikes)) {
        TextRef ref;
        if (!dictionary.Key(entry, &ref) || ref.length <= query.minWordLength || ref.length > m + kMaxSoundExtra) {
          continue;
        }
        const std::u16string word = ref.ToString();
        if (query.forgivenOnly && word.compare(0, m, typed) == 0) continue;
        const uint32_t cost =
            std::min(MistakeCost(word, typed, false, kUnlimitedEdits), MistakeCost(word, typed, true, edits));
        auto it = std::find_if(out.begin(), out.end(), [&](const ForgivingMatch& f) { return f.entry == entry; });
        if (it == out.end()) {
          it = out.insert(out.end(), ForgivingMatch{entry, cost, false, false, entry + 1, ref.length});
        }
        it->cost = std::min(it->cost, cost);
        it->exact = it->cost == 0;
        it->soundsLike = true;
      }
      std::sort(out.begin(), out.end(), [](const ForgivingMatch& a, const ForgivingMatch& b) {
        return a.cost != b.cost ? a.cost < b.cost : a.entry < b.entry;
      });
      if (out.size() > query.maxResults) out.resize(query.maxResults);
    }
  }
  return out;
}

std::vector<ForgivingMatch> ForgivingMatches(const DictionaryView& dictionary, std::u16string_view typed,
                                             size_t maxResults, const SoundIndexView* sounds) {
  ForgivingQuery query;
  query.typed = typed;
  query.maxResults = maxResults;
  query.sounds = sounds;
  return ForgivingMatches(dictionary, query);
}

}  // namespace quillet
