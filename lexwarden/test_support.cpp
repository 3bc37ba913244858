#include "lexwarden/test_support.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "common/dict_image_testing.h"
#include "platform/test_namespace.h"
#include "platform/user_data.h"

namespace quillet::warden::testing {

namespace fs = std::filesystem;

namespace {

std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return std::to_string(rd()) + "-" + std::to_string(now % 1000000007) + "-" + std::to_string(counter++);
}

}  // namespace

TempFolder::TempFolder() : TempFolder(fs::temp_directory_path().u16string()) {}

TempFolder::TempFolder(const std::u16string& parent) {
  const fs::path p = fs::path(parent) / ("quillet-warden-" + UniqueSuffix());
  fs::create_directories(p);
  path_ = p.u16string();
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::remove_all(fs::path(path_), ec);
}

std::u16string TempFolder::File(const std::u16string& name) const { return (fs::path(path_) / name).u16string(); }

void WriteBytes(const std::u16string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadBytes(const std::u16string& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool Exists(const std::u16string& path) { return fs::exists(fs::path(path)); }

std::vector<std::u16string> ListFolder(const std::u16string& folder) {
  std::vector<std::u16string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(folder)))
    names.push_back(entry.path().filename().u16string());
  return names;
}

void UseFreshNamespace() { quillet::testing::UseNamespace("t" + UniqueSuffix()); }

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
