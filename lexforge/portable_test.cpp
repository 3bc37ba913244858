// A dictionary is the same file whichever build made it: the native library and programs, and the
// Windows ones under Wine, must give the bytes of one committed reference.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "lexforge/builder.h"
#include "lexforge/test_files.h"
#include "platform/process.h"

namespace quillet::lexforge {
namespace {

using testing::Bytes;
using testing::ReadAll;
using testing::TempDir;
using testing::Utf16;
using testing::WriteAll;

const std::filesystem::path kReference = std::filesystem::path(QUILLET_LEXFORGE_TESTDATA) / "portable.dict";

// A word list that exercises everything the builder decides: quotes, apostrophes and hyphens, a lone
// LF, overlong and empty lines, unsorted and uppercase keys, fields past the fourth, and enough
// entries under a few letters for a deep index. Only raw mt19937 output is used: it is the same
// sequence in every standard library.
std::u16string PortableWordList() {
  std::mt19937 random(2024);
  std::u16string text;
  for (int i = 0; i < 2500; ++i) {
    std::u16string key;
    key += static_cast<char16_t>(u'a' + i / 500);
    key += static_cast<char16_t>(u'a' + i / 40 % 26);
    const int extra = static_cast<int>(random() % 6);
    for (int k = 0; k < extra; ++k) key += static_cast<char16_t>(u'a' + random() % 26);
    switch (random() % 10) {
      case 0:
        text += key + u"\t" + key + u"!\t\t\"quoted\"\"\" text " + key;
        break;
      case 1:
        text += key.substr(0, 1) + u"'" + key.substr(1) + u"-x";
        break;
      case 2:
        text += key + u"\t\tCommit\tdescription\tignored";
        break;
      case 3:
        text += key + u"\u00e9\u4e2d";
        break;
      default:
        text += key;
        break;
    }
    text += u"\r\n";
  }
  text += u"unsorted\r\nUpper\r\n\r\n'-\r\nline\nfeed\r\n" + std::u16string(5120, u'z') + u"\r\nlast";
  return text;
}

TEST(Portable, LibraryGivesTheReferenceBytes) {
  TempDir dir;
  WriteAll(dir.Path("words.txt"), Utf16(PortableWordList()));
  ASSERT_EQ(ConvertTextToDictionary(dir.U16("words.dict"), dir.U16("words.txt")), Result::kSuccess);
  const Bytes made = ReadAll(dir.Path("words.dict"));
  if (std::getenv("QUILLET_WRITE_REFERENCE") != nullptr) WriteAll(kReference, made);
  const Bytes reference = ReadAll(kReference);
  ASSERT_FALSE(reference.empty()) << kReference;
  EXPECT_TRUE(made == reference) << "sizes " << made.size() << " and " << reference.size();
}

TEST(Portable, ProgramGivesTheReferenceBytes) {
  TempDir dir;
  WriteAll(dir.Path("words.txt"), Utf16(PortableWordList()));
  const std::u16string arguments = dir.U16("words.txt") + u";" + dir.U16("out") + u";no;no";
  const std::u16string program = platform::JoinPath(platform::ModuleFolder(), u"lexforge");
#ifdef _WIN32
  // The whole command line: the program's own name comes first.
  const std::u16string path = program + u".exe";
  const std::u16string commandLine = u"lexforge.exe " + arguments;
#else
  const std::u16string path = program;
  const std::u16string commandLine = arguments;
#endif
  platform::Process process;
  platform::OsError error = 0;
  ASSERT_TRUE(process.Start(path, commandLine, &error)) << error;
  int exitCode = -1;
  ASSERT_TRUE(process.WaitForExit(60000, &exitCode));
  EXPECT_EQ(exitCode, 0);
  EXPECT_TRUE(ReadAll(dir.Path("out.dict")) == ReadAll(kReference));
}

}  // namespace
}  // namespace quillet::lexforge
