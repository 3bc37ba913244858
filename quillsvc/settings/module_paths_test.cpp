#include "quillsvc/settings/module_paths.h"

#include <gtest/gtest.h>

namespace quillet::settings {
namespace {

constexpr char16_t kModule[] = u"C:\\Program Files\\Quillet\\quillsvc.dll";

TEST(ModulePaths, CanonicalFormsResolveDotsAndSeparators) {
  EXPECT_EQ(CanonicalizePath(u"C:/a//b/./c/../d.dict"), u"C:\\a\\b\\d.dict");
  EXPECT_EQ(CanonicalizePath(u"C:\\..\\..\\x"), u"C:\\x");  // nothing above the root
  EXPECT_EQ(CanonicalizePath(u"C:\\"), u"C:\\");
  EXPECT_EQ(CanonicalizePath(u"\\\\server\\share\\a\\..\\b"), u"\\\\server\\share\\b");
  EXPECT_EQ(CanonicalizePath(u"..\\a\\.\\b"), u"..\\a\\b");
  EXPECT_EQ(FolderOf(kModule), u"C:\\Program Files\\Quillet");
  EXPECT_EQ(FolderOf(u"C:\\q.dll"), u"C:\\");
  EXPECT_TRUE(SamePath(u"c:\\PROGRAM files\\quillet\\.\\X.dict", u"C:/Program Files/Quillet/x.DICT"));
  EXPECT_TRUE(EqualIgnoringCase(u"\u00C9T\u00C9 \u0416", u"\u00E9t\u00E9 \u0436"));
  EXPECT_FALSE(EqualIgnoringCase(u"a", u"ab"));
}

TEST(ModulePaths, RelativeFormsStartAtTheModuleFolder) {
  RelativePath r = RelativeToModule(kModule, u"C:\\Program Files\\Quillet\\english.dict");
  EXPECT_EQ(r.status, RelativeStatus::kOk);
  EXPECT_EQ(r.path, u".\\english.dict");
  EXPECT_EQ(RelativeToModule(kModule, u"C:\\Program Files\\Quillet\\dicts\\de.dict").path, u".\\dicts\\de.dict");
  EXPECT_EQ(RelativeToModule(kModule, u"C:\\Users\\me\\my.dict").path, u"..\\..\\Users\\me\\my.dict");
  // Folder names compare ignoring case, as the file system does.
  EXPECT_EQ(RelativeToModule(kModule, u"c:\\program files\\QUILLET\\x.dict").path, u".\\x.dict");
  // A folder whose name only begins like the module's is a sibling.
  EXPECT_EQ(RelativeToModule(kModule, u"C:\\Program Files\\Quillet2\\x.dict").path, u"..\\Quillet2\\x.dict");
}

TEST(ModulePaths, FilesThatCannotBeFoundAgainAreRefused) {
  EXPECT_EQ(RelativeToModule(kModule, u"D:\\x.dict").status, RelativeStatus::kOtherRoot);
  EXPECT_EQ(RelativeToModule(kModule, u"\\\\server\\share\\x.dict").status, RelativeStatus::kOtherRoot);
  EXPECT_EQ(RelativeToModule(u"\\\\srv\\s\\q\\quillsvc.dll", u"\\\\SRV\\S\\x.dict").path, u"..\\x.dict");
  EXPECT_EQ(RelativeToModule(kModule, u"x.dict").status, RelativeStatus::kNotAbsolute);
  EXPECT_EQ(RelativeToModule(u"", u"C:\\x.dict").status, RelativeStatus::kNotAbsolute);

  // 259 characters in full still work; one more would not be found again by a 260-character buffer.
  const std::u16string folder = u"C:\\Program Files\\Quillet\\";
  const std::u16string fits = folder + std::u16string(259 - folder.size() - 5, u'a') + u".dict";
  ASSERT_EQ(fits.size(), 259u);
  RelativePath r = RelativeToModule(kModule, fits);
  EXPECT_EQ(r.status, RelativeStatus::kOk);
  EXPECT_EQ(AbsoluteFromModule(kModule, r.path), fits);
  EXPECT_EQ(RelativeToModule(kModule, folder + std::u16string(250, u'b') + u".dict").status, RelativeStatus::kTooLong);
  // A relative path above 255 characters does not fit the record even when its full form is short.
  const std::u16string deep =
      u"C:\\a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\l\\m\\n\\o\\p\\q\\r\\s\\t\\u\\v\\w\\x\\y\\z\\"
      u"a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\l\\m\\n\\o\\p\\q\\r\\s\\t\\u\\v\\w\\x\\y\\z\\"
      u"a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\l\\m\\n\\o\\p\\q\\r\\s\\t\\u\\v\\w\\x\\y\\z\\"
      u"a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\l\\m\\n\\o\\p\\q\\r\\s\\t\\u\\v\\w\\x\\y\\z\\"
      u"a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\l\\m\\n\\o\\p\\q\\r\\s\\t\\u\\v\\w\\x\\y\\z\\q.dll";
  EXPECT_EQ(RelativeToModule(deep, u"C:\\x.dict").status, RelativeStatus::kTooLong);
}

TEST(ModulePaths, StoredPathsTurnBackIntoFullOnes) {
  EXPECT_EQ(AbsoluteFromModule(kModule, u".\\english.dict"), u"C:\\Program Files\\Quillet\\english.dict");
  EXPECT_EQ(AbsoluteFromModule(kModule, u"english.dict"), u"C:\\Program Files\\Quillet\\english.dict");
  EXPECT_EQ(AbsoluteFromModule(kModule, u"dicts/de.dict"), u"C:\\Program Files\\Quillet\\dicts\\de.dict");
  EXPECT_EQ(AbsoluteFromModule(kModule, u"..\\..\\..\\..\\x.dict"), u"C:\\x.dict");
  EXPECT_EQ(AbsoluteFromModule(kModule, u"D:\\dicts\\x.dict"), u"D:\\dicts\\x.dict");
  EXPECT_EQ(AbsoluteFromModule(kModule, u"\\dicts\\x.dict"), u"C:\\dicts\\x.dict");
  EXPECT_EQ(AbsoluteFromModule(kModule, u""), u"");
  EXPECT_EQ(AbsoluteFromModule(u"", u"x.dict"), u"");
  EXPECT_EQ(AbsoluteFromModule(kModule, std::u16string(255, u'x')), u"");  // beyond 259 in full
}

}  // namespace
}  // namespace quillet::settings
