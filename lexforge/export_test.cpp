#include "lexforge/export.h"

#include <gtest/gtest.h>

#include "common/le.h"
#include "lexforge/builder.h"
#include "lexforge/test_files.h"

namespace quillet::lexforge {
namespace {

using testing::Bytes;
using testing::ReadAll;
using testing::TempDir;
using testing::TextOf;
using testing::Utf16;
using testing::WriteAll;

class ExportTest : public ::testing::Test {
 protected:
  void BuildDictionary(const std::u16string& text, const std::string& name = "words") {
    WriteAll(dir_.Path(name + ".txt"), Utf16(text));
    ASSERT_EQ(ConvertTextToDictionary(dir_.U16(name + ".dict"), dir_.U16(name + ".txt")), Result::kSuccess);
  }
  Result Export(const std::string& dictionary, const std::string& text) {
    return ConvertDictionaryToText(dir_.U16(text), dir_.U16(dictionary));
  }

  TempDir dir_;
};

TEST_F(ExportTest, WorkedExample) {
  BuildDictionary(u"cat\tCat\t\tan animal\r\ndon't\r\n");
  // Twice from the same program: each file starts with its own byte-order mark.
  for (const char* name : {"out1.txt", "out2.txt"}) {
    ASSERT_EQ(Export("words.dict", name), Result::kSuccess);
    EXPECT_EQ(ReadAll(dir_.Path(name)), Utf16(u"cat\tCat\t\tan animal\r\ndont\tdon't\tdon't\t\r\n"));
  }
}

TEST_F(ExportTest, RebuildingTheExportGivesTheSameDictionary) {
  std::u16string text;
  for (int i = 0; i < 3000; ++i) {
    const std::u16string stem = std::u16string(1, static_cast<char16_t>(u'a' + i / 120)) +
                                static_cast<char16_t>(u'a' + i / 5 % 24) + static_cast<char16_t>(u'a' + i % 5);
    if (i % 3 == 0)
      text += stem + u"\t" + stem + u"!\t\tnumber " + std::u16string(i % 50, u'x') + u"\r\n";
    else if (i % 3 == 1)
      text += stem + u"'s\r\n";
    else
      text += stem + u"\r\n" + stem + u"\r\n";  // equal keys stay separate entries
  }
  BuildDictionary(text);
  ASSERT_EQ(Export("words.dict", "again.txt"), Result::kSuccess);
  ASSERT_EQ(ConvertTextToDictionary(dir_.U16("again.dict"), dir_.U16("again.txt")), Result::kSuccess);
  const Bytes first = ReadAll(dir_.Path("words.dict"));
  EXPECT_GT(first.size(), 40000u);  // long enough for many buffer writes
  EXPECT_EQ(ReadAll(dir_.Path("again.dict")), first);
}

TEST_F(ExportTest, LinesLongerThanTheBufferAreWrittenWhole) {
  const std::u16string a(5119, u'a'), b(5119, u'B'), c(5119, u'c'), d(5119, u'D');
  const std::u16string text = u"short\r\n" + a + u"\t" + b + u"\t" + c + u"\t" + d + u"\r\nzz\t\t\tlast\r\n";
  BuildDictionary(text);
  ASSERT_EQ(Export("words.dict", "out.txt"), Result::kSuccess);
  EXPECT_EQ(TextOf(ReadAll(dir_.Path("out.txt"))),
            u"short\t\t\t\r\n" + a + u"\t" + b + u"\t" + c + u"\t" + d + u"\r\nzz\t\t\tlast\r\n");
}

TEST_F(ExportTest, UnreadableDictionaries) {
  const Bytes previous = Utf16(u"keep me\r\n");
  WriteAll(dir_.Path("out.txt"), previous);

  EXPECT_EQ(Export("missing.dict", "out.txt"), Result::kFileOpenFailed);
  WriteAll(dir_.Path("empty.dict"), {});
  EXPECT_EQ(Export("empty.dict", "out.txt"), Result::kMappingCreateFailed);

  BuildDictionary(u"cat\tCat\r\ndog\r\n");
  const Bytes good = ReadAll(dir_.Path("words.dict"));
  // Header offsets that point outside the file, an entry count beyond the position table, a short file.
  for (size_t field : {12u, 16u, 20u, 4u}) {
    Bytes bad = good;
    StoreU32(bad.data() + field, 0x7FFFFFF0);
    WriteAll(dir_.Path("bad.dict"), bad);
    EXPECT_EQ(Export("bad.dict", "out.txt"), Result::kMalformed) << field;
  }
  WriteAll(dir_.Path("bad.dict"), Bytes(good.begin(), good.begin() + 20));
  EXPECT_EQ(Export("bad.dict", "out.txt"), Result::kMalformed);
  // Nothing was created or replaced on the way.
  EXPECT_EQ(ReadAll(dir_.Path("out.txt")), previous);

  // A sound header, but the second entry's key lies beyond the end: no partial text is left.
  Bytes bad = good;
  StoreU32(bad.data() + 24 + 8, 0x00FFFFFF);
  WriteAll(dir_.Path("bad.dict"), bad);
  EXPECT_EQ(Export("bad.dict", "fresh.txt"), Result::kMalformed);
  EXPECT_FALSE(testing::Exists(dir_.Path("fresh.txt")));
}

TEST_F(ExportTest, InfoOffsetsWithoutInfoAreaReadAsEmpty) {
  BuildDictionary(u"cat\r\ndog\r\n");
  Bytes file = ReadAll(dir_.Path("words.dict"));
  StoreU32(file.data() + 24 + 4, 0);  // entry 0 claims an info record; the header has no info area
  WriteAll(dir_.Path("odd.dict"), file);
  ASSERT_EQ(Export("odd.dict", "out.txt"), Result::kSuccess);
  EXPECT_EQ(TextOf(ReadAll(dir_.Path("out.txt"))), u"cat\t\t\t\r\ndog\t\t\t\r\n");
}

TEST_F(ExportTest, SameFileForBothSidesLosesNothing) {
  BuildDictionary(u"cat\r\n");
  const Bytes dictionary = ReadAll(dir_.Path("words.dict"));
  EXPECT_EQ(Export("words.dict", "words.dict"), Result::kFileOpenFailed);
  EXPECT_EQ(ReadAll(dir_.Path("words.dict")), dictionary);
}

}  // namespace
}  // namespace quillet::lexforge
