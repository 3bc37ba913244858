// A minimal PNG encoder (RGB, 8 bits, stored deflate blocks): pictures for people to look at, with no
// library needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::winui::testing {

// `pixels` holds width * height values 0x00RRGGBB, row by row from the top.
std::vector<uint8_t> EncodePng(int width, int height, const std::u32string& pixels);

}  // namespace quillet::winui::testing
