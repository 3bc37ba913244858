#include "lexforge/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

#include "lexforge/test_files.h"
#include "platform/error.h"

namespace quillet::lexforge {
namespace {

// The system's own words for a missing file (error 2 is ENOENT and ERROR_FILE_NOT_FOUND alike).
const std::string kFileNotFoundText = platform::ErrorText(2);

using testing::ReadAll;
using testing::TempDir;
using testing::Utf16;
using testing::WriteAll;

TEST(ArgumentString, Splitting) {
  ArgumentString a;
  ASSERT_TRUE(SplitArgumentString(u"words.txt;words.dict;yes;no", &a));
  EXPECT_EQ(a.source, u"words.txt");
  EXPECT_EQ(a.destination, u"words.dict");
  EXPECT_TRUE(a.deleteSource);
  EXPECT_FALSE(a.notifyLoader);

  ASSERT_TRUE(SplitArgumentString(u"words.txt;words.dict;;YES", &a));
  EXPECT_FALSE(a.deleteSource);
  EXPECT_TRUE(a.notifyLoader);

  // Two semicolons: the third field is the notify flag.
  ASSERT_TRUE(SplitArgumentString(u"words.txt;out;yes", &a));
  EXPECT_EQ(a.destination, u"out");
  EXPECT_FALSE(a.deleteSource);
  EXPECT_TRUE(a.notifyLoader);

  // Extra semicolons fall into the delete field; nothing is trimmed.
  ASSERT_TRUE(SplitArgumentString(u"a;b;yes;yes;yEs", &a));
  EXPECT_FALSE(a.deleteSource);
  EXPECT_TRUE(a.notifyLoader);
  ASSERT_TRUE(SplitArgumentString(u" a ;b; yes;yes ", &a));
  EXPECT_EQ(a.source, u" a ");
  EXPECT_FALSE(a.deleteSource);
  EXPECT_FALSE(a.notifyLoader);

  EXPECT_FALSE(SplitArgumentString(u"words.txt;words.dict", &a));
}

class ArgumentStringRun : public ::testing::Test {
 protected:
  ArgumentStringOutcome Run(const std::u16string& text) {
    return RunArgumentString(text, [this] { ++notifications_; });
  }
  std::u16string Words() { return dir_.U16("words.txt"); }

  TempDir dir_;
  int notifications_ = 0;
};

TEST_F(ArgumentStringRun, ConvertDeleteAndNotify) {
  WriteAll(dir_.Path("words.txt"), Utf16(u"cat\r\n"));
  auto o = Run(Words() + u";" + dir_.U16("words.dict") + u";yes;no");
  EXPECT_EQ(o.action, ArgumentStringOutcome::Action::kConverted);
  EXPECT_EQ(o.result, Result::kSuccess);
  EXPECT_TRUE(o.deleted);
  EXPECT_FALSE(testing::Exists(dir_.Path("words.txt")));
  EXPECT_TRUE(testing::Exists(dir_.Path("words.dict")));
  EXPECT_EQ(notifications_, 0);

  WriteAll(dir_.Path("words.txt"), Utf16(u"cat\r\n"));
  o = Run(Words() + u";" + dir_.U16("words.dict") + u";;YES");
  EXPECT_FALSE(o.deleted);
  EXPECT_TRUE(testing::Exists(dir_.Path("words.txt")));
  EXPECT_EQ(notifications_, 1);
}

TEST_F(ArgumentStringRun, FailedConversionKeepsTheWordList) {
  const auto list = Utf16(u"cat\r\n", false);
  WriteAll(dir_.Path("words.txt"), list);
  const auto o = Run(Words() + u";" + dir_.U16("words.dict") + u";yes;yes");
  EXPECT_EQ(o.result, Result::kNoByteOrderMark);
  EXPECT_TRUE(o.keptSource);
  EXPECT_EQ(ReadAll(dir_.Path("words.txt")), list);
  EXPECT_EQ(notifications_, 1);  // the loader is told in any case, as asked
}

TEST_F(ArgumentStringRun, NothingToDo) {
  WriteAll(dir_.Path("words.txt"), Utf16(u"cat\r\n"));
  EXPECT_EQ(Run(Words() + u";" + dir_.U16("words.dict")).action, ArgumentStringOutcome::Action::kNone);
  EXPECT_EQ(Run(dir_.U16("missing.txt") + u";x;yes;yes").action, ArgumentStringOutcome::Action::kNoSource);
  EXPECT_EQ(Run(Words() + u";;yes;yes").action, ArgumentStringOutcome::Action::kNoSource);
  EXPECT_EQ(notifications_, 0);
  EXPECT_TRUE(testing::Exists(dir_.Path("words.txt")));
  EXPECT_FALSE(testing::Exists(dir_.Path("words.dict")));
}

class CommandLine : public ::testing::Test {
 protected:
  int Run(const std::vector<std::u16string>& args) {
    out_.str("");
    err_.str("");
    return RunCommandLine(args, out_, err_, [] {});
  }

