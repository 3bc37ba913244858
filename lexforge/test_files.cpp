#include "lexforge/test_files.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>

namespace quillet::lexforge::testing {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
  for (;;) {
    root_ = std::filesystem::temp_directory_path() / ("lexforge-test-" + std::to_string(random()) + "-" +
                                                      std::to_string(tick) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(root_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

bool Exists(const std::filesystem::path& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

Bytes ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Utf16(const std::u16string& text, bool byteOrderMark) {
  Bytes out;
  out.reserve(2 * text.size() + 2);
  auto put = [&](char16_t c) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  };
  if (byteOrderMark) put(0xFEFF);
  for (char16_t c : text) put(c);
  return out;
}

std::u16string TextOf(const Bytes& bytes) {
  std::u16string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return text;
}

}  // namespace quillet::lexforge::testing
