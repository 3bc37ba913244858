// The lookup walks the index and finds the first candidate of a run by binary search. On dictionaries
// in key order it must offer exactly the keys that begin with the prefix, in order, page by page.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/dict_format.h"
#include "common/dict_image_testing.h"
#include "common/utf16.h"
#include "lookup/lookup_testing.h"
#include "lookup/tab_source.h"

namespace quillet {
namespace {

// What a source must offer on a dictionary in key order, found by reading every key: those longer
// than the minimum that begin with the folded prefix, in dictionary order, ten to a page.
class AllKeys {
 public:
  AllKeys(const std::vector<std::u16string>& keys, uint16_t minWordLength) : keys_(keys), min_(minWordLength) {}

  size_t SetPrefix(const std::u16string& text) {
    prefix_.clear();
    for (char16_t c : text) prefix_ += FoldLower(c);
    return Find();
  }
  size_t AppendLetter(char16_t c) {
    if (!alive_) return 0;  // after a prefix without matches, nothing until the next SetPrefix
    prefix_ += FoldLower(c);
    return Find();
  }
  size_t NextPage() {
    if (offset_ + 10 >= run_.size()) return 0;
    offset_ += 10;
    return PageCount();
  }
  size_t PreviousPage() {
    if (offset_ == 0) return 0;
    offset_ -= 10;
    return 10;
  }
  size_t PageCount() const { return std::min<size_t>(run_.size() - offset_, 10); }
  std::vector<std::u16string> Page() const {
    std::vector<std::u16string> page;
    for (size_t i = offset_; i < offset_ + PageCount(); ++i) page.push_back(keys_[run_[i]]);
    return page;
  }

 private:
  size_t Find() {
    run_.clear();
    offset_ = 0;
    for (uint32_t i = 0; i < keys_.size(); ++i) {
      if (keys_[i].size() > min_ && keys_[i].compare(0, prefix_.size(), prefix_) == 0) run_.push_back(i);
    }
    alive_ = !run_.empty();
    return PageCount();
  }

  const std::vector<std::u16string>& keys_;
  uint16_t min_;
  std::u16string prefix_;
  std::vector<uint32_t> run_;
  size_t offset_ = 0;
  bool alive_ = true;
};

// Skewed letters so that some groups are large enough for nodes and others stay small; the narrow
// alphabet nests deep groups, so that the node table fills before later letters are reached.
char16_t RandomChar(std::mt19937& rng, bool narrow) {
  static const char16_t kWide[] = u"aaaaaaaabbbbbcccdeeeeeffghijklmnopqrstuvwxyz0A'\u00e9z";
  static const char16_t kNarrow[] = u"aaaaaaabbbbbcz0\u00e9";
  const char16_t* chars = narrow ? kNarrow : kWide;
  const size_t count = narrow ? sizeof(kNarrow) / 2 - 1 : sizeof(kWide) / 2 - 1;
  std::uniform_int_distribution<size_t> pick(0, count - 1);
  return chars[pick(rng)];
}

std::u16string RandomText(std::mt19937& rng, size_t maxLength, bool narrow) {
  std::uniform_int_distribution<size_t> len(1, maxLength);
  std::u16string s;
  for (size_t n = len(rng); n > 0; --n) s += RandomChar(rng, narrow);
  return s;
}

TEST(TabSourceProperty, OffersExactlyTheMatchingKeysOnSortedDictionaries) {
  std::mt19937 rng(20261206);
  std::uniform_int_distribution<int> sizes(0, 3000);
  std::uniform_int_distribution<int> minLengths(0, 4);
  std::uniform_int_distribution<int> ops(0, 9);
  int withNodes = 0, withFullTable = 0;
  for (int round = 0; round < 120; ++round) {
    std::vector<std::u16string> keys;
    const int n = round < 5 ? round : sizes(rng);
    const bool narrow = round % 2 == 1;
    for (int i = 0; i < n; ++i) keys.push_back(RandomText(rng, narrow ? 14 : 7, narrow));
    std::sort(keys.begin(), keys.end());
    const auto image = testing::BuildDictionaryImage(keys);
    DictionaryView view;
    ASSERT_TRUE(DictionaryView::FromFile(image.data(), image.size(), &view));
    if (view.nodeCount() > 1) ++withNodes;
    if (view.nodeCount() > 0 && view.nodeCount() == keys.size() / 100) ++withFullTable;

    const uint16_t minLength = static_cast<uint16_t>(minLengths(rng));
    auto source = testing::MakeSource(image, minLength);
    AllKeys all(keys, minLength);
    for (int step = 0; step < 60; ++step) {
      const int op = ops(rng);
      size_t a = 0, b = 0;
      if (op < 2) {
        const std::u16string text = step % 7 == 0 ? std::u16string() : RandomText(rng, 3, narrow);
        a = source->SetPrefix(text);
        b = all.SetPrefix(text);
      } else if (op < 6) {
        const char16_t c = RandomChar(rng, narrow);
        a = source->AppendLetter(c);
        b = all.AppendLetter(c);
      } else if (op < 9) {
        a = source->NextPage();
        b = all.NextPage();
      } else {
        a = source->PreviousPage();
        b = all.PreviousPage();
      }
      ASSERT_EQ(a, b) << "round " << round << " step " << step << " op " << op;
      std::vector<std::u16string> page;
      for (size_t i = 0; i < source->PageCount(); ++i) page.push_back(source->CandidateWord(i));
      ASSERT_EQ(page, all.Page()) << "round " << round << " step " << step;
    }
  }
  // The generator must have produced the interesting shapes.
  EXPECT_GT(withNodes, 20);
  EXPECT_GE(withFullTable, 3);
}

}  // namespace
}  // namespace quillet
