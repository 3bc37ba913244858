#include "lexforge/builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/dictionary_view.h"
#include "lexforge/test_files.h"
#include "platform/process.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace quillet::lexforge {
namespace {

using testing::Bytes;
using testing::ReadAll;
using testing::TempDir;
using testing::Utf16;
using testing::WriteAll;

// Builds expected file images field by field.
struct Image {
  Bytes bytes;
  Image& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Image& Text(const std::u16string& s) {
    bytes.push_back(static_cast<uint8_t>(s.size()));
    bytes.push_back(static_cast<uint8_t>(s.size() >> 8));
    const Bytes units = Utf16(s, false);
    bytes.insert(bytes.end(), units.begin(), units.end());
    return *this;
  }
};

std::u16string Lines(const std::vector<std::u16string>& keys) {
  std::u16string text;
  for (const auto& k : keys) text += k + u"\r\n";
  return text;
}

class BuilderTest : public ::testing::Test {
 protected:
  // Writes `text` as a word list, converts it to "words.dict" and returns the result.
  Result Build(const std::u16string& text, BuildReport* report = nullptr) {
    WriteAll(dir_.Path("words.txt"), Utf16(text));
    return ConvertTextToDictionary(dir_.U16("words.dict"), dir_.U16("words.txt"), report);
  }
  Bytes Dictionary() { return ReadAll(dir_.Path("words.dict")); }
  bool NoSideFiles() {
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path("."))) {
      const std::string name = entry.path().filename().string();
      if (name != "words.dict" && name.find("words.") == 0 && name.find(".txt") == std::string::npos) return false;
    }
    return true;
  }
  // The name the new dictionary has until it is complete.
  std::string Temporary() { return "words.dict.tmp-" + std::to_string(platform::CurrentProcessId()); }

  TempDir dir_;
};

TEST_F(BuilderTest, WorkedExampleByteForByte) {
  ASSERT_EQ(Build(u"cat\tCat\t\tan animal\r\ndon't\r\n"), Result::kSuccess);
  Image expected;
  expected.U32(0).U32(2).U32(0xFFFFFFFF).U32(0).U32(24).U32(42);
  expected.U32(0).U32(0).U32(8).U32(30).U32(0xFFFFFFFF).U32(0xFFFFFFFF);
  expected.Text(u"cat").Text(u"dont");
  expected.Text(u"Cat").Text(u"").Text(u"an animal");
  expected.Text(u"don't").Text(u"don't").Text(u"");
  ASSERT_EQ(expected.bytes.size(), 122u);
  EXPECT_EQ(Dictionary(), expected.bytes);
  EXPECT_TRUE(NoSideFiles());
}

TEST_F(BuilderTest, SmallDictionariesWithoutInfoOrIndex) {
  // One entry: terminator present, no info area.
  ASSERT_EQ(Build(u"a"), Result::kSuccess);
  Image one;
  one.U32(0).U32(1).U32(0xFFFFFFFF).U32(0).U32(16).U32(0xFFFFFFFF);
  one.U32(0).U32(0xFFFFFFFF).U32(0xFFFFFFFF).U32(0xFFFFFFFF).Text(u"a");
  EXPECT_EQ(Dictionary(), one.bytes);

  // The longest key: 10240 bytes in the key area.
  ASSERT_EQ(Build(std::u16string(5119, u'k')), Result::kSuccess);
  EXPECT_EQ(Dictionary().size(), 24u + 16u + 10240u);

  // 99 entries: no node table.
  std::vector<std::u16string> keys;
  for (int i = 0; i < 99; ++i) keys.push_back(u"w" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)));
  std::sort(keys.begin(), keys.end());
  ASSERT_EQ(Build(Lines(keys)), Result::kSuccess);
  Bytes file = Dictionary();
  DictionaryView view;
  ASSERT_TRUE(DictionaryView::FromFile(file.data(), file.size(), &view));
  EXPECT_EQ(view.nodeCount(), 0u);
  EXPECT_EQ(view.header().nodeTableOffset, kNone);

  // 100 entries: the root alone, its large 'w' group unindexed for lack of room.
  keys.push_back(u"wz");
  std::sort(keys.begin(), keys.end());
  ASSERT_EQ(Build(Lines(keys)), Result::kSuccess);
  file = Dictionary();
  ASSERT_TRUE(DictionaryView::FromFile(file.data(), file.size(), &view));
  ASSERT_EQ(view.nodeCount(), 1u);
  IndexNode root;
  ASSERT_TRUE(view.Node(0, &root));
  EXPECT_EQ(root.rangeEnd, 100u);
  for (size_t l = 0; l < kIndexLetters; ++l) {
    EXPECT_EQ(root.children[l], l == u'w' - u'a' ? kChildUnindexed : kChildAbsent) << l;
  }
}

