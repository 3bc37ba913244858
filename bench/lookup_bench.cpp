// Keystroke and full-lookup latency of the prefix lookup, against std::lower_bound over a sorted
// vector of the same keys collecting the same ten candidates. Prints figures; asserts nothing.
//
//   lookup_bench [english.dict]
//
// (a) the English dictionary (the given file, else <bin>/english.dict, else one built from
//     /usr/share/dict/american-english), (b) a generated 5,000,000-entry dictionary whose node table
//     is full before the later letters are indexed. Then the ranked orders: a keystroke with the
//     words before it set, and the next-word page, over (a) with the ranking data beside it and (b)
//     with generated ranking data; the learning order with a store of a few thousand words.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/dict_format.h"
#include "common/dict_image_testing.h"
#include "common/dictionary_view.h"
#include "common/learned_store.h"
#include "common/rank_view.h"
#include "common/settings_record.h"
#include "common/utf16.h"
#include "lookup/private_block.h"
#include "lookup/tab_source.h"
#include "lookup/tab_source_set.h"

namespace quillet {
namespace {

using Clock = std::chrono::steady_clock;

// Direct reads of one image: the bench measures the search, not a lock nobody contends.
class ImageAccess final : public DictionaryAccess {
 public:
  explicit ImageAccess(const DictionaryView& view, const RankingData* ranking = nullptr)
      : view_(view), ranking_(ranking) {}
  bool Acquire(const DictionaryView** view) override {
    *view = &view_;
    return true;
  }
  void Release() override {}
  RankingData Ranking() override { return ranking_ != nullptr ? *ranking_ : RankingData{}; }

