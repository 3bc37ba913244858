// Random or damaged learned stores: read in place, loaded, and used by the learning order. Nothing may
// crash or read outside the bytes; a store that loads must serialise to a form that loads again to the
// same bytes; what a ranked page offers must begin with the prefix.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/learned_store.h"
#include "common/rank_view.h"
#include "lookup/tab_source.h"

namespace {

using namespace quillet;

struct Base {
  std::vector<uint8_t> dictionary, rank, learned;
  DictionaryView view;
  RankView rankView;
};

const Base& TheBase() {
  static const Base base = [] {
    Base b;
    std::vector<std::u16string> keys{u"alpha", u"alps", u"beta", u"bet", u"gamma", u"game", u"the", u"then"};
    b.dictionary = testing::BuildDictionaryImage(keys);
    DictionaryView::FromFile(b.dictionary.data(), b.dictionary.size(), &b.view);
    b.rank = EncodeRankData(DictionaryFingerprint(b.view), {500, 400, 300, 200, 100, 600, 50, 700}, {});
    RankView::FromBytes(b.rank.data(), b.rank.size(), &b.rankView);
    LearnedStore store;
    const char16_t* text[] = {u"the", u"alpha", u"Zeta", u"game", u"the", u"Zeta", u"don't", u"then"};
    std::u16string previous;
    for (const char16_t* w : text) {
      store.Learn(previous, w);
      previous = w;
    }
    b.learned = store.Serialize();
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

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const Base& base = TheBase();
  std::vector<uint8_t> bytes;
  const uint8_t* rest = data + 1;
  const size_t restSize = size - 1;
  if (data[0] & 1) {
    bytes = base.learned;
    for (size_t k = 0; k + 3 <= restSize; k += 3) bytes[(rest[k] << 8 | rest[k + 1]) % bytes.size()] = rest[k + 2];
    if (restSize % 3 == 2) bytes.resize((rest[restSize - 2] << 8 | rest[restSize - 1]) % bytes.size());
  } else {
    bytes.assign(rest, rest + restSize);
  }
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.empty() ? 1 : bytes.size()]);
  if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());

  LearnedView view;
  if (LearnedView::FromBytes(copy.get(), bytes.size(), &view)) {
    for (uint32_t i = 0; i < view.count() && i < 4096; ++i) {
      LearnedRecord r;
      if (view.Record(i, &r)) (void)r.key.ToString();
    }
    uint32_t first, end;
    view.PrefixRange(u"th", &first, &end);
    Check(first <= end && end <= view.count());
    for (uint32_t k = 0; k < view.rankedCount(); ++k) Check(view.Ranked(k) == kNone || view.Ranked(k) < view.count());

    LearnedStore store;
    if (store.Load(copy.get(), bytes.size())) {
      const std::vector<uint8_t> again = store.Serialize();
      LearnedStore second;
      Check(second.Load(again.data(), again.size()));
      Check(second.Serialize() == again);
      store.Learn(u"the", u"alps");
      (void)store.Forget(u"the");
    }

    const RankingData ranking{&base.rankView, &view};
    TabSource source(std::make_unique<Access>(base.view, ranking), data[0] >> 6);
    source.SetOrder(CandidateOrder::kLearning);
    WordHistory history;
    for (const char16_t* prefix : {u"a", u"t", u"z", u"ga", u""}) {
      history.Write(u"the");
      source.SetContext(history);
      const size_t count = prefix[0] == 0 ? source.NextWords() : source.SetPrefix(prefix);
      Check(count <= TabSource::kPageSize);
      for (size_t i = 0; i < source.PageCount(); ++i) {
        const std::u16string word = source.CandidateWord(i);
        Check(word.compare(0, source.prefix().size(), source.prefix()) == 0);
      }
    }
  }
  return 0;
}
