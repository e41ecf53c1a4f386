// BMP files and the bitmaps inside icons: 1, 4, 8, 16, 24 and 32 bits per
// pixel, bottom-up and top-down, run-length encoded 4 and 8 bits, colour
// masks (BI_BITFIELDS), and the header versions 12 (OS/2), 40, 52, 56, 108
// and 124 bytes.
#include "canvas/decode.h"
#include "canvas/read_bytes.h"

namespace lh::canvas {

namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6;

// Run-length encoded pixels (8 or 4 bits per index), bottom-up. Indices that
// the stream never writes stay 0. A stream cut short keeps what it wrote.
void decodeRle(std::string_view data, int bits, int width, int height, std::vector<std::uint8_t>& out) {
  int x = 0, y = 0;  // y counts from the bottom row
  std::size_t i = 0;
  auto put = [&](unsigned index) {
    if (x < width && y < height) out[static_cast<std::size_t>(height - 1 - y) * width + x] = static_cast<std::uint8_t>(index);
    ++x;
  };
  while (i + 1 < data.size() && y < height) {
    const unsigned count = static_cast<unsigned char>(data[i]);
    const unsigned value = static_cast<unsigned char>(data[i + 1]);
    i += 2;
    if (count > 0) {
      for (unsigned k = 0; k < count; ++k) put(bits == 8 ? value : ((k & 1) ? value & 15 : value >> 4));
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // delta
      if (i + 1 >= data.size()) return;
      x += static_cast<unsigned char>(data[i]);
      y += static_cast<unsigned char>(data[i + 1]);
      i += 2;
    } else {  // an absolute run of `value` indices, padded to 16 bits
      const std::size_t bytes = bits == 8 ? value : (value + 1) / 2;
      if (i + bytes > data.size()) return;
      for (unsigned k = 0; k < value; ++k) {
        const unsigned b = static_cast<unsigned char>(data[i + (bits == 8 ? k : k / 2)]);
        put(bits == 8 ? b : ((k & 1) ? b & 15 : b >> 4));
      }
      i += (bytes + 1) & ~std::size_t{1};
    }
  }
}

// Scales a value under `mask` to 0..255; 255 for an empty mask (no channel).
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;
  explicit Channel(std::uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!(m & 1)) {
      m >>= 1;
      ++shift;
    }
    max = m;
  }
  unsigned get(std::uint32_t v, unsigned fallback) const {
    if (!mask) return fallback;
    const std::uint32_t c = (v & mask) >> shift;
    return static_cast<unsigned>((static_cast<std::uint64_t>(c) * 255 + max / 2) / max);
  }
};

}  // namespace

