#include "lookup/text_file_learning.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/utf16.h"
#include "platform/files_testing.h"

namespace quillet {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

std::vector<uint8_t> Utf8(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> Utf16(std::u16string_view s, bool little) {
  std::vector<uint8_t> b{static_cast<uint8_t>(little ? 0xFF : 0xFE), static_cast<uint8_t>(little ? 0xFE : 0xFF)};
  for (char16_t c : s) {
    b.push_back(static_cast<uint8_t>(little ? c & 0xFF : c >> 8));
    b.push_back(static_cast<uint8_t>(little ? c >> 8 : c & 0xFF));
  }
  return b;
}

struct Learned {
  LearnFileResult result;
  uint32_t words = 0, sentences = 0;
  LearnedStore store;
};

Learned LearnBytes(const TempFolder& folder, const std::vector<uint8_t>& bytes, size_t step) {
  const std::u16string path = folder.File(u"text.txt");
  WriteBytes(path, bytes);
  Learned l;
  TextFileLearning learning(&l.store);
  l.result = learning.Open(path);
  while (learning.Step(step)) {
  }
  l.result = learning.progress().result;
  l.words = learning.progress().words;
  l.sentences = learning.progress().sentences;
  return l;
}

// Whether the store holds the pair `first` `second` (keys as the store keeps them).
bool HasPair(const LearnedStore& store, std::u16string_view first, std::u16string_view second) {
  const std::vector<uint8_t> bytes = store.Serialize();
  LearnedView view;
  if (!LearnedView::FromBytes(bytes.data(), bytes.size(), &view)) return false;
  uint32_t a = 0, b = 0;
  view.PrefixRange(std::u16string(first) + kPairSeparator + std::u16string(second), &a, &b);
  return b > a;
}

// Every encoding gives the same words, pairs and sentences, read whole or a byte at a time (sequences
// and words split between reads).
TEST(TextFileLearning, EveryEncodingLearnsTheSameWhateverTheSteps) {
  TempFolder folder;
  const std::u16string text = u"Zo\u00EB met \u00C5ngstr\u00F6m at 10. Zo\u00EB left\r\nearly \U0001D400x!\r\n";
  const std::string utf8 = ToUtf8(text);
  const std::vector<std::vector<uint8_t>> files{Utf8(utf8), Utf8("\xEF\xBB\xBF" + utf8), Utf16(text, true),
                                                Utf16(text, false)};
  const Learned reference = LearnBytes(folder, files[0], 1 << 16);
  ASSERT_EQ(reference.result, LearnFileResult::kLearned);
  EXPECT_EQ(reference.words, 8u) << "10 is not a word";
  EXPECT_EQ(reference.sentences, 2u);
  EXPECT_EQ(reference.store.Uses(u"Zo\u00EB"), 2u);
  EXPECT_TRUE(HasPair(reference.store, u"left", u"early")) << "a wrapped line is no sentence end";
  for (const auto& bytes : files) {
    for (size_t step : {size_t{1}, size_t{3}, size_t{1} << 16}) {
      const Learned l = LearnBytes(folder, bytes, step);
      EXPECT_EQ(l.result, LearnFileResult::kLearned);
      EXPECT_EQ(l.words, reference.words);
      EXPECT_EQ(l.store.Serialize(), reference.store.Serialize()) << "step " << step;
    }
  }
}

TEST(TextFileLearning, EmptyLinesEndSentencesAndUnreadableBytesSpoilOnlyTheirWord) {
  TempFolder folder;
  const Learned l = LearnBytes(folder, Utf8("alpha\nbeta\n\ngamma b\xFF\xFEta delta \xE2\x82 x"), 5);
  ASSERT_EQ(l.result, LearnFileResult::kLearned);
  EXPECT_TRUE(HasPair(l.store, u"alpha", u"beta"));
  EXPECT_FALSE(HasPair(l.store, u"beta", u"gamma"));
  EXPECT_EQ(l.sentences, 2u);
  EXPECT_GT(l.store.Weight(u"delta"), 0);
  EXPECT_EQ(l.words, 5u) << "alpha beta gamma delta x";
  const std::vector<uint8_t> bytes = l.store.Serialize();
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    ASSERT_FALSE(bytes[i] == 0xFD && bytes[i + 1] == 0xFF) << "no word with an unreadable character";
  }
}

TEST(TextFileLearning, FilesThatAreNotTextOrNotThereGiveAClearResult) {
  TempFolder folder;
  LearnedStore store;
  EXPECT_EQ(LearnBytes(folder, {'a', 'b', ' ', 0, 1, 2, 'c'}, 4).result, LearnFileResult::kNotText);
  EXPECT_EQ(LearnBytes(folder, Utf16(std::u16string(u"ab\0cd", 5), true), 64).result, LearnFileResult::kNotText);
  TextFileLearning learning(&store);
  EXPECT_EQ(learning.Open(folder.File(u"missing.txt")), LearnFileResult::kCannotOpen);
  EXPECT_NE(learning.progress().osError, 0u);
  EXPECT_FALSE(learning.Step());
  EXPECT_EQ(learning.Open(u"//server/share/notes.txt"), LearnFileResult::kNetworkPath);
  EXPECT_EQ(learning.Open(std::u16string(5000, u'a')), LearnFileResult::kCannotOpen) << "a path too long";
  // Larger than any writing of one's own: refused before a byte is read (a sparse file, quickly made).
  const std::u16string huge = folder.File(u"huge.txt");
  WriteBytes(huge, {'a'});
#ifndef _WIN32
  ASSERT_EQ(::truncate(ToUtf8(huge).c_str(), static_cast<off_t>(kMaxLearnFileBytes + 1)), 0);
  EXPECT_EQ(learning.Open(huge), LearnFileResult::kTooLarge);
  // A FIFO nobody writes would hold the reader for ever: refused without waiting.
  const std::u16string fifo = folder.File(u"fifo");
  ASSERT_EQ(::mkfifo(ToUtf8(fifo).c_str(), 0600), 0);
  EXPECT_EQ(learning.Open(fifo), LearnFileResult::kNotAFile);
#endif
  EXPECT_EQ(store.size(), 0u);
}

TEST(TextFileLearning, CancelStopsAndKeepsWhatWasLearned) {
  TempFolder folder;
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "word" + std::string(1, static_cast<char>('a' + i % 26)) + " ";
  const std::u16string path = folder.File(u"long.txt");
  WriteBytes(path, Utf8(text));
  LearnedStore store;
  TextFileLearning learning(&store);
  ASSERT_EQ(learning.Open(path), LearnFileResult::kLearned);
  EXPECT_EQ(learning.progress().total, text.size());
  ASSERT_TRUE(learning.Step(1000));
  learning.Cancel();
  EXPECT_TRUE(learning.finished());
  EXPECT_EQ(learning.progress().result, LearnFileResult::kCancelled);
  EXPECT_FALSE(learning.Step());
  EXPECT_LT(learning.progress().done, learning.progress().total);
  EXPECT_GT(store.size(), 0u);
}

}  // namespace
}  // namespace quillet
