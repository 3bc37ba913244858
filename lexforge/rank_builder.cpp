#include "lexforge/rank_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unordered_map>

#include "common/rank_format.h"
#include "common/rank_view.h"
#include "common/utf16.h"
#include "lexforge/mapping_result.h"
#include "platform/file.h"

namespace quillet::lexforge {
namespace {

constexpr uint32_t kNoModelWord = 0xFFFFFFFF;

bool IsLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

uint16_t ToCost(double log10p) {
  const double c = -log10p * kCostScale;
  if (c <= 0) return 0;
  if (c >= kWorstCost - 1) return kWorstCost - 1;  // kWorstCost is kept for entries without a score
  return static_cast<uint16_t>(std::lround(c));
}

int16_t ToBackoff(double log10bo) {
  const double c = std::round(log10bo * kCostScale);
  return static_cast<int16_t>(std::clamp(c, -32767.0, 32767.0));
}

// One line of the model at a time, with its number for messages.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  bool Next(std::string_view* line) {
    if (at_ >= text_.size()) return false;
    size_t end = text_.find('\n', at_);
    if (end == std::string_view::npos) end = text_.size();
    *line = text_.substr(at_, end - at_);
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    at_ = end + 1;
    ++number_;
    return true;
  }
  size_t number() const { return number_; }

 private:
  std::string_view text_;
  size_t at_ = 0;
  size_t number_ = 0;
};

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// Splits on blanks; at most `max` fields (false when there are more).
bool Fields(std::string_view line, std::string_view* out, size_t max, size_t* count) {
  size_t n = 0, i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsSpace(line[i])) ++i;
    if (i == line.size()) break;
    const size_t start = i;
    while (i < line.size() && !IsSpace(line[i])) ++i;
    if (n == max) return false;
    out[n++] = line.substr(start, i - start);
  }
  *count = n;
  return true;
}

