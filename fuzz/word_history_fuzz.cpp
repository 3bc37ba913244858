// Any document text before the composition, as the text service reads it (UTF-16, any units, a
// document start or not), turned into the words before the typed one and used by a ranked source; and
// the same text as written, split into the words reported for learning. The history holds at most two
// tokens, each a word of the text or a sentence start; text read in pieces split at a blank gives the
// history of the whole; ranked pages offer only what begins with the prefix.
// First input byte: bit 0 the document start, bits 1-7 where a second piece begins; then the text.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/le.h"
#include "common/learn_inbox.h"
#include "common/learned_store.h"
#include "common/rank_view.h"
#include "lookup/tab_source.h"
#include "lookup/word_history.h"

namespace {

using namespace quillet;

struct Base {
  std::vector<uint8_t> dictionary, rank, learned;
  DictionaryView view;
  RankView rankView;
  LearnedView learnedView;
};

const Base& TheBase() {
  static const Base base = [] {
    Base b;
    // 0 alpha, 1 alps, 2 bet, 3 beta, 4 game, 5 gamma, 6 the, 7 then
    b.dictionary = testing::BuildDictionaryImage(
        std::vector<std::u16string>{u"alpha", u"alps", u"bet", u"beta", u"game", u"gamma", u"the", u"then"});
    DictionaryView::FromFile(b.dictionary.data(), b.dictionary.size(), &b.view);
    const std::vector<RankContext> contexts{{kNoWord, 6, -100, {{0, 100}, {4, 50}}},
                                            {kNoWord, kSentenceStart, 0, {{6, 10}}},
                                            {6, 0, -50, {{3, 20}}},
                                            {kSentenceStart, 6, -20, {{5, 5}}}};
    b.rank = EncodeRankData(DictionaryFingerprint(b.view), {500, 400, 300, 200, 100, 600, 50, 700}, contexts);
    RankView::FromBytes(b.rank.data(), b.rank.size(), &b.rankView);
    LearnedStore store;
    store.Learn(u"", u"the", true);
    store.Learn(u"the", u"zeta");
    store.Learn(u"zeta", u"gamma");
    store.Learn(u"the", u"zeta");
    b.learned = store.Serialize();
    LearnedView::FromBytes(b.learned.data(), b.learned.size(), &b.learnedView);
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

bool SameHistory(const WordHistory& a, const WordHistory& b) {
  return a.count() == b.count() && a.last() == b.last() && a.lastIsStart() == b.lastIsStart() &&
         (a.count() < 2 || (a.older() == b.older() && a.olderIsStart() == b.olderIsStart()));
}

void CheckToken(const std::u16string& text, const std::u16string& word, bool start) {
  if (start) {
    Check(word.empty());
    return;
  }
  Check(!word.empty() && text.find(word) != std::u16string::npos);
  Check(word.front() != u'-' && word.back() != u'-' && word.find(u"--") == std::u16string::npos);
  for (char16_t c : word) Check(c != u' ' && c != u'.' && c != u'\n' && c != u'\r' && c != u'!' && c != u'?');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool atStart = (data[0] & 1) != 0;
  std::u16string text;
  for (size_t i = 1; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(LoadU16(data + i)));

  const WordHistory history = HistoryFromText(text, atStart);
  Check(history.count() >= 1 && history.count() <= 2);
  CheckToken(text, history.last(), history.lastIsStart());
  if (history.count() == 2) CheckToken(text, history.older(), history.olderIsStart());

  // What Quillet remembers of its own commits, piece by piece, reads as the document does when the
  // pieces meet at a blank.
  const size_t cut = std::min<size_t>(data[0] >> 1, text.size());
  if (atStart && cut > 0 && text[cut - 1] == u' ') {
    WordHistory pieces;
    pieces.WriteText(std::u16string_view(text).substr(0, cut));
    pieces.WriteText(std::u16string_view(text).substr(cut));
    Check(SameHistory(pieces, history));
  }

  const Base& base = TheBase();
  const RankingData ranking{&base.rankView, &base.learnedView};
  TabSource source(std::make_unique<Access>(base.view, ranking), 0);
  source.SetOrder((data[0] & 2) != 0 ? CandidateOrder::kLearning : CandidateOrder::kFrequent);
  source.SetContext(history);
  Check(source.NextWords() <= TabSource::kPageSize);
  const std::u16string prefix = history.lastIsStart() ? u"g" : history.last().substr(0, 1);
  Check(source.SetPrefix(prefix) <= TabSource::kPageSize);
  for (size_t i = 0; i < source.PageCount(); ++i) {
    const std::u16string word = source.CandidateWord(i);
    Check(word.compare(0, source.prefix().size(), source.prefix()) == 0);
  }

  // The same text as written: its words go to the learning inbox, and every record taken is a word.
  std::vector<uint8_t> inbox(kLearnInboxSize);
  InitLearnInbox(inbox.data(), inbox.size());
  size_t words = 0, ends = 0;
  SplitWords(
      text,
      [&](std::u16string_view word) {
        ++words;
        (void)AppendLearnEvent(inbox.data(), inbox.size(), LearnKind::kWord, word);
      },
      [&] {
        ++ends;
        (void)AppendLearnEvent(inbox.data(), inbox.size(), LearnKind::kSentenceEnd, u"");
      });
  size_t takenWords = 0, takenEnds = 0;
  for (const LearnEvent& e : TakeLearnEvents(inbox.data(), inbox.size())) {
    if (e.kind == LearnKind::kWord) {
      ++takenWords;
      CheckToken(text, e.word, false);
    } else {
      Check(e.kind == LearnKind::kSentenceEnd && e.word.empty());
      ++takenEnds;
    }
  }
  Check(takenWords <= words && takenEnds <= ends);
  return 0;
}
