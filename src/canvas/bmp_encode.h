// Writing pictures as BMP files.
#pragma once

#include <cstdint>
#include <string>

#include "canvas/picture.h"

namespace lh::canvas {

// Little-endian 16- and 32-bit numbers appended to a byte string.
void appendLe16(std::string& s, unsigned v);
void appendLe32(std::string& s, std::uint32_t v);

// A 32-bit BMP file: 14-byte file header (file size 54 + 4 * w * h, pixel
// offset 54), 40-byte info header (positive height, 1 plane, 32 bits, no
// compression, image size 4 * w * h), rows bottom-up, B G R A per pixel.
std::string encodeBmp32(const Picture& p);

}  // namespace lh::canvas
