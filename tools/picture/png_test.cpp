#include "tools/picture/png.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet::picture {
namespace {

uint32_t Big32(const std::vector<uint8_t>& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

TEST(PngTest, PicturesDecodeToTheirPixels) {
  // Large enough for two stored blocks.
  const int32_t width = 200, height = 120;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint32_t>(i * 2654435761u);
  const std::vector<uint8_t> png = EncodePng(width, height, pixels);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 8),
            (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
  EXPECT_EQ(Big32(png, 16), static_cast<uint32_t>(width));
  EXPECT_EQ(Big32(png, 20), static_cast<uint32_t>(height));
  // Every file ends with the same empty IEND chunk and its checksum.
  EXPECT_EQ(Big32(png, png.size() - 4), 0xAE426082u);

  // Walk the chunks and inflate the stored blocks of IDAT by hand.
  size_t at = 8;
  std::vector<uint8_t> zlib;
  std::vector<std::string> types;
  while (at + 12 <= png.size()) {
    const uint32_t length = Big32(png, at);
    types.emplace_back(png.begin() + at + 4, png.begin() + at + 8);
    if (types.back() == "IDAT") zlib.insert(zlib.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
    at += 12 + length;
  }
  EXPECT_EQ(at, png.size());
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  std::vector<uint8_t> raw;
  size_t pos = 2;
  bool last = false;
  while (!last) {
    last = zlib[pos] & 1;
    const size_t size = zlib[pos + 1] | (zlib[pos + 2] << 8);
    EXPECT_EQ(size ^ 0xFFFF, static_cast<size_t>(zlib[pos + 3] | (zlib[pos + 4] << 8)));
    raw.insert(raw.end(), zlib.begin() + pos + 5, zlib.begin() + pos + 5 + size);
    pos += 5 + size;
  }
  ASSERT_EQ(raw.size(), static_cast<size_t>(height) * (1 + 3 * width));
  for (int32_t y : {0, height - 1}) {
    for (int32_t x : {0, width - 1}) {
      const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
      const size_t dst = static_cast<size_t>(y) * (1 + 3 * width) + 1 + 3 * x;
      EXPECT_EQ(raw[dst], static_cast<uint8_t>(p >> 16));
      EXPECT_EQ(raw[dst + 1], static_cast<uint8_t>(p >> 8));
      EXPECT_EQ(raw[dst + 2], static_cast<uint8_t>(p));
    }
  }
}

TEST(PngTest, SizesThatDoNotDescribeThePixelsGiveNothing) {
  EXPECT_TRUE(EncodePng(3, 2, std::vector<uint32_t>(5)).empty());
  EXPECT_TRUE(EncodePng(3, 2, std::vector<uint32_t>(7)).empty());
  EXPECT_TRUE(EncodePng(0, 0, {}).empty());
  EXPECT_TRUE(EncodePng(-2, -3, std::vector<uint32_t>(6)).empty());
  EXPECT_FALSE(EncodePng(3, 2, std::vector<uint32_t>(6)).empty());
}

}  // namespace
}  // namespace quillet::picture
