#include "lexforge/lookup_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/rank_view.h"
#include "common/utf16.h"
#include "lexforge/test_files.h"
#include "platform/test_namespace.h"

namespace quillet {
namespace {

// Private blocks still use named events: kept away from a loader the user runs.
const bool kIsolated = testing::IsolateNamespace("lc");

class LookupCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.Path("lookup.dict").string();
    std::vector<testing::ImageEntry> entries{{u"ma", u"", u"", u""}};
    for (int i = 0; i < 25; ++i) {
      entries.push_back({u"mb" + std::u16string(1, static_cast<char16_t>(u'a' + i)), i == 0 ? u"Mba" : u"",
                         i == 0 ? u"m-ba" : u"", i == 0 ? u"caf\u00e9" : u""});
    }
    entries.push_back({u"n", u"", u"", u""});
    lexforge::testing::WriteAll(path_, testing::BuildDictionaryImage(entries));
  }
  int Run(std::vector<std::u16string> args) {
    out_.str("");
    err_.str("");
    args.insert(args.begin(), u"lookup");
    return RunLookupCommand(args, out_, err_);
  }
  std::u16string path() const { return FromUtf8(path_); }

  // Each process its own folder: under Wine two test processes can get the same addresses.
  lexforge::testing::TempDir dir_;
  std::string path_;
  std::ostringstream out_, err_;
};

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(LookupCommandTest, PrintsEveryPageWithItsTexts) {
  ASSERT_EQ(Run({path(), u"MB"}), 0) << err_.str();
  const std::string out = out_.str();
  EXPECT_EQ(Count(out, "# page "), 3u);
  EXPECT_NE(out.find("# page 3: 5 candidates\n"), std::string::npos);
  EXPECT_NE(out.find("mba\tMba\tm-ba\tcaf\xc3\xa9\n"), std::string::npos);
  EXPECT_NE(out.find("mbb\t\t\t\n"), std::string::npos);
  EXPECT_EQ(Count(out, "\n"), 3u + 25u);

  ASSERT_EQ(Run({u"--typed", path(), u"mb", u"--pages", u"1"}), 0);
  EXPECT_EQ(Count(out_.str(), "# page "), 1u);
  EXPECT_EQ(out_.str(), out.substr(0, out_.str().size()));  // typing gives what one lookup gives

  ASSERT_EQ(Run({path(), u"mb", u"--min-length", u"3"}), 0);
  EXPECT_NE(out_.str().find("# page 1: 0 candidates\n"), std::string::npos);
}

TEST_F(LookupCommandTest, ReportsFailuresWithTheirCode) {
  EXPECT_EQ(Run({path()}), 1);
  EXPECT_NE(err_.str().find("usage"), std::string::npos);
  EXPECT_EQ(Run({path(), u"a", u"--pages", u"0"}), 1);
  EXPECT_EQ(Run({path(), u"a", u"--tab", u"1"}), 1);
  EXPECT_EQ(Run({path() + u".missing", u"a"}), 10);
  EXPECT_NE(err_.str().find("result 10"), std::string::npos);
  lexforge::testing::WriteAll(path_, {1, 0, 0, 0, 0xFF, 0xFF, 0, 0});
  EXPECT_EQ(Run({path(), u"a"}), 27);
}

// The line protocol over a small ranked dictionary: ?PREFIX, ?, +WORD and . in each order.
class StdinLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = dir_.Path("stdin_lookup").string();
    // 0 quack, 1 quality, 2 quiet, 3 quite, 4 the
    entries_ = {{u"quack", u"", u"", u""},
                {u"quality", u"", u"", u""},
                {u"quiet", u"", u"", u""},
                {u"quite", u"", u"", u""},
                {u"the", u"The", u"The", u""}};
    dictionary_ = testing::BuildDictionaryImage(entries_);
    lexforge::testing::WriteAll(base_ + ".dict", dictionary_);
    DictionaryView view;
    ASSERT_TRUE(DictionaryView::FromFile(dictionary_.data(), dictionary_.size(), &view));
    std::vector<RankContext> contexts{{kNoWord, 4, -100, {{2, 100}}}};  // "quiet" after "the"
    lexforge::testing::WriteAll(base_ + ".rank",
                                EncodeRankData(DictionaryFingerprint(view), {6000, 3000, 3500, 2000, 500}, contexts));
  }
  int Run(const std::string& input, std::vector<std::u16string> options) {
    std::istringstream in(input);
    out_.str("");
    err_.str("");
    options.insert(options.begin(), {u"lookup", FromUtf8(base_ + ".dict"), u"--stdin"});
    return RunLookupCommand(options, in, out_, err_);
  }

  lexforge::testing::TempDir dir_;
  std::string base_;
  std::vector<testing::ImageEntry> entries_;
  std::vector<uint8_t> dictionary_;
  std::ostringstream out_, err_;
};

TEST_F(StdinLookupTest, AnswersLineByLine) {
  const std::string script = "?qu\n?\n+the\n?qu\n?\n.\n?t\n?zz\n";
  ASSERT_EQ(Run(script, {u"--order", u"frequent"}), 0) << err_.str();
  EXPECT_EQ(out_.str(),
            "quite\tquality\tquiet\tquack\n"  // the words alone
            "The\tquite\tquality\tquiet\tquack\n"
            "quiet\tquite\tquality\tquack\n"  // after "the"
            "quiet\tThe\tquite\tquality\tquack\n"
            "The\n\n");
  EXPECT_EQ(err_.str(), "");
  ASSERT_EQ(Run("?qu\n", {}), 0);  // dictionary order unless asked
  EXPECT_EQ(out_.str(), "quack\tquality\tquiet\tquite\n");
}