  TempDir dir_;
  std::ostringstream out_, err_;
};

TEST_F(CommandLine, Subcommands) {
  WriteAll(dir_.Path("plain.txt"), {'c', 'a', 't', '\n', 'D', 'o', 'g', '\n'});
  EXPECT_EQ(Run({u"prepare", dir_.U16("plain.txt"), dir_.U16("words.txt")}), 0) << err_.str();
  EXPECT_EQ(Run({u"build", dir_.U16("words.txt"), dir_.U16("words")}), 0) << err_.str();
  EXPECT_NE(out_.str().find("2 entries"), std::string::npos) << out_.str();
  EXPECT_TRUE(err_.str().empty()) << err_.str();
  EXPECT_EQ(Run({u"export", dir_.U16("words.dict"), dir_.U16("back.txt")}), 0) << err_.str();
  EXPECT_EQ(ReadAll(dir_.Path("back.txt")), Utf16(u"cat\t\t\t\r\ndog\tDog\tDog\t\r\n"));
  EXPECT_EQ(Run({u"--help"}), 0);
  EXPECT_NE(out_.str().find("usage"), std::string::npos);
}

TEST_F(CommandLine, FailuresAndWarnings) {
  WriteAll(dir_.Path("bare.txt"), Utf16(u"cat\r\n", false));
  EXPECT_EQ(Run({u"build", dir_.U16("bare.txt"), dir_.U16("words")}), 1);
  EXPECT_NE(err_.str().find("result 22"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("lexforge prepare"), std::string::npos) << err_.str();  // what to do about it

  WriteAll(dir_.Path("list.txt"), Utf16(u"dog\r\ncat\r\nCow\r\nzebra\r\n"));
  EXPECT_EQ(Run({u"build", dir_.U16("list.txt"), dir_.U16("words")}), 0);
  EXPECT_NE(err_.str().find("warning: 2 entries"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("first at line 2"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("warning: 1 keys hold uppercase"), std::string::npos) << err_.str();

  EXPECT_EQ(Run({u"export", dir_.U16("missing.dict"), dir_.U16("x.txt")}), 1);
  EXPECT_NE(err_.str().find("cannot open '" + dir_.Path("missing.dict").string() + "': " + kFileNotFoundText),
            std::string::npos)
      << err_.str();
  WriteAll(dir_.Path("plain.txt"), {'c', 'a', 't', '\n'});
  EXPECT_EQ(Run({u"prepare", dir_.U16("plain.txt"), dir_.U16("no-such-folder/out.txt")}), 1);
  EXPECT_NE(err_.str().find("cannot open '" + dir_.Path("no-such-folder/out.txt").string() + "'"), std::string::npos)
      << err_.str();
  EXPECT_EQ(Run({dir_.U16("bare.txt") + u";" + dir_.U16("words") + u";yes;no"}), 1);
  EXPECT_NE(err_.str().find("kept"), std::string::npos) << err_.str();
  EXPECT_TRUE(testing::Exists(dir_.Path("bare.txt")));

  EXPECT_EQ(Run({}), 2);
  EXPECT_EQ(Run({u"build", u"only-one"}), 2);
  EXPECT_EQ(Run({u"frobnicate"}), 2);
  EXPECT_EQ(Run({u"a.txt;b"}), 2);
}

}  // namespace
}  // namespace quillet::lexforge
