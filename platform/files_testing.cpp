#include "platform/files_testing.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace quillet::testing {

namespace fs = std::filesystem;

std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return std::to_string(rd()) + "-" + std::to_string(now % 1000000007) + "-" + std::to_string(counter++);
}

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

}  // namespace quillet::testing
