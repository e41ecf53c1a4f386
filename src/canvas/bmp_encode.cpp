#include "canvas/bmp_encode.h"

namespace lh::canvas {

void appendLe16(std::string& s, unsigned v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void appendLe32(std::string& s, std::uint32_t v) {
  appendLe16(s, v & 0xFFFF);
  appendLe16(s, v >> 16);
}

std::string encodeBmp32(const Picture& p) {
  const std::uint32_t imageSize = 4u * static_cast<std::uint32_t>(p.width) * static_cast<std::uint32_t>(p.height);
  std::string s;
  s.reserve(54 + imageSize);
  s += "BM";
  appendLe32(s, 54 + imageSize);
  appendLe16(s, 0);
  appendLe16(s, 0);
  appendLe32(s, 54);
  appendLe32(s, 40);
  appendLe32(s, static_cast<std::uint32_t>(p.width));
  appendLe32(s, static_cast<std::uint32_t>(p.height));
  appendLe16(s, 1);
  appendLe16(s, 32);
  appendLe32(s, 0);
  appendLe32(s, imageSize);
  for (int i = 0; i < 4; ++i) appendLe32(s, 0);
  for (int y = p.height - 1; y >= 0; --y) {
    for (int x = 0; x < p.width; ++x) appendLe32(s, p.at(x, y));
  }
  return s;
}

}  // namespace lh::canvas