// A decimal number as ARPA writes it: [-]digits[.digits][e[-]digits]. Bounded by the field. The
// syntax is checked here and the value read by strtod (in the "C" locale these programs run in),
// which rounds alike on every machine; a number beyond a double is no weight.
bool ParseNumber(std::string_view s, double* out) {
  size_t i = 0;
  auto digits = [&] {
    const size_t from = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    return i - from;
  };
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  size_t mantissa = digits();
  if (i < s.size() && s[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    if (digits() == 0) return false;
  }
  if (i != s.size()) return false;
  const std::string text(s);
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

struct Unigram {
  double logProb = 0;
  double logBackoff = 0;
};

struct Bigram {
  uint32_t older, last;
  float logProb, logBackoff;
};

struct Follower {
  uint32_t older, last;  // the context, in entry terms
  uint32_t entry;
  uint16_t cost;
  int16_t backoff;  // the context's
};

// The dictionary's entries grouped by the word they stand for (commit text, else key, in lowercase).
struct EntryWords {
  std::unordered_map<std::string, std::vector<uint32_t>> byWord;  // UTF-8 lowercase word -> entries
  std::vector<std::u16string> spelling;                           // per entry, as written
};

EntryWords GroupEntries(const DictionaryView& d) {
  EntryWords w;
  w.spelling.resize(d.entryCount());
  for (uint32_t i = 0; i < d.entryCount(); ++i) {
    TextRef key;
    if (!d.Key(i, &key)) continue;
    InfoRef info;
    std::u16string text = d.Info(i, &info) && info.commit.length > 0 ? info.commit.ToString() : key.ToString();
    w.byWord[ToUtf8(LowerText(text))].push_back(i);
    w.spelling[i] = std::move(text);
  }
  return w;
}

bool AllLower(const std::u16string& s) { return LowerText(s) == s; }

// Each entry's part of its word's probability, among the spellings of that word.
std::vector<double> SpellingShares(const EntryWords& words, uint32_t entryCount, const CaseCounts* cases,
                                   RankReport* seen) {
  std::vector<double> share(entryCount, 1.0);
  for (const auto& [word, entries] : words.byWord) {
    if (entries.size() < 2) continue;
    ++seen->caseGroups;
    double total = 0;
    std::vector<double> weight;
    for (uint32_t e : entries) {
      const std::u16string& s = words.spelling[e];
      weight.push_back((cases != nullptr ? cases->Count(s) : 0) + (AllLower(s) ? 1.0 : 0.5));
      total += weight.back();
    }
    for (size_t k = 0; k < entries.size(); ++k) share[entries[k]] = weight[k] / total;
  }
  return share;
}

bool IsSectionHeader(std::string_view line) {
  return line.size() == 9 && line[0] == '\\' && line.substr(2) == "-grams:" && line[1] >= '1' && line[1] <= '9';
}

// An ARPA model read against the dictionary: every model word with its unigram and its entries, and the
// followers worth keeping, their contexts named by entries.
class ArpaModel {
 public:
  ArpaModel(std::string_view arpa, const EntryWords& words, const std::vector<double>& share,
            const RankOptions& options, RankReport* seen)
      : lines_(arpa), words_(words), share_(share), options_(options), seen_(*seen) {
    ids_.reserve(std::min<size_t>(1 << 17, arpa.size() / 4));  // a unigram line takes at least 4 bytes
  }

  // The counts, then each order's lines. kMalformed with the problem and its line in the report.
  Result Read() {
    if (!SkipToData()) return Malformed("no \\data\\ section (not an ARPA model)");
    std::string_view line;
    while (lines_.Next(&line)) {
      if (line.empty() || line.rfind("ngram ", 0) == 0) continue;
      if (line == "\\end\\") break;
      const Result r = IsSectionHeader(line) ? StartSection(line[1] - '0') : ReadNgram(line);
      if (r != Result::kSuccess) return r;
    }
    if (unigrams_.empty()) return Malformed("no unigrams");
    return Result::kSuccess;
  }

  // Each entry's cost on its own, kWorstCost for one the model does not know.
  std::vector<uint16_t> UnigramCosts(uint32_t entryCount) const {
    std::vector<uint16_t> cost(entryCount, kWorstCost);
    for (uint32_t id = 0; id < unigrams_.size(); ++id) {
      if (entriesOf_[id] == nullptr) continue;
      for (uint32_t e : *entriesOf_[id]) {
        cost[e] = std::min(cost[e], ToCost(unigrams_[id].logProb + std::log10(share_[e])));
      }
    }
    return cost;
  }

  std::vector<Follower>& followers() { return followers_; }

 private:
  Result Malformed(const std::string& what) {
    seen_.problem = "line " + std::to_string(lines_.number()) + ": " + what;
    return Result::kMalformed;
  }

  bool SkipToData() {
    std::string_view line;
    while (lines_.Next(&line)) {
      if (line == "\\data\\") return true;
    }
    return false;
  }

  Result StartSection(int next) {
    if (next != order_ + 1) return Malformed("sections out of order");
    if (next == 3) IndexBigrams();
    order_ = next;
    if (order_ > 3) return Malformed("orders above 3 are not supported");
    return Result::kSuccess;
  }

  // Trigrams look their bigrams up: sorted, with where each word's begin.
  void IndexBigrams() {
    std::sort(bigrams_.begin(), bigrams_.end(), [](const Bigram& a, const Bigram& b) {
      return a.older != b.older ? a.older < b.older : a.last < b.last;
    });
    bigramsOf_.assign(unigrams_.size() + 1, 0);
    for (const Bigram& b : bigrams_) ++bigramsOf_[b.older + 1];
    for (size_t id = 0; id < unigrams_.size(); ++id) bigramsOf_[id + 1] += bigramsOf_[id];
  }

  Result ReadNgram(std::string_view line) {
    if (order_ == 0) return Malformed("an n-gram before the first section");
    std::string_view f[5];
    size_t count = 0;
    if (!Fields(line, f, 5, &count) || count < size_t(1 + order_) || count > size_t(2 + order_)) {
      return Malformed("expected a probability, " + std::to_string(order_) + " words and a backoff weight");
    }
    double logProb = 0, logBackoff = 0;
    if (!ParseNumber(f[0], &logProb) || (count == size_t(2 + order_) && !ParseNumber(f[1 + order_], &logBackoff))) {
      return Malformed("a weight is not a number");
    }
    if (order_ == 1) return AddUnigram(f[1], logProb, logBackoff);
    uint32_t w[3];
    for (int k = 0; k < order_; ++k) {
      w[k] = IdOf(f[1 + k]);
      if (w[k] == kNoModelWord) return Malformed("a word that is not among the unigrams");
    }
    if (order_ == 2) {
      AddBigram(w[0], w[1], logProb, logBackoff);
    } else {
      AddTrigram(w, logProb);
    }
    return Result::kSuccess;
  }

  Result AddUnigram(std::string_view word, double logProb, double logBackoff) {
    if (ids_.count(word) != 0) return Malformed("a word is listed twice");
    const uint32_t id = static_cast<uint32_t>(unigrams_.size());
    ids_.emplace(word, id);
    unigrams_.push_back({logProb, logBackoff});
    const auto it = word == "<s>" ? words_.byWord.end() : words_.byWord.find(std::string(word));
    entriesOf_.push_back(it == words_.byWord.end() ? nullptr : &it->second);
    canonical_.push_back(word == "<s>" ? kSentenceStart : it == words_.byWord.end() ? kNone : it->second.front());
    return Result::kSuccess;
  }

  void AddBigram(uint32_t older, uint32_t last, double logProb, double logBackoff) {
    bigrams_.push_back({older, last, static_cast<float>(logProb), static_cast<float>(logBackoff)});
    const uint32_t context = WordEntry(older);
    if (context == kNone) return;
    // Worth keeping only when it beats backing off to the word's own probability.
    if (logProb < unigrams_[older].logBackoff + UnigramLogProb(last) + options_.minGain) return;
    AddFollowers(kNoWord, context, last, logProb, unigrams_[older].logBackoff);
  }

  void AddTrigram(const uint32_t w[3], double logProb) {
    const uint32_t older = WordEntry(w[0]), last = WordEntry(w[1]);
    if (older == kNone || last == kNone) return;
    // A model lists the trigrams of one context together: its bigram is looked up once.
    if (w[0] != contextWords_[0] || w[1] != contextWords_[1]) {
      context_ = BigramOf(w[0], w[1]);
      contextWords_[0] = w[0];
      contextWords_[1] = w[1];
    }
    const double contextBackoff = context_ != nullptr ? context_->logBackoff : 0;
    const Bigram* shorter = BigramOf(w[1], w[2]);
    const double backedOff =
        contextBackoff + (shorter != nullptr ? shorter->logProb : unigrams_[w[1]].logBackoff + UnigramLogProb(w[2]));
    if (logProb < backedOff + options_.minGain) return;
    AddFollowers(older, last, w[2], logProb, contextBackoff);
  }

  // Followers of one context: the word's entries, each with its share.
  void AddFollowers(uint32_t older, uint32_t last, uint32_t id, double logProb, double logBackoff) {
    const std::vector<uint32_t>* entries = entriesOf_[id];
    if (entries == nullptr) return;
    for (uint32_t e : *entries) {
      followers_.push_back({older, last, e, ToCost(logProb + std::log10(share_[e])), ToBackoff(logBackoff)});
    }
  }

  uint32_t IdOf(std::string_view w) const {
    const auto it = ids_.find(w);
    return it == ids_.end() ? kNoModelWord : it->second;
  }
  uint32_t WordEntry(uint32_t id) const { return id == kNoModelWord ? kNone : canonical_[id]; }
  double UnigramLogProb(uint32_t id) const { return id == kNoModelWord ? -99.0 : unigrams_[id].logProb; }
  const Bigram* BigramOf(uint32_t older, uint32_t last) const {
    const auto first = bigrams_.begin() + bigramsOf_[older], end = bigrams_.begin() + bigramsOf_[older + 1];
    const auto it = std::lower_bound(first, end, last, [](const Bigram& b, uint32_t k) { return b.last < k; });
    return it != end && it->last == last ? &*it : nullptr;
  }

  Lines lines_;
  const EntryWords& words_;
  const std::vector<double>& share_;
  const RankOptions& options_;
  RankReport& seen_;
  int order_ = 0;
  std::unordered_map<std::string_view, uint32_t> ids_;  // model word -> id
  std::vector<Unigram> unigrams_;
  std::vector<uint32_t> canonical_;                      // per model id: the entry that names it in contexts
  std::vector<const std::vector<uint32_t>*> entriesOf_;  // per model id: its entries, or null
  std::vector<Bigram> bigrams_;
  std::vector<uint32_t> bigramsOf_;  // per model id: where its bigrams begin (once sorted), one more at the end
  std::vector<Follower> followers_;
  // The context of the trigrams being read, and its bigram.
  const Bigram* context_ = nullptr;
  uint32_t contextWords_[2] = {kNoModelWord, kNoModelWord};
};

// One context from its followers (sorted best first): the best `cap` distinct entries, in entry order.
RankContext BestFollowers(const Follower* first, const Follower* end, uint32_t cap) {
  RankContext c;
  c.older = first->older;
  c.last = first->last;
  c.backoff = first->backoff;  // a word's from its unigram, a pair's from its bigram
  for (const Follower* f = first; f != end && c.followers.size() < std::min<uint32_t>(cap, 0xFFFF); ++f) {
    const bool duplicate = std::any_of(c.followers.begin(), c.followers.end(),
                                       [&](const FollowerRecord& r) { return r.entry == f->entry; });
    if (!duplicate) c.followers.push_back({f->entry, f->cost});
  }
  std::sort(c.followers.begin(), c.followers.end(),
            [](const FollowerRecord& a, const FollowerRecord& b) { return a.entry < b.entry; });
  return c;
}

// The contexts in the order the format keeps them, each with its best followers.
std::vector<RankContext> GroupFollowers(std::vector<Follower>* followers, const RankOptions& options,
                                        RankReport* seen) {
  std::vector<Follower>& all = *followers;
  std::sort(all.begin(), all.end(), [](const Follower& a, const Follower& b) {
    if (a.older != b.older || a.last != b.last) return ContextBefore(a.older, a.last, b.older, b.last);
    return a.cost != b.cost ? a.cost < b.cost : a.entry < b.entry;
  });
  std::vector<RankContext> contexts;
  for (size_t i = 0; i < all.size();) {
    size_t j = i;
    while (j < all.size() && all[j].older == all[i].older && all[j].last == all[i].last) ++j;
    const uint32_t cap = all[i].older == kNoWord ? options.maxBigramFollowers : options.maxTrigramFollowers;
    contexts.push_back(BestFollowers(all.data() + i, all.data() + j, cap));
    seen->followers += static_cast<uint32_t>(contexts.back().followers.size());
    i = j;
  }
  return contexts;
}

}  // namespace

void CaseCounts::Add(std::string_view utf8) {
  const std::u16string text = FromUtf8(utf8);
  bool sentenceStart = true;
  size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (!IsLetter(c)) {
      if (c == u'.' || c == u'!' || c == u'?' || c == u'\n' || c == u':' || c == u'"') sentenceStart = true;
      ++i;
      continue;
    }
    const size_t start = i;
    while (i < text.size() && (IsLetter(text[i]) || (text[i] == u'\'' && i + 1 < text.size() && IsLetter(text[i + 1]))))
      ++i;
    if (!sentenceStart) ++counts_[text.substr(start, i - start)];
    sentenceStart = false;
  }
}

