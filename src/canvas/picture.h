// Pictures in memory: 32-bit pixels, row by row from the top, each pixel
// 0xAARRGGBB (bytes B, G, R, A in memory, the layout of a Windows 32-bit DIB).
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace lh::canvas {

// Pictures larger than this on either side are refused as hostile.
inline constexpr int kMaxPictureSide = 4096;

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  bool empty() const { return right <= left || bottom <= top; }
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  long long area() const { return empty() ? 0 : 1LL * width() * height(); }
  bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  Rect intersect(const Rect& o) const {
    return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
  }
  Rect unite(const Rect& o) const {
    if (empty()) return o;
    if (o.empty()) return *this;
    return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
  }
  bool operator==(const Rect&) const = default;
};

enum class Alpha { Straight, Premultiplied };

struct Picture {
  int width = 0;
  int height = 0;
  Alpha alpha = Alpha::Straight;
  std::vector<std::uint32_t> pixels;  // width * height

  bool empty() const { return width <= 0 || height <= 0; }
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  std::uint32_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline std::uint32_t argb(unsigned a, unsigned r, unsigned g, unsigned b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}
inline unsigned alphaOf(std::uint32_t p) { return p >> 24; }
inline unsigned redOf(std::uint32_t p) { return (p >> 16) & 0xFF; }
inline unsigned greenOf(std::uint32_t p) { return (p >> 8) & 0xFF; }
inline unsigned blueOf(std::uint32_t p) { return p & 0xFF; }

// x / 255, rounded, for x in 0 .. 255 * 255.
inline unsigned div255(unsigned x) {
  x += 128;
  return (x + (x >> 8)) >> 8;
}

// Converts in place between straight and premultiplied alpha.
void premultiply(Picture& p);
void unpremultiply(Picture& p);

// Colours the program passes are COLORREF values: 0x00BBGGRR.
inline std::uint32_t colourRefToArgb(std::uint32_t c, unsigned a = 255) {
  return argb(a, c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

}  // namespace lh::canvas
