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

  // The model: counts, then each order's lines.
  Lines lines(arpa);
  std::string_view line;
  auto malformed = [&](const std::string& what) {
    seen.problem = "line " + std::to_string(lines.number()) + ": " + what;
    return Result::kMalformed;
  };
  bool data = false;
  while (lines.Next(&line)) {
    if (line == "\\data\\") {
      data = true;
      break;
    }
  }
  if (!data) return malformed("no \\data\\ section (not an ARPA model)");

  std::unordered_map<std::string_view, uint32_t> ids;       // model word -> id
  ids.reserve(std::min<size_t>(1 << 17, arpa.size() / 4));  // a unigram line takes at least 4 bytes
  std::vector<Unigram> unigrams;
  std::vector<uint32_t> canonical;                      // per model id: the entry that names it in contexts
  std::vector<const std::vector<uint32_t>*> entriesOf;  // per model id: its entries, or null
  std::vector<Bigram> bigrams;
  std::vector<Follower> followers;
  std::vector<double> share(n, 1.0);  // each entry's part of its word's probability

  auto idOf = [&](std::string_view w) {
    const auto it = ids.find(w);
    return it == ids.end() ? kNoModelWord : it->second;
  };
  auto wordEntry = [&](uint32_t id) {
    if (id == kNoModelWord) return kNone;
    return canonical[id];
  };
  auto unigramLogProb = [&](uint32_t id) { return id == kNoModelWord ? -99.0 : unigrams[id].logProb; };
  std::vector<uint32_t> bigramsOf;  // per model id: where its bigrams begin (once sorted), one more at the end
  auto bigramOf = [&](uint32_t older, uint32_t last) -> const Bigram* {
    const auto first = bigrams.begin() + bigramsOf[older], end = bigrams.begin() + bigramsOf[older + 1];
    const auto it = std::lower_bound(first, end, last, [](const Bigram& b, uint32_t k) { return b.last < k; });
    return it != end && it->last == last ? &*it : nullptr;
  };
  // Followers of one context: the word's entries, each with its share.
  auto addFollowers = [&](uint32_t older, uint32_t last, uint32_t id, double logProb, double logBackoff) {
    const std::vector<uint32_t>* entries = entriesOf[id];
    if (entries == nullptr) return;
    for (uint32_t e : *entries) {
      followers.push_back({older, last, e, ToCost(logProb + std::log10(share[e])), ToBackoff(logBackoff)});
    }
  };

  // Each entry's part of its word's probability, among the spellings of that word.
  for (const auto& [word, entries] : words.byWord) {
    if (entries.size() < 2) continue;
    ++seen.caseGroups;
    double total = 0;
    std::vector<double> weight;
    for (uint32_t e : entries) {
      const std::u16string& s = words.spelling[e];
      weight.push_back((cases != nullptr ? cases->Count(s) : 0) + (AllLower(s) ? 1.0 : 0.5));
      total += weight.back();
    }
    for (size_t k = 0; k < entries.size(); ++k) share[entries[k]] = weight[k] / total;
  }

  const Bigram* context = nullptr;
  uint32_t contextWords[2] = {kNoModelWord, kNoModelWord};
  int order = 0;
  std::string_view f[5];
  size_t count = 0;
  while (lines.Next(&line)) {
    if (line.empty() || line.rfind("ngram ", 0) == 0) continue;
    if (line == "\\end\\") break;
    if (line.size() == 9 && line[0] == '\\' && line.substr(2) == "-grams:" && line[1] >= '1' && line[1] <= '9') {
      const int next = line[1] - '0';
      if (next != order + 1) return malformed("sections out of order");
      if (next == 3) {
        std::sort(bigrams.begin(), bigrams.end(), [](const Bigram& a, const Bigram& b) {
          return a.older != b.older ? a.older < b.older : a.last < b.last;
        });
        bigramsOf.assign(unigrams.size() + 1, 0);
        for (const Bigram& b : bigrams) ++bigramsOf[b.older + 1];
        for (size_t id = 0; id < unigrams.size(); ++id) bigramsOf[id + 1] += bigramsOf[id];
      }
      order = next;
      if (order > 3) return malformed("orders above 3 are not supported");
      continue;
    }
    if (order == 0) return malformed("an n-gram before the first section");
    if (!Fields(line, f, 5, &count) || count < size_t(1 + order) || count > size_t(2 + order)) {
      return malformed("expected a probability, " + std::to_string(order) + " words and a backoff weight");
    }
    double logProb = 0, logBackoff = 0;
    if (!ParseNumber(f[0], &logProb) || (count == size_t(2 + order) && !ParseNumber(f[1 + order], &logBackoff))) {
      return malformed("a weight is not a number");
    }
    if (order == 1) {
      if (ids.count(f[1]) != 0) return malformed("a word is listed twice");
      const uint32_t id = static_cast<uint32_t>(unigrams.size());
      ids.emplace(f[1], id);
      unigrams.push_back({logProb, logBackoff});
      const auto it = f[1] == "<s>" ? words.byWord.end() : words.byWord.find(std::string(f[1]));
      entriesOf.push_back(it == words.byWord.end() ? nullptr : &it->second);
      canonical.push_back(f[1] == "<s>" ? kSentenceStart : it == words.byWord.end() ? kNone : it->second.front());
      continue;
    }
    uint32_t w[3];
    for (int k = 0; k < order; ++k) {
      w[k] = idOf(f[1 + k]);
      if (w[k] == kNoModelWord) return malformed("a word that is not among the unigrams");
    }
    if (order == 2) {
      bigrams.push_back({w[0], w[1], static_cast<float>(logProb), static_cast<float>(logBackoff)});
      const uint32_t last = wordEntry(w[0]);
      if (last == kNone) continue;
      // Worth keeping only when it beats backing off to the word's own probability.
      if (logProb < unigrams[w[0]].logBackoff + unigramLogProb(w[1]) + options.minGain) continue;
      addFollowers(kNoWord, last, w[1], logProb, unigrams[w[0]].logBackoff);
    } else {
      const uint32_t older = wordEntry(w[0]), last = wordEntry(w[1]);
      if (older == kNone || last == kNone) continue;
      // A model lists the trigrams of one context together: its bigram is looked up once.
      if (w[0] != contextWords[0] || w[1] != contextWords[1]) {
        context = bigramOf(w[0], w[1]);
        contextWords[0] = w[0];
        contextWords[1] = w[1];
      }
      const double contextBackoff = context != nullptr ? context->logBackoff : 0;
      const Bigram* shorter = bigramOf(w[1], w[2]);
      const double backedOff =
          contextBackoff + (shorter != nullptr ? shorter->logProb : unigrams[w[1]].logBackoff + unigramLogProb(w[2]));
      if (logProb < backedOff + options.minGain) continue;
      addFollowers(older, last, w[2], logProb, contextBackoff);
    }
  }
  if (unigrams.empty()) return malformed("no unigrams");

  // Unigram costs.
  std::vector<uint16_t> cost(n, kWorstCost);
  for (uint32_t id = 0; id < unigrams.size(); ++id) {
    if (entriesOf[id] == nullptr) continue;
    for (uint32_t e : *entriesOf[id]) cost[e] = std::min(cost[e], ToCost(unigrams[id].logProb + std::log10(share[e])));
  }
  for (uint16_t c : cost) seen.scoredEntries += c != kWorstCost ? 1 : 0;

  // Contexts: the best followers of each, kept in entry order.
  std::sort(followers.begin(), followers.end(), [](const Follower& a, const Follower& b) {
    if (a.older != b.older || a.last != b.last) return ContextBefore(a.older, a.last, b.older, b.last);
    return a.cost != b.cost ? a.cost < b.cost : a.entry < b.entry;
  });
  std::vector<RankContext> contexts;
  for (size_t i = 0; i < followers.size();) {
    size_t j = i;
    while (j < followers.size() && followers[j].older == followers[i].older && followers[j].last == followers[i].last)
      ++j;
    const uint32_t cap = followers[i].older == kNoWord ? options.maxBigramFollowers : options.maxTrigramFollowers;
    RankContext c;
    c.older = followers[i].older;
    c.last = followers[i].last;
    c.backoff = followers[i].backoff;  // a word's from its unigram, a pair's from its bigram
    for (size_t k = i; k < j && c.followers.size() < std::min<uint32_t>(cap, 0xFFFF); ++k) {
      const bool duplicate = std::any_of(c.followers.begin(), c.followers.end(),
                                         [&](const FollowerRecord& r) { return r.entry == followers[k].entry; });
      if (!duplicate) c.followers.push_back({followers[k].entry, followers[k].cost});
    }
    std::sort(c.followers.begin(), c.followers.end(),
              [](const FollowerRecord& a, const FollowerRecord& b) { return a.entry < b.entry; });
    seen.followers += static_cast<uint32_t>(c.followers.size());
    contexts.push_back(std::move(c));
    i = j;
  }
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
  const std::u16string temporary = destination + u".tmp";
  platform::File out;
  if (!out.Create(temporary, &seen.osError)) {
    seen.failedPath = temporary;
    return Result::kFileOpenFailed;
  }
  size_t done = 0;
  const bool written = out.Write(bytes.data(), bytes.size(), &done, &seen.osError) && done == bytes.size();
  if (!out.Close(&seen.osError) || !written) {
    platform::RemoveFile(temporary);
    seen.failedPath = temporary;
    return Result::kFileWriteFailed;
  }
  if (!platform::RenameFile(temporary, destination, &seen.osError)) {
    platform::RemoveFile(temporary);
    seen.failedPath = destination;
    return Result::kFileOpenFailed;
  }
  return Result::kSuccess;
}

}  // namespace quillet::lexforge
