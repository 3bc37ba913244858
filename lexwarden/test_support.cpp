#include "lexwarden/test_support.h"

#include <string>

#include "common/dict_image_testing.h"
#include "platform/test_namespace.h"
#include "platform/user_data.h"

namespace quillet::warden::testing {

void UseFreshNamespace() { quillet::testing::UseNamespace("t" + quillet::testing::UniqueSuffix()); }

namespace {

std::vector<quillet::testing::ImageEntry> Entries(const std::u16string& prefix, size_t count, bool info) {
  std::vector<quillet::testing::ImageEntry> entries(count);
  for (size_t i = 0; i < count; ++i) {
    std::u16string digits = u"0000000";
    size_t n = i;
    for (size_t k = digits.size(); k-- > 0; n /= 10) digits[k] = static_cast<char16_t>(u'0' + n % 10);
    entries[i].key = prefix + digits;
    if (info && i % 3 == 0) entries[i].display = u"D" + entries[i].key;
  }
  return entries;
}

}  // namespace

std::vector<uint8_t> MakeDictionary(const std::u16string& prefix, size_t count) {
  return quillet::testing::BuildDictionaryImage(Entries(prefix, count, true));
}

std::vector<uint8_t> MakePlainDictionary(const std::u16string& prefix, size_t count) {
  return quillet::testing::BuildDictionaryImage(Entries(prefix, count, false));
}

}  // namespace quillet::warden::testing