// Checks every node against the keys: ranges, letter groups, the outer runs, depth-first numbering,
// and that a large group goes unindexed only once the table is full.
void CheckIndex(const DictionaryView& view, const std::vector<std::u16string>& keys) {
  const uint32_t full = view.entryCount() / 100;
  uint32_t visited = 0;
  auto visit = [&](uint32_t k) {
    EXPECT_EQ(k, visited) << "nodes are numbered depth first";
    ++visited;
  };
  ASSERT_GT(view.nodeCount(), 0u);
  visit(0);
  IndexNode root;
  ASSERT_TRUE(view.Node(0, &root));
  EXPECT_EQ(root.rangeBegin, 0u);
  EXPECT_EQ(root.rangeEnd, keys.size());
  // Walk in the order the builder made the nodes: a node's children before its next sibling.
  std::function<void(uint32_t, uint32_t)> walk = [&](uint32_t k, uint32_t d) {
    IndexNode n;
    ASSERT_TRUE(view.Node(k, &n));
    uint32_t first = kNone, last = kNone;
    for (size_t l = 0; l < kIndexLetters; ++l) {
      const char16_t letter = static_cast<char16_t>(u'a' + l);
      uint32_t g0 = kNone, g1 = kNone;
      for (uint32_t i = n.rangeBegin; i < n.rangeEnd; ++i) {
        if (keys[i].size() > d && keys[i][d] == letter) {
          if (g0 == kNone) g0 = i;
          g1 = i + 1;
        }
      }
      const uint16_t slot = n.children[l];
      if (g0 == kNone) {
        EXPECT_EQ(slot, kChildAbsent);
        continue;
      }
      if (first == kNone) first = g0;
      last = g1;
      if (slot == kChildUnindexed) {
        if (g1 - g0 >= 100) {
          EXPECT_EQ(visited, full) << "a large group left out while there was room";
        }
        continue;
      }
      ASSERT_LT(slot, view.nodeCount());
      IndexNode child;
      ASSERT_TRUE(view.Node(slot, &child));
      EXPECT_EQ(child.rangeBegin, g0);
      EXPECT_EQ(child.rangeEnd, g1);
      visit(slot);
      walk(slot, d + 1);
    }
    EXPECT_EQ(n.lettersBegin, first);
    EXPECT_EQ(n.lettersEnd, last);
    if (first != kNone) {
      for (uint32_t i = n.rangeBegin; i < first; ++i) EXPECT_TRUE(keys[i].size() <= d || keys[i][d] < u'a');
      for (uint32_t i = last; i < n.rangeEnd; ++i) EXPECT_TRUE(keys[i].size() > d && keys[i][d] > u'z');
    }
  };
  walk(0, 0);
  EXPECT_EQ(visited, view.nodeCount());
  EXPECT_LE(view.nodeCount(), full);
}

