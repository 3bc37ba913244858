// A minimal PNG writer for the pictures tsfhost saves: 8-bit RGB, stored (uncompressed) deflate
// blocks, so it needs no library and its output is the same on every system.
#pragma once

#include <cstdint>
#include <vector>

namespace quillet::tsfhost {

// `bgra` holds height rows of width pixels, top row first, 4 bytes each in B, G, R, A order (what
// GetDIBits gives for a top-down 32-bit bitmap); alpha is dropped.
std::vector<uint8_t> EncodePng(int32_t width, int32_t height, const std::vector<uint8_t>& bgra);

}  // namespace quillet::tsfhost
