// A minimal PNG encoder for the pictures our tools and tests save for people to look at: 8-bit RGB in
// stored (uncompressed) deflate blocks, so it needs no library and writes the same bytes everywhere.
#pragma once

#include <cstdint>
#include <vector>

namespace quillet::picture {

// `pixels` holds height rows of width values 0xXXRRGGBB (the top byte is ignored, as in a 32-bit
// device-independent bitmap read back from the screen), top row first. Empty when the sizes do not
// describe the pixels (or there are none).
std::vector<uint8_t> EncodePng(int32_t width, int32_t height, const std::vector<uint32_t>& pixels);

}  // namespace quillet::picture