TEST_F(BuilderTest, IndexMatchesKeysOfRandomSortedLists) {
  // Skewed letters make deep, large groups; digits, capitals and accents fill the outer runs. The
  // long runs of one letter nest so many large groups that the node table fills.
  struct List {
    std::u16string alphabet;
    int size, maxLength;
  };
  std::mt19937 random(7);
  for (const List& list :
       {List{u"aaaaabbbbcccdde0Z\u00e9fghijklmnopqrstuvwxyz", 6000, 7}, List{u"aaaaaaaaab", 1000, 14}}) {
    std::vector<std::u16string> keys;
    for (int i = 0; i < list.size; ++i) {
      std::u16string k;
      const int length = 1 + static_cast<int>(random() % list.maxLength);
      for (int c = 0; c < length; ++c) k += list.alphabet[random() % list.alphabet.size()];
      keys.push_back(k);
    }
    std::sort(keys.begin(), keys.end());
    ASSERT_EQ(Build(Lines(keys)), Result::kSuccess);
    const Bytes file = Dictionary();
    DictionaryView view;
    ASSERT_TRUE(DictionaryView::FromFile(file.data(), file.size(), &view));
    ASSERT_EQ(view.entryCount(), keys.size());
    CheckIndex(view, keys);
    if (list.maxLength == 14) {
      EXPECT_EQ(view.nodeCount(), keys.size() / 100) << "the table filled";
    }
    for (uint32_t i = 0; i < view.entryCount(); ++i) {
      TextRef key;
      ASSERT_TRUE(view.Key(i, &key));
      ASSERT_EQ(key.ToString(), keys[i]);
    }
    // The conversion in memory gives the same bytes.
    const Bytes text = Utf16(Lines(keys));
    std::vector<uint8_t> image;
    ASSERT_EQ(BuildDictionaryInMemory(text.data(), text.size(), &image), Result::kSuccess);
    EXPECT_EQ(image, file);
  }
}

TEST_F(BuilderTest, FailuresLeaveNoDictionaryAndNoSideFiles) {
  EXPECT_EQ(Build(u""), Result::kNoEntry);
  EXPECT_EQ(Build(u"\r\n\r\n\r\n"), Result::kNoEntry);
  EXPECT_EQ(Build(u"'\r\n-"), Result::kNoEntry);
  EXPECT_FALSE(testing::Exists(dir_.Path("words.dict")));
  EXPECT_TRUE(NoSideFiles());

  WriteAll(dir_.Path("bare.txt"), Utf16(u"cat\r\n", false));
  EXPECT_EQ(ConvertTextToDictionary(dir_.U16("words.dict"), dir_.U16("bare.txt")), Result::kNoByteOrderMark);
  WriteAll(dir_.Path("empty.txt"), {});
  EXPECT_EQ(ConvertTextToDictionary(dir_.U16("words.dict"), dir_.U16("empty.txt")), Result::kMappingCreateFailed);
  BuildReport report;
  EXPECT_EQ(ConvertTextToDictionary(dir_.U16("words.dict"), dir_.U16("missing.txt"), &report), Result::kFileOpenFailed);
  EXPECT_NE(report.osError, 0u);
  EXPECT_FALSE(testing::Exists(dir_.Path("words.dict")));
  EXPECT_TRUE(NoSideFiles());
}

TEST_F(BuilderTest, FailedConversionKeepsTheOldDictionary) {
  ASSERT_EQ(Build(u"old\r\n"), Result::kSuccess);
  const Bytes old = Dictionary();
  WriteAll(dir_.Path("bare.txt"), Utf16(u"new\r\n", false));
  EXPECT_EQ(ConvertTextToDictionary(dir_.U16("words.dict"), dir_.U16("bare.txt")), Result::kNoByteOrderMark);
  EXPECT_EQ(Dictionary(), old);

  // The new dictionary cannot even be started: the temporary name is taken by a folder.
  std::filesystem::create_directory(dir_.Path(Temporary()));
  WriteAll(dir_.Path("new.txt"), Utf16(u"new\r\n"));
  EXPECT_EQ(ConvertTextToDictionary(dir_.U16("words.dict"), dir_.U16("new.txt")), Result::kFileWriteFailed);
  EXPECT_EQ(Dictionary(), old);
  std::filesystem::remove(dir_.Path(Temporary()));
  EXPECT_TRUE(NoSideFiles());
}