TEST_F(StdinLookupTest, LearningKeepsItsStoreInTheHistoryFile) {
  const std::u16string history = FromUtf8(base_ + ".hist");
  ASSERT_EQ(Run("+Quillet\n+Quillet\n", {u"--order", u"learning", u"--history", history}), 0) << err_.str();
  // The next run starts from what this one learnt; without --history nothing is kept.
  ASSERT_EQ(Run("?qu\n", {u"--order", u"learning", u"--history", history}), 0) << err_.str();
  EXPECT_NE(out_.str().find("Quillet"), std::string::npos);
  ASSERT_EQ(Run("?qu\n", {u"--order", u"learning"}), 0);
  EXPECT_EQ(out_.str(), "quite\tquality\tquiet\tquack\n");
  // A damaged store is set aside, not lost, and the run starts with nothing learnt.
  lexforge::testing::WriteAll(base_ + ".hist", {1, 2, 3});
  ASSERT_EQ(Run("?qu\n", {u"--order", u"learning", u"--history", history}), 0);
  EXPECT_NE(err_.str().find("damaged"), std::string::npos);
  EXPECT_TRUE(lexforge::testing::Exists(base_ + ".hist.damaged"));
}

// `lexforge learn --history` learns text files into the store that lookup --history reads, and says
// what it learned or why a file could not be.
TEST_F(StdinLookupTest, LearnFillsTheHistoryFileFromTextFiles) {
  const std::u16string history = FromUtf8(base_ + ".hist");
  const std::string text = "Quillet writes Quillet.";
  lexforge::testing::WriteAll(base_ + ".txt", std::vector<uint8_t>(text.begin(), text.end()));
  lexforge::testing::WriteAll(base_ + ".bin", {'a', 0, 'b'});
  std::ostringstream out, err;
  EXPECT_EQ(RunGeneratorCommand({u"learn", FromUtf8(base_ + ".txt"), u"--history", history}, out, err), 0) << err.str();
  EXPECT_EQ(out.str(), base_ + ".txt: learned 3 words, 1 sentences\n");
  ASSERT_EQ(Run("?qu\n", {u"--order", u"learning", u"--history", history}), 0) << err_.str();
  EXPECT_EQ(out_.str().substr(0, 8), "Quillet\t") << "written twice in the file";
  out.str("");
  EXPECT_EQ(RunGeneratorCommand({u"learn", FromUtf8(base_ + ".bin"), u"--history", history}, out, err), 1);
  EXPECT_NE(err.str().find("not a text file"), std::string::npos);
  EXPECT_EQ(RunGeneratorCommand({u"learn", u"--history", history}, out, err), 2);
}

// --match forgiving answers as a forgiving tab: a misspelling finds the word meant, ranked or not.
TEST_F(StdinLookupTest, ForgivingMatchFindsTheWordMeant) {
  // Nothing within a mistake of "qu" that does not begin with it: the exact page as it was.
  ASSERT_EQ(Run("?qiute\n?qu\n", {u"--order", u"frequent", u"--match", u"forgiving"}), 0) << err_.str();
  EXPECT_EQ(out_.str(), "quite\tquiet\nquite\tquality\tquiet\tquack\n");
  ASSERT_EQ(Run("?qiute\n", {u"--match", u"forgiving"}), 0) << err_.str();
  EXPECT_EQ(out_.str(), "quite\tquiet\n");
  ASSERT_EQ(Run("?qiute\n", {u"--order", u"frequent", u"--match", u"exact"}), 0);
  EXPECT_EQ(out_.str(), "\n");
  EXPECT_EQ(Run("", {u"--match", u"sloppy"}), 1);
}

TEST_F(StdinLookupTest, SaysWhyRankingDataIsNotUsedAndRefusesBadOptions) {
  entries_[0].display = u"Quack";  // the fingerprint changes with the texts
  lexforge::testing::WriteAll(base_ + ".dict", testing::BuildDictionaryImage(entries_));
  ASSERT_EQ(Run("?qu\n", {u"--order", u"frequent"}), 0);
  EXPECT_NE(err_.str().find("made for another dictionary"), std::string::npos);
  std::remove((base_ + ".rank").c_str());
  ASSERT_EQ(Run("?qu\n", {u"--order", u"frequent"}), 0);
  EXPECT_NE(err_.str().find("no ranking data"), std::string::npos);
  EXPECT_EQ(Run("", {u"--order", u"sideways"}), 1);
  EXPECT_EQ(Run("", {u"--history"}), 1);
}

// A stream whose every write fails for lack of memory, as a full heap would make it.
class OutOfMemoryBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { throw std::bad_alloc(); }
  std::streamsize xsputn(const char*, std::streamsize) override { throw std::bad_alloc(); }
};

TEST(GeneratorCommandTest, AnAllocationFailureAnywhereGivesTwentyOneAndSaysSo) {
  OutOfMemoryBuffer full;
  std::ostream out(&full);
  out.exceptions(std::ios::badbit);  // the stream passes the failure on, as an allocation would travel
  std::ostringstream err;
  EXPECT_EQ(RunGeneratorCommand({u"--help"}, out, err), 21);
  EXPECT_EQ(err.str(), "lexforge: out of memory\n");

  std::ostringstream help;
  EXPECT_EQ(RunGeneratorCommand({u"--help"}, help, err), 0);
  EXPECT_NE(help.str().find("lexforge lookup"), std::string::npos);
}

}  // namespace
}  // namespace quillet
