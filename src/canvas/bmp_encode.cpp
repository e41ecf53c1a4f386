#include "canvas/bmp_encode.h"

namespace lh::canvas {

namespace {

void put16(std::string& s, unsigned v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& s, std::uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}

}  // namespace

std::string encodeBmp32(const Picture& p) {
  const std::uint32_t imageSize = 4u * static_cast<std::uint32_t>(p.width) * static_cast<std::uint32_t>(p.height);
  std::string s;
  s.reserve(54 + imageSize);
  s += "BM";
  put32(s, 54 + imageSize);
  put16(s, 0);
  put16(s, 0);
  put32(s, 54);
  put32(s, 40);
  put32(s, static_cast<std::uint32_t>(p.width));
  put32(s, static_cast<std::uint32_t>(p.height));
  put16(s, 1);
  put16(s, 32);
  put32(s, 0);
  put32(s, imageSize);
  for (int i = 0; i < 4; ++i) put32(s, 0);
  for (int y = p.height - 1; y >= 0; --y) {
    for (int x = 0; x < p.width; ++x) put32(s, p.at(x, y));
  }
  return s;
}

}  // namespace lh::canvas