Picture decodeDib(std::string_view b, bool iconMask, std::size_t pixelOffset) {
  Reader r(b);
  const std::uint32_t headerSize = r.u32(0);
  std::int64_t width = 0, height = 0;
  unsigned bits = 0;
  std::uint32_t compression = kRgb, colours = 0;
  std::size_t paletteEntry = 4;
  std::uint32_t masks[4] = {0, 0, 0, 0};
  if (headerSize == 12) {
    width = r.u16(4);
    height = static_cast<std::int16_t>(r.u16(6));
    bits = r.u16(10);
    paletteEntry = 3;
  } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 || headerSize == 124) {
    width = static_cast<std::int32_t>(r.u32(4));
    height = static_cast<std::int32_t>(r.u32(8));
    bits = r.u16(14);
    compression = r.u32(16);
    colours = r.u32(32);
    if (headerSize >= 52) {
      for (int i = 0; i < (headerSize >= 56 ? 4 : 3); ++i) masks[i] = r.u32(40 + 4 * i);
    }
  } else {
    return {};
  }
  if (!r.ok()) return {};
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (iconMask) {
    if (topDown) return {};
    height /= 2;
  }
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) return {};
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return {};
  const bool rle = (compression == kRle8 && bits == 8) || (compression == kRle4 && bits == 4);
  if (compression != kRgb && compression != kBitfields && compression != kAlphaBitfields && !rle) return {};
  if ((compression == kBitfields || compression == kAlphaBitfields) && bits != 16 && bits != 32) return {};
  if (rle && topDown) return {};

  std::size_t pos = headerSize;
  if (headerSize == 40 && (compression == kBitfields || compression == kAlphaBitfields)) {
    // The masks follow a 40-byte header.
    const int n = compression == kAlphaBitfields ? 4 : 3;
    for (int i = 0; i < n; ++i) masks[i] = r.u32(pos + 4 * i);
    pos += 4 * n;
  }
  if (compression == kRgb || rle) {
    masks[3] = 0;
    if (bits == 16) {
      masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (bits == 32) {
      masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF, masks[3] = 0xFF000000;
    }
  }

  std::vector<std::uint32_t> palette;
  if (bits <= 8) {
    std::size_t n = colours ? colours : (1u << bits);
    if (n > 256) return {};
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t at = pos + i * paletteEntry;
      palette.push_back(argb(255, r.u8(at + 2), r.u8(at + 1), r.u8(at)));
    }
    if (!r.ok()) return {};
    pos += n * paletteEntry;
    palette.resize(1u << bits, argb(255, 0, 0, 0));
  }
  // A file header's pixel offset wins (some files leave a gap).
  if (pixelOffset >= headerSize && pixelOffset < b.size()) pos = pixelOffset;

  if (pos > b.size()) return {};
  if (rle) {
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height, 0);
    decodeRle(b.substr(pos), bits, static_cast<int>(width), static_cast<int>(height), indices);
    Picture p;
    p.width = static_cast<int>(width);
    p.height = static_cast<int>(height);
    p.pixels.resize(indices.size());
    for (std::size_t i = 0; i < indices.size(); ++i) p.pixels[i] = palette[indices[i]];
    return p;
  }
  const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
  const std::size_t pixelBytes = stride * static_cast<std::size_t>(height);
  if (b.size() - pos < pixelBytes) return {};
  const std::size_t maskStride = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
  const bool haveMask = iconMask && b.size() - pos - pixelBytes >= maskStride * static_cast<std::size_t>(height);

  Picture p;
  p.width = static_cast<int>(width);
  p.height = static_cast<int>(height);
  p.pixels.resize(static_cast<std::size_t>(p.width) * p.height);
  const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
  bool anyAlpha = false;
  for (int y = 0; y < p.height; ++y) {
    const int row = topDown ? y : p.height - 1 - y;
    const auto* src = reinterpret_cast<const unsigned char*>(b.data() + pos + stride * static_cast<std::size_t>(row));
    std::uint32_t* out = &p.at(0, y);
    for (int x = 0; x < p.width; ++x) {
      switch (bits) {
        case 1: out[x] = palette[(src[x >> 3] >> (7 - (x & 7))) & 1]; break;
        case 4: out[x] = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
        case 8: out[x] = palette[src[x]]; break;
        case 24: out[x] = argb(255, src[3 * x + 2], src[3 * x + 1], src[3 * x]); break;
        case 16: {
          const std::uint32_t v = src[2 * x] | (src[2 * x + 1] << 8);
          out[x] = argb(alpha.get(v, 255), red.get(v, 0), green.get(v, 0), blue.get(v, 0));
          break;
        }
        default: {
          const std::uint32_t v = src[4 * x] | (src[4 * x + 1] << 8) | (src[4 * x + 2] << 16) |
                                  (static_cast<std::uint32_t>(src[4 * x + 3]) << 24);
          out[x] = argb(alpha.get(v, 255), red.get(v, 0), green.get(v, 0), blue.get(v, 0));
          break;
        }
      }
      anyAlpha = anyAlpha || alphaOf(out[x]) != 0;
    }
  }
  // A 32-bit picture whose alpha bytes are all zero means "no alpha".
  const bool alphaChannel = masks[3] != 0 && anyAlpha;
  if (masks[3] != 0 && !anyAlpha) {
    for (std::uint32_t& px : p.pixels) px |= 0xFF000000u;
  }
  if (haveMask && !alphaChannel) {
    const auto* mask = reinterpret_cast<const unsigned char*>(b.data() + pos + pixelBytes);
    for (int y = 0; y < p.height; ++y) {
      const unsigned char* m = mask + maskStride * static_cast<std::size_t>(p.height - 1 - y);
      for (int x = 0; x < p.width; ++x) {
        if ((m[x >> 3] >> (7 - (x & 7))) & 1) p.at(x, y) = 0;
      }
    }
  }
  return p;
}

Picture decodeBmp(std::string_view b) {
  if (b.size() < 14 || b.substr(0, 2) != "BM") return {};
  Reader r(b);
  const std::uint32_t offset = r.u32(10);
  return decodeDib(b.substr(14), false, offset >= 14 ? offset - 14 : 0);
}

}  // namespace lh::canvas