 private:
  const DictionaryView& view_;
  const RankingData* ranking_;
};

struct Stats {
  double median = 0, p99 = 0, max = 0;
};

Stats Summarise(std::vector<double>& ns) {
  Stats s;
  if (ns.empty()) return s;
  std::sort(ns.begin(), ns.end());
  s.median = ns[ns.size() / 2] / 1000.0;
  s.p99 = ns[std::min(ns.size() - 1, ns.size() * 99 / 100)] / 1000.0;
  s.max = ns.back() / 1000.0;
  return s;
}

volatile size_t gSink = 0;

size_t ReadPage(const TabSource& s) {
  size_t n = 0;
  for (size_t i = 0; i < s.PageCount(); ++i) n += s.CandidateAt(i)->word.size();
  return n;
}

double Since(Clock::time_point t0) { return std::chrono::duration<double, std::nano>(Clock::now() - t0).count(); }

void Run(const char* name, const std::vector<std::u16string>& keys) {
  const std::vector<uint8_t> image = testing::BuildDictionaryImage(keys);
  DictionaryView view;
  if (!DictionaryView::FromFile(image.data(), image.size(), &view)) {
    std::printf("%s: image not readable\n", name);
    return;
  }
  // How much of the dictionary the index leaves to searching: the root's unindexed letter groups.
  size_t unindexed = 0;
  IndexNode root;
  if (view.Node(0, &root)) {
    for (size_t l = 0; l < kIndexLetters; ++l) unindexed += root.children[l] == kChildUnindexed ? 1 : 0;
  }
  std::printf("\n%s: %zu entries, %u nodes (capacity %zu), %zu letters unindexed at the root\n", name, keys.size(),
              view.nodeCount(), keys.size() / 100, unindexed);

  std::set<std::u16string> prefixSet;
  for (const auto& k : keys) {
    for (size_t n = 1; n <= 4 && n <= k.size(); ++n) {
      const std::u16string p = k.substr(0, n);
      if (std::all_of(p.begin(), p.end(), [](char16_t c) { return c >= u'a' && c <= u'z'; })) prefixSet.insert(p);
    }
  }
  std::vector<std::u16string> prefixes(prefixSet.begin(), prefixSet.end());
  std::shuffle(prefixes.begin(), prefixes.end(), std::mt19937(7));
  std::printf("%zu prefixes of 1 to 4 letters\n", prefixes.size());

  TabSource source(std::make_unique<ImageAccess>(view), 0);
  std::vector<double> keystroke, full, baseline;
  keystroke.reserve(prefixes.size());
  full.reserve(prefixes.size());
  baseline.reserve(prefixes.size());
  size_t mismatches = 0;
  // Each figure is the best of three runs, so that a preemption on this shared machine does not pass
  // for a slow lookup; the spread over prefixes is what remains.
  constexpr int kRuns = 3;
  for (const auto& p : prefixes) {
    double best = 1e18;
    for (int r = 0; r < kRuns; ++r) {
      source.SetPrefix(std::u16string_view(p).substr(0, p.size() - 1));
      const auto t0 = Clock::now();
      source.AppendLetter(p.back());
      gSink += ReadPage(source);
      best = std::min(best, Since(t0));
    }
    keystroke.push_back(best);

    best = 1e18;
    for (int r = 0; r < kRuns; ++r) {
      const auto t0 = Clock::now();
      source.SetPrefix(p);
      gSink += ReadPage(source);
      best = std::min(best, Since(t0));
    }
    full.push_back(best);

    best = 1e18;
    std::vector<std::u16string> words;
    for (int r = 0; r < kRuns; ++r) {
      const auto t0 = Clock::now();
      words.clear();
      for (auto it = std::lower_bound(keys.begin(), keys.end(), p);
           it != keys.end() && words.size() < 10 && it->compare(0, p.size(), p) == 0; ++it) {
        words.push_back(*it);
      }
      gSink += words.size();
      best = std::min(best, Since(t0));
    }
    baseline.push_back(best);

    if (words.size() != source.PageCount() || (!words.empty() && words[0] != source.CandidateWord(0))) ++mismatches;
  }
  if (mismatches != 0) std::printf("WARNING: %zu prefixes gave other candidates than the baseline\n", mismatches);

  // The cost that the binary search avoids: one pass over every key.
  auto t0 = Clock::now();
  TextRef key;
  size_t units = 0;
  for (uint32_t i = 0; i < view.entryCount(); ++i) {
    if (view.Key(i, &key)) units += key.length;
  }
  gSink += units;
  const double linear = Since(t0) / 1000.0;

  const Stats k = Summarise(keystroke), f = Summarise(full), b = Summarise(baseline);
  std::printf("%-34s %10s %10s %10s   (microseconds)\n", "", "median", "p99", "max");
  std::printf("%-34s %10.2f %10.2f %10.2f\n", "keystroke (AppendLetter + page)", k.median, k.p99, k.max);
  std::printf("%-34s %10.2f %10.2f %10.2f\n", "SetPrefix + page", f.median, f.p99, f.max);
  std::printf("%-34s %10.2f %10.2f %10.2f\n", "baseline lower_bound + 10", b.median, b.p99, b.max);
  std::printf("%-34s %10.1f\n", "one linear pass over all keys", linear);
  std::printf("p99 ratio to baseline: keystroke %.2fx, SetPrefix %.2fx\n", k.p99 / b.p99, f.p99 / b.p99);
}

std::vector<std::u16string> Prefixes(const DictionaryView& view, size_t maxLength) {
  std::set<std::u16string> set;
  TextRef key;
  for (uint32_t i = 0; i < view.entryCount(); ++i) {
    if (!view.Key(i, &key)) continue;
    const std::u16string k = key.ToString();
    for (size_t n = 1; n <= maxLength && n <= k.size(); ++n) {
      const std::u16string p = k.substr(0, n);
      if (std::all_of(p.begin(), p.end(), [](char16_t c) { return c >= u'a' && c <= u'z'; })) set.insert(p);
    }
  }
  std::vector<std::u16string> prefixes(set.begin(), set.end());
  std::shuffle(prefixes.begin(), prefixes.end(), std::mt19937(7));
  if (prefixes.size() > 40000) prefixes.resize(40000);
  return prefixes;
}

void PrintStats(const char* what, std::vector<double>& ns) {
  const Stats k = Summarise(ns);
  std::printf("%-54s %10.2f %10.2f %10.2f\n", what, k.median, k.p99, k.max);
}

// The ranked orders: a keystroke (next letter and first page) with the words before it set, and the
// next-word page, over a dictionary and its ranking data. `words` are the contexts tried in turn.
void RunRanked(const char* name, const std::vector<uint8_t>& image, const std::vector<uint8_t>& rankBytes,
               const std::vector<std::vector<std::u16string>>& contexts) {
  DictionaryView view;
  RankView rank;
  if (!DictionaryView::FromFile(image.data(), image.size(), &view) ||
      !RankView::FromBytes(rankBytes.data(), rankBytes.size(), &rank) || !rank.MadeFor(view)) {
    std::printf("\n%s: no usable ranking data\n", name);
    return;
  }
  std::printf("\n%s ranked: %u entries, ranking data %zu bytes (%u contexts, %u followers)\n", name, view.entryCount(),
              rankBytes.size(), rank.header().contextCount, rank.header().followerCount);
  // A store of a few thousand learned words, as a while of typing leaves it.
  LearnedStore store;
  {
    std::mt19937 rng(9);
    std::u16string previous;
    TextRef key;
    for (int i = 0; i < 20000; ++i) {
      // Mostly likely words: the entries at the front of a Zipf-like draw over the dictionary.
      const uint32_t e = static_cast<uint32_t>(std::pow(double(rng() % 1000000) / 1e6, 4) * view.entryCount());
      if (!view.Key(e, &key)) continue;
      const std::u16string w = key.ToString();
      store.Learn(previous, w);
      previous = w;
    }
  }
  const std::vector<uint8_t> learnedBytes = store.Serialize();
  LearnedView learned;
  LearnedView::FromBytes(learnedBytes.data(), learnedBytes.size(), &learned);
  const std::vector<std::u16string> prefixes = Prefixes(view, 4);
  std::printf("%zu prefixes of 1 to 4 letters, %zu contexts, %zu learned words and pairs\n", prefixes.size(),
              contexts.size(), store.size());
  std::printf("%-54s %10s %10s %10s   (microseconds)\n", "", "median", "p99", "max");
  // Each order, then forgiving tabs (the keystroke only: the next words are the same).
  const struct {
    CandidateOrder order;
    bool forgiving;
    const char* name;
  } configs[] = {{CandidateOrder::kFrequent, false, "frequent"},
                 {CandidateOrder::kLearning, false, "learning"},
                 {CandidateOrder::kDictionary, true, "forgiving dictionary"},
                 {CandidateOrder::kFrequent, true, "forgiving frequent"},
                 {CandidateOrder::kLearning, true, "forgiving learning"}};
  for (const auto& config : configs) {
    const CandidateOrder order = config.order;
    const RankingData data{&rank, order == CandidateOrder::kLearning ? &learned : nullptr};
    TabSource source(std::make_unique<ImageAccess>(view, &data), 0);
    source.SetOrder(order);
    source.SetForgiving(config.forgiving);
    std::vector<WordHistory> histories;
    for (const auto& words : contexts) {
      WordHistory h;
      for (const auto& w : words) {
        if (w == u".") {
          h.EndSentence();
        } else {
          h.Write(w);
        }
      }
      histories.push_back(h);
    }
    std::vector<double> keystroke, next;
    size_t unranked = 0;
    for (size_t k = 0; k < prefixes.size(); ++k) {
      const std::u16string& p = prefixes[k];
      source.SetContext(histories[k % histories.size()]);
      double best = 1e18;
      for (int r = 0; r < 3; ++r) {
        source.SetPrefix(std::u16string_view(p).substr(0, p.size() - 1));
        const auto t0 = Clock::now();
        source.AppendLetter(p.back());
        gSink += ReadPage(source);
        best = std::min(best, Since(t0));
      }
      if (!source.ranked() && source.PageCount() > 0) ++unranked;
      keystroke.push_back(best);
    }
    const std::string keystrokeName = std::string(config.name) + ": keystroke (AppendLetter + page)";
    if (config.forgiving) {
      PrintStats(keystrokeName.c_str(), keystroke);
      continue;
    }
    for (size_t k = 0; k < 4000; ++k) {
      source.SetContext(histories[k % histories.size()]);
      const auto t0 = Clock::now();
      source.NextWords();
      gSink += ReadPage(source);
      next.push_back(Since(t0));
    }
    PrintStats(keystrokeName.c_str(), keystroke);
    PrintStats((std::string(config.name) + ": next-word page").c_str(), next);
    if (unranked != 0) std::printf("WARNING: %zu keystrokes were not ranked\n", unranked);
  }
}

// Ranking data for a generated dictionary: costs from a skewed draw, and 100,000 one-word contexts
// of 64 followers each (with as many two-word ones of 24), spread over the dictionary.
std::vector<uint8_t> GeneratedRank(const std::vector<uint8_t>& image, std::vector<std::vector<std::u16string>>* words) {
  DictionaryView view;
  DictionaryView::FromFile(image.data(), image.size(), &view);
  const uint32_t n = view.entryCount();
  std::mt19937 rng(17);
  std::vector<uint16_t> costs(n);
  for (auto& c : costs) c = static_cast<uint16_t>(2000 + rng() % 30000);
  std::vector<RankContext> contexts;
  std::set<uint32_t> lastWords;
  while (lastWords.size() < 100000) lastWords.insert(rng() % n);
  for (uint32_t last : lastWords) {
    for (int two = 0; two < 2; ++two) {
      RankContext c;
      c.older = two ? rng() % n : kNoWord;
      c.last = last;
      c.backoff = -static_cast<int16_t>(rng() % 2000);
      std::set<uint32_t> f;
      while (f.size() < (two ? 24u : 64u)) f.insert(rng() % n);
      for (uint32_t e : f) c.followers.push_back({e, static_cast<uint16_t>(500 + rng() % 4000)});
      contexts.push_back(std::move(c));
    }
  }
  std::sort(contexts.begin(), contexts.end(),
            [](const RankContext& a, const RankContext& b) { return ContextBefore(a.older, a.last, b.older, b.last); });
  TextRef key, older;
  for (size_t k = 0; k < 64; ++k) {
    const RankContext& c = contexts[(k * 7919) % contexts.size()];
    std::vector<std::u16string> w;
    if (c.older != kNoWord && view.Key(c.older, &older)) w.push_back(older.ToString());
    if (view.Key(c.last, &key)) w.push_back(key.ToString());
    words->push_back(w);
  }
  return EncodeRankData(DictionaryFingerprint(view), costs, contexts);
}

std::vector<uint8_t> BytesOfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::u16string> KeysOfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  DictionaryView view;
  std::vector<std::u16string> keys;
  if (!DictionaryView::FromFile(bytes.data(), bytes.size(), &view)) return keys;
  TextRef key;
  for (uint32_t i = 0; i < view.entryCount(); ++i) {
    if (view.Key(i, &key)) keys.push_back(key.ToString());
  }
  return keys;
}

// The system word list as the generator would take it: lowercase keys without apostrophes or hyphens,
// in key order.
std::vector<std::u16string> KeysOfWordList(const std::string& path) {
  std::ifstream in(path);
  std::set<std::u16string> keys;
  std::string line;
  while (std::getline(in, line)) {
    std::u16string k;
    for (char16_t c : FromUtf8(line)) {
      if (c != u'\'' && c != u'-') k += FoldLower(c);
    }
    if (!k.empty()) keys.insert(k);
  }
  return std::vector<std::u16string>(keys.begin(), keys.end());
}

// 5,000,000 keys: 85% begin with a and continue in a two-letter alphabet, so that their deep groups
// use up the node table; the rest spread over b to z and are left unindexed.
std::vector<std::u16string> GeneratedKeys() {
  std::mt19937 rng(5000000);
  std::uniform_int_distribution<int> percent(0, 99), letter(0, 25), deep(0, 1), len(3, 10), deepLen(20, 30);
  std::vector<std::u16string> keys;
  keys.reserve(5000000);
  for (int i = 0; i < 5000000; ++i) {
    std::u16string k;
    if (percent(rng) < 85) {
      k = u"a";
      for (int n = deepLen(rng); n > 0; --n) k += static_cast<char16_t>(u'a' + deep(rng));
    } else {
      k = static_cast<char16_t>(u'b' + letter(rng) % 25);
      for (int n = len(rng); n > 0; --n) k += static_cast<char16_t>(u'a' + letter(rng));
    }
    keys.push_back(std::move(k));
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

// Rebuild with nine tabs over nine dictionaries in private blocks: the cost of every new composition.
void RunRebuild(const std::vector<std::u16string>& keys) {
  std::vector<std::vector<uint8_t>> files(9, testing::BuildDictionaryImage(keys));
  SettingsRecord record;
  SettingsView s = record.view();
  for (size_t i = 0; i < 9; ++i) {
    AddTab(s);
    s.tab(i).SetDictionaryId(static_cast<int16_t>(8 - i));
    s.tab(i).SetMinWordLength(static_cast<uint16_t>(i % 3));
    s.dictionary(i).SetDictionaryId(static_cast<uint16_t>(i));
  }
  s.SetDictionaryCount(9);
  PublishedData published;
  TabSourceSet set(published);
  if (PublishPrivateSettings(record.data(), record.size(), &published) != Result::kSuccess ||
      PublishPrivateDictionaryFiles(files, &published) != Result::kSuccess) {
    std::printf("\nRebuild: blocks could not be published\n");
    return;
  }
  std::vector<double> ns;
  for (int i = 0; i < 2000; ++i) {
    const auto t0 = Clock::now();
    set.Rebuild();
    ns.push_back(Since(t0));
  }
  const Stats r = Summarise(ns);
  std::printf(
      "\nRebuild, nine tabs over nine dictionaries of %zu entries (microseconds): median %.2f, p99 %.2f, max %.2f\n",
      keys.size(), r.median, r.p99, r.max);
  set.Clear();
}

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
  using namespace quillet;
  std::string exe = argv[0];
  const std::string dir = exe.substr(0, exe.find_last_of('/') + 1);
  std::vector<std::u16string> english;
  std::string source;
  for (const std::string& candidate : {argc > 1 ? std::string(argv[1]) : std::string(), dir + "english.dict"}) {
    if (candidate.empty()) continue;
    english = KeysOfFile(candidate);
    if (!english.empty()) {
      source = candidate;
      break;
    }
  }
  if (english.empty()) {
    source = "/usr/share/dict/american-english";
    english = KeysOfWordList(source);
  }
  std::printf("English keys from %s\n", source.c_str());
  Run("(a) English", english);
  RunRebuild(english);
  // The ranked orders over the dictionary file itself and the ranking data beside it.
  const std::string dictPath = source.size() > 5 && source.substr(source.size() - 5) == ".dict" ? source : "";
  if (!dictPath.empty()) {
    const std::vector<std::vector<std::u16string>> contexts{
        {u"."}, {u"the"}, {u"of", u"the"}, {u"I"}, {u"to"}, {u"it", u"is"}, {u"in", u"a"}, {u"we"}, {u"United"}};
    RunRanked("(a) English", BytesOfFile(dictPath), BytesOfFile(dictPath.substr(0, dictPath.size() - 5) + ".rank"),
              contexts);
  }
  const std::vector<std::u16string> generated = GeneratedKeys();
  Run("(b) generated", generated);
  const std::vector<uint8_t> image = testing::BuildDictionaryImage(generated);
  std::vector<std::vector<std::u16string>> contexts;
  const std::vector<uint8_t> rank = GeneratedRank(image, &contexts);
  RunRanked("(b) generated", image, rank, contexts);
  return 0;
}