#ifndef _WIN32
TEST_F(BuilderTest, WriteFailureKeepsTheOldDictionary) {
  ASSERT_EQ(Build(u"old\r\n"), Result::kSuccess);
  const Bytes old = Dictionary();
  // A list whose side files each stay below the file-size limit while the dictionary goes beyond it.
  std::u16string text;
  for (int i = 0; i < 3000; ++i) {
    text += u"w" + std::u16string(5, static_cast<char16_t>(u'a' + i % 26)) + u"\tdisplay text " +
            std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u"\r\n";
  }
  WriteAll(dir_.Path("big.txt"), Utf16(text));
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = saved;
  limited.rlim_cur = 100000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const Result r = ConvertTextToDictionary(dir_.U16("words.dict"), dir_.U16("big.txt"));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(r, Result::kFileWriteFailed);
  EXPECT_EQ(Dictionary(), old);
  EXPECT_TRUE(NoSideFiles());
}
#endif

TEST_F(BuilderTest, NamesComeFromTheDestination) {
  WriteAll(dir_.Path("list.txt"), Utf16(u"cat\r\n"));
  ASSERT_EQ(ConvertTextToDictionary(dir_.U16("words.txt"), dir_.U16("list.txt")), Result::kSuccess);
  EXPECT_TRUE(testing::Exists(dir_.Path("words.dict")));
  EXPECT_FALSE(testing::Exists(dir_.Path("words.txt")));
  EXPECT_TRUE(NoSideFiles());

  // A source that carries a side file's name cannot be replaced by one, and is not deleted with them.
  const Bytes list = Utf16(u"cat\r\n");
  WriteAll(dir_.Path("words.lst"), list);
  EXPECT_EQ(ConvertTextToDictionary(dir_.U16("words.txt"), dir_.U16("words.lst")), Result::kFileOpenFailed);
  EXPECT_EQ(ReadAll(dir_.Path("words.lst")), list);

  EXPECT_EQ(ReplaceExtension(u"archive.tar.gz", u".pos"), u"archive.tar.pos");
  EXPECT_EQ(ReplaceExtension(u"C:\\my.lists\\words", u".dict"), u"C:\\my.lists\\words.dict");
  EXPECT_EQ(ReplaceExtension(u"my.big list", u".dict"), u"my.big list.dict");
}

TEST_F(BuilderTest, ReportsWhatLookupsWillMiss) {
  BuildReport report;
  ASSERT_EQ(Build(u"apple\r\nbanana\r\nApple\r\ncherry\r\n\r\nberry\r\ndog\r\ndog\r\n", &report), Result::kSuccess);
  EXPECT_EQ(report.entries, 7u);
  EXPECT_EQ(report.skippedLines, 1u);
  EXPECT_EQ(report.unsortedKeys, 2u);  // Apple after banana, berry after cherry; equal keys are fine
  EXPECT_EQ(report.firstUnsortedLine, 3u);
  EXPECT_EQ(report.uppercaseKeys, 1u);
  EXPECT_EQ(report.firstUppercaseLine, 3u);
  // The entries keep the order of the lines.
  const Bytes file = Dictionary();
  DictionaryView view;
  ASSERT_TRUE(DictionaryView::FromFile(file.data(), file.size(), &view));
  TextRef key;
  ASSERT_TRUE(view.Key(2, &key));
  EXPECT_EQ(key.ToString(), u"Apple");
  ASSERT_TRUE(view.Key(6, &key));
  EXPECT_EQ(key.ToString(), u"dog");
}

}  // namespace
}  // namespace quillet::lexforge