uint32_t CaseCounts::Count(const std::u16string& spelling) const {
  const auto it = counts_.find(spelling);
  return it == counts_.end() ? 0 : it->second;
}

Result BuildRankData(const DictionaryView& d, std::string_view arpa, const CaseCounts* cases,
                     const RankOptions& options, std::vector<uint8_t>* out, RankReport* report) {
  RankReport ignored;
  RankReport& seen = report != nullptr ? *report : ignored;
  const uint32_t n = d.entryCount();
  seen.entries = n;
  const EntryWords words = GroupEntries(d);
  const std::vector<double> share = SpellingShares(words, n, cases, &seen);
  ArpaModel model(arpa, words, share, options, &seen);
  if (const Result r = model.Read(); r != Result::kSuccess) return r;

  const std::vector<uint16_t> cost = model.UnigramCosts(n);
  for (uint16_t c : cost) seen.scoredEntries += c != kWorstCost ? 1 : 0;
  const std::vector<RankContext> contexts = GroupFollowers(&model.followers(), options, &seen);
  seen.contexts = static_cast<uint32_t>(contexts.size());
  std::vector<uint8_t> bytes = EncodeRankData(DictionaryFingerprint(d), cost, contexts);
  if (bytes.empty()) return Result::kGeneralFailure;
  seen.bytes = bytes.size();
  *out = std::move(bytes);
  return Result::kSuccess;
}

