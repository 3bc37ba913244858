// Random or damaged ranking data under a ranked source, with random typing and context: the lookup
// must neither crash nor read outside the data, and whatever it offers must begin with the prefix and
// be long enough. Either the bytes are the data, or (first byte's top bit) a valid data set for the
// fixed dictionary is patched, so that the damage reaches the ranking itself.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/rank_view.h"
#include "lookup/ranking.h"
#include "lookup/tab_source.h"

namespace {

using namespace quillet;

struct Base {
  std::vector<uint8_t> dictionary;
  DictionaryView view;
  std::vector<uint8_t> rank;
};

const Base& TheBase() {
  static const Base base = [] {
    Base b;
    std::vector<std::u16string> keys;
    for (int i = 0; i < 600; ++i) {
      keys.push_back(std::u16string{static_cast<char16_t>(u'a' + i / 150), static_cast<char16_t>(u'a' + (i / 6) % 26),
                                    static_cast<char16_t>(u'a' + i % 6)});
    }
    // Sorted, as a dictionary must be; the lookup fuzz target covers unsorted ones.
    std::sort(keys.begin(), keys.end());
    b.dictionary = testing::BuildDictionaryImage(keys);
    DictionaryView::FromFile(b.dictionary.data(), b.dictionary.size(), &b.view);
    std::vector<uint16_t> costs;
    for (int i = 0; i < 600; ++i) costs.push_back(static_cast<uint16_t>((i * 7919) % 5000));
    std::vector<RankContext> contexts;
    for (uint32_t last : {3u, 77u, 300u}) {
      RankContext one{kNoWord, last, -200, {}};
      RankContext two{5, last, -100, {}};
      for (uint32_t e = last % 7; e < 600; e += 13) one.followers.push_back({e, static_cast<uint16_t>(e % 300)});
      for (uint32_t e = last % 5; e < 600; e += 41) two.followers.push_back({e, static_cast<uint16_t>(e % 100)});
      contexts.push_back(two);
      contexts.push_back(one);
    }
    contexts.push_back({kNoWord, kSentenceStart, 0, {{1, 10}, {2, 20}}});
    std::sort(contexts.begin(), contexts.end(), [](const RankContext& a, const RankContext& c) {
      return ContextBefore(a.older, a.last, c.older, c.last);
    });
    b.rank = EncodeRankData(DictionaryFingerprint(b.view), costs, contexts);
    return b;
  }();
  return base;
}

class Access final : public DictionaryAccess {
 public:
  Access(const DictionaryView& view, const RankingData& data) : view_(view), data_(data) {}
  bool Acquire(const DictionaryView** view) override {
    *view = &view_;
    return true;
  }
  void Release() override {}
  RankingData Ranking() override { return data_; }

 private:
  const DictionaryView& view_;
  RankingData data_;
};

constexpr char16_t kChars[] = u"abcdefgzA'\u00e9";
const char16_t* const kWords[] = {u"aad", u"abd", u"bmb", u"zzz", u"Aad"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const Base& base = TheBase();
  const uint16_t minWordLength = data[0] % 4;
  const size_t opCount = std::min<size_t>(data[1] % 48, size - 3);
  const uint8_t* ops = data + 3;
  const uint8_t* rest = ops + opCount;
  const size_t restSize = size - 3 - opCount;
  std::vector<uint8_t> bytes;
  if (data[0] & 0x80) {
    bytes = base.rank;
    // Patches after the fingerprint keep the data in use; each is an offset and a value.
    for (size_t k = 0; k + 3 <= restSize; k += 3) {
      const size_t at = 16 + (rest[k] << 8 | rest[k + 1]) % (bytes.size() - 16);
      bytes[at] = rest[k + 2];
    }
    if (restSize % 3 == 2) bytes.resize((rest[restSize - 2] << 8 | rest[restSize - 1]) % bytes.size());
  } else {
    bytes.assign(rest, rest + restSize);
  }
  // Its own allocation, so that the sanitizer sees any read past its end.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.empty() ? 1 : bytes.size()]);
  if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
  RankView rank;
  RankingData ranking;
  if (RankView::FromBytes(copy.get(), bytes.size(), &rank)) {
    ranking.rank = &rank;
    for (uint32_t k = 0; k < 4; ++k) (void)rank.BestInRange(k * 100, 600 - k * 37);
  }
  TabSource source(std::make_unique<Access>(base.view, ranking), minWordLength);
  source.SetOrder(data[2] & 1 ? CandidateOrder::kFrequent : CandidateOrder::kLearning);
  WordHistory history;
  for (size_t k = 0; k < opCount; ++k) {
    const uint8_t op = ops[k];
    const char16_t c = kChars[(op & 0x1F) % (sizeof(kChars) / sizeof(kChars[0]) - 1)];
    size_t count = 0;
    switch (op >> 5) {
      case 0:
      case 1:
        count = source.SetPrefix(std::u16string(1, c));
        break;
      case 2:
      case 3:
        count = source.AppendLetter(c);
        break;
      case 4:
        count = source.NextPage();
        break;
      case 5:
        count = source.NextWords();
        break;
      case 6:
        history.Write(kWords[op % 5]);
        source.SetContext(history);
        break;
      default:
        history.EndSentence();
        source.SetContext(history);
        break;
    }
    if (count > TabSource::kPageSize || source.PageCount() > TabSource::kPageSize) __builtin_trap();
    for (size_t i = 0; i < source.PageCount(); ++i) {
      const std::u16string word = source.CandidateWord(i);
      if (word.size() <= minWordLength || word.compare(0, source.prefix().size(), source.prefix()) != 0) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
