// The lookup finds the first candidate of a run by binary search. On dictionaries in key order it must
// give exactly what the plain linear walk gives: the same candidates, order, pages and state.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/dict_format.h"
#include "common/dict_image_testing.h"
#include "lookup/lookup_testing.h"
#include "lookup/tab_source.h"

namespace quillet {
namespace {

// The index walk and the linear scan, written out step by step with no shortcut.
class LinearSource {
 public:
  LinearSource(const DictionaryView& view, uint16_t minWordLength) : view_(view), min_(minWordLength) { Reset(); }

  size_t SetPrefix(const std::u16string& text) {
    Reset();
    prefix_.clear();
    for (char16_t c : text) prefix_ += (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    for (char16_t c : prefix_) {
      if (!Descend(c)) break;
    }
    if (begin_ != kNone) begin_ = Scan(begin_, end_);
    return PageCount();
  }

  size_t AppendLetter(char16_t c) {
    if (begin_ == kNone) return 0;
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    prefix_ += c;
    offset_ = 0;
    words_.clear();
    entries_.clear();
    Descend(c);
    if (begin_ != kNone) begin_ = Scan(begin_, end_);
    return PageCount();
  }

  size_t NextPage() {
    const size_t remaining = words_.size() - offset_;
    if (remaining < 10) return 0;
    if (remaining > 10) {
      offset_ += 10;
      return PageCount();
    }
    const size_t before = words_.size();
    Scan(entries_.back() + 1, end_);
    const size_t count = words_.size() - before;
    if (count > 0) offset_ += 10;
    return count;
  }

  size_t PreviousPage() {
    if (offset_ == 0) return 0;
    offset_ -= 10;
    return 10;
  }

  size_t PageCount() const { return std::min<size_t>(words_.size() - offset_, 10); }
  std::vector<std::u16string> Page() const {
    return std::vector<std::u16string>(words_.begin() + offset_, words_.begin() + offset_ + PageCount());
  }
  uint32_t matchBegin() const { return begin_; }
  uint32_t matchEnd() const { return end_; }

 private:
  void Reset() {
    cursor_ = view_.nodeCount() > 0 ? 0 : kNone;
    begin_ = 0;
    end_ = view_.entryCount();
    offset_ = 0;
    words_.clear();
    entries_.clear();
  }

  bool Descend(char16_t c) {
    if (cursor_ == kNone) return false;
    IndexNode n;
    EXPECT_TRUE(view_.Node(cursor_, &n));
    cursor_ = kNone;
    if (c < u'a') {
      begin_ = n.rangeBegin;
      end_ = n.lettersBegin == kNone ? n.rangeEnd : n.lettersBegin;
      return false;
    }
    if (c > u'z') {
      begin_ = n.lettersEnd == kNone ? n.rangeBegin : n.lettersEnd;
      end_ = n.rangeEnd;
      return false;
    }
    const uint16_t slot = n.children[c - u'a'];
    if (slot == kChildAbsent) {
      begin_ = end_ = kNone;
      return false;
    }
    if (slot == kChildUnindexed) return false;
    IndexNode child;
    EXPECT_TRUE(view_.Node(slot, &child));
    begin_ = child.rangeBegin;
    end_ = child.rangeEnd;
    cursor_ = slot;
    return true;
  }

  uint32_t Scan(uint32_t from, uint32_t to) {
    if (from == kNone || from >= to) return kNone;
    uint32_t first = kNone;
    int made = 0;
    for (uint32_t i = from; i < to; ++i) {
      std::u16string key;
      TextRef ref;
      if (i < view_.entryCount() && view_.Key(i, &ref)) key = ref.ToString();
      if (key.size() <= min_) continue;
      const size_t n = std::min(key.size(), prefix_.size());
      size_t k = 0;
      while (k < n && key[k] == prefix_[k]) ++k;
      if (k < n) {
        if (key[k] < prefix_[k]) continue;
        break;
      }
      if (key.size() < prefix_.size()) continue;
      words_.push_back(key);
      entries_.push_back(i);
      if (first == kNone) first = i;
      if (++made == 10) break;
    }
    return first;
  }

  const DictionaryView& view_;
  uint16_t min_;
  std::u16string prefix_;
  uint32_t cursor_ = kNone;
  uint32_t begin_ = kNone;
  uint32_t end_ = kNone;
  size_t offset_ = 0;
  std::vector<std::u16string> words_;
  std::vector<uint32_t> entries_;
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

TEST(TabSourceProperty, BinarySearchMatchesTheLinearScanOnSortedDictionaries) {
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
    auto fast = testing::MakeSource(image, minLength);
    LinearSource slow(view, minLength);
    for (int step = 0; step < 60; ++step) {
      const int op = ops(rng);
      size_t a = 0, b = 0;
      if (op < 2) {
        const std::u16string text = step % 7 == 0 ? std::u16string() : RandomText(rng, 3, narrow);
        a = fast->SetPrefix(text);
        b = slow.SetPrefix(text);
      } else if (op < 6) {
        const char16_t c = RandomChar(rng, narrow);
        a = fast->AppendLetter(c);
        b = slow.AppendLetter(c);
      } else if (op < 9) {
        a = fast->NextPage();
        b = slow.NextPage();
      } else {
        a = fast->PreviousPage();
        b = slow.PreviousPage();
      }
      ASSERT_EQ(a, b) << "round " << round << " step " << step << " op " << op;
      ASSERT_EQ(fast->matchBegin(), slow.matchBegin()) << "round " << round << " step " << step;
      ASSERT_EQ(fast->matchEnd(), slow.matchEnd()) << "round " << round << " step " << step;
      std::vector<std::u16string> page;
      for (size_t i = 0; i < fast->PageCount(); ++i) page.push_back(fast->CandidateWord(i));
      ASSERT_EQ(page, slow.Page()) << "round " << round << " step " << step;
    }
  }
  // The generator must have produced the interesting shapes.
  EXPECT_GT(withNodes, 20);
  EXPECT_GE(withFullTable, 3);
}

}  // namespace
}  // namespace quillet