namespace {

// The whole file, or a failure naming it.
Result ReadWhole(const std::u16string& path, std::vector<uint8_t>* out, RankReport* seen) {
  platform::File in;
  if (!in.OpenRead(path, &seen->osError)) {
    seen->failedPath = path;
    return Result::kFileOpenFailed;
  }
  uint64_t size = 0;
  if (!in.Size(&size, &seen->osError)) {
    seen->failedPath = path;
    return Result::kFileSizeFailed;
  }
  out->resize(static_cast<size_t>(size));
  size_t done = 0;
  if (!in.Read(out->data(), out->size(), &done, &seen->osError) || done != out->size()) {
    seen->failedPath = path;
    return Result::kFileReadFailed;
  }
  return Result::kSuccess;
}

}  // namespace

Result BuildRankFile(const std::u16string& dictionary, const std::u16string& model, const std::u16string& caseText,
                     const std::u16string& destination, const RankOptions& options, RankReport* report) {
  RankReport ignored;
  RankReport& seen = report != nullptr ? *report : ignored;
  seen = RankReport{};
  std::vector<uint8_t> dict;
  if (const Result r = ReadWhole(dictionary, &dict, &seen); r != Result::kSuccess) return r;
  DictionaryView view;
  if (!DictionaryView::FromFile(dict.data(), dict.size(), &view)) {
    seen.failedPath = dictionary;
    seen.problem = "not a well-formed dictionary";
    return Result::kMalformed;
  }
  CaseCounts cases;
  if (!caseText.empty()) {
    std::vector<uint8_t> text;
    if (const Result r = ReadWhole(caseText, &text, &seen); r != Result::kSuccess) return r;
    cases.Add(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  }
  platform::File in;
  if (!in.OpenRead(model, &seen.osError)) {
    seen.failedPath = model;
    return Result::kFileOpenFailed;
  }
  platform::FileMapping mapped;
  if (const Result r = MapForReading(in, &mapped, &seen.osError); r != Result::kSuccess) {
    seen.failedPath = model;
    return r;
  }
  std::vector<uint8_t> bytes;
  const Result built =
      BuildRankData(view, std::string_view(reinterpret_cast<const char*>(mapped.data()), mapped.size()),
                    caseText.empty() ? nullptr : &cases, options, &bytes, &seen);
  if (built != Result::kSuccess) {
    if (built == Result::kMalformed) seen.failedPath = model;
    return built;
  }
  if (!platform::ReplaceFile(destination, bytes.data(), bytes.size(), /*ownerOnly=*/false, &seen.osError)) {
    seen.failedPath = destination;
    return Result::kFileWriteFailed;
  }
  return Result::kSuccess;
}

}  // namespace quillet::lexforge
