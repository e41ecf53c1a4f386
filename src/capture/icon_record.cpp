#include "capture/icon_record.h"

#include "canvas/bmp_encode.h"

#include <cstdint>

#include "canvas/decode.h"
#include "canvas/read_bytes.h"
#include "text/gbk.h"

namespace lh::capture {

std::vector<std::string> splitIconStrip(std::string_view strip) {
  std::vector<std::string> records;
  records.reserve(strip.size() / kIconRecordSize);
  for (std::size_t at = 0; strip.size() - at >= kIconRecordSize; at += kIconRecordSize) {
    records.emplace_back(strip.substr(at, kIconRecordSize));
  }
  return records;
}

std::string reduceIco(std::string_view data) {
  constexpr std::size_t kHeader = 6, kEntry = 16;
  canvas::Reader r(data);
  if (data.size() < kHeader) return std::string(data);
  const int count = static_cast<std::int16_t>(r.u16(4));
  if (count == 1) return std::string(data);
  if (count <= 0) return std::string("\0\0\1\0\0\0", kHeader);  // no entry: no image
  if (data.size() < kHeader + kEntry * static_cast<std::size_t>(count)) return std::string(data);

  // The first entry deeper than every earlier one, else the last.
  std::size_t chosen = static_cast<std::size_t>(count) - 1;
  int deepest = 0;
  for (int i = 0; i < count; ++i) {
    const int bits = static_cast<std::int16_t>(r.u16(kHeader + kEntry * i + 6));
    if (bits > deepest) {
      deepest = bits;
      chosen = static_cast<std::size_t>(i);
    }
  }
  const std::size_t entry = kHeader + kEntry * chosen;
  if (r.u8(entry) == 0) return std::string(data);  // a 256-pixel image: kept whole
  const std::uint32_t size = r.u32(entry + 8), offset = r.u32(entry + 12);
  if (offset > data.size() || size > data.size() - offset) return std::string(data);

  std::string out("\0\0\1\0\1\0", kHeader);
  out.append(data.substr(entry, 8));  // width, height, colours, reserved, planes, bit count
  canvas::appendLe32(out, size);
  canvas::appendLe32(out, static_cast<std::uint32_t>(kHeader + kEntry));
  out.append(data.substr(offset, size));
  return out;
}

std::string renderIconRecord(std::string_view data) { return renderIconRecord(canvas::decodePicture(data)); }

std::string renderIconRecord(const canvas::Picture& picture) {
  canvas::Picture icon;
  icon.width = icon.height = kIconSide;
  icon.pixels.assign(static_cast<std::size_t>(kIconSide) * kIconSide, 0xFFFFFFFFu);
  if (!picture.empty()) {
    // Area averaging: each of the 16 x 16 pixels takes every source pixel
    // it covers, weighted by how much of it it covers, colours weighted by
    // their alpha; the result is laid over white. In units of a sixteenth
    // of a source pixel, target pixel x covers [x * w, (x + 1) * w).
    const long long w = picture.width, h = picture.height;
    const auto overlap = [](long long a0, long long a1, long long s) {
      return std::max(0LL, std::min(a1, (s + 1) * kIconSide) - std::max(a0, s * kIconSide));
    };
    for (int y = 0; y < kIconSide; ++y) {
      const long long y0 = y * h, y1 = (y + 1) * h;
      for (int x = 0; x < kIconSide; ++x) {
        const long long x0 = x * w, x1 = (x + 1) * w;
        unsigned long long r = 0, g = 0, b = 0, a = 0;
        for (long long sy = y0 / kIconSide; sy * kIconSide < y1 && sy < h; ++sy) {
          const long long wy = overlap(y0, y1, sy);
          for (long long sx = x0 / kIconSide; sx * kIconSide < x1 && sx < w; ++sx) {
            const unsigned long long weight = static_cast<unsigned long long>(wy * overlap(x0, x1, sx));
            const std::uint32_t p = picture.at(static_cast<int>(sx), static_cast<int>(sy));
            const unsigned pa = canvas::alphaOf(p);
            r += weight * canvas::redOf(p) * pa;
            g += weight * canvas::greenOf(p) * pa;
            b += weight * canvas::blueOf(p) * pa;
            a += weight * pa;
          }
        }
        // The weights add up to w * h; colours carry one more factor 255.
        const unsigned long long total = static_cast<unsigned long long>(w * h);
        const auto channel = [&](unsigned long long premultiplied) {
          // premultiplied / (total * 255) is the colour laid on; white
          // shows through the rest: 255 - alpha.
          const double c = static_cast<double>(premultiplied) / (static_cast<double>(total) * 255.0) +
                           (255.0 - static_cast<double>(a) / static_cast<double>(total));
          return static_cast<unsigned>(std::clamp(c + 0.5, 0.0, 255.0));
        };
        icon.at(x, y) = canvas::argb(255, channel(r), channel(g), channel(b));
      }
    }
  }
  return encodeIconRecord(icon);
}

std::string encodeIconRecord(const canvas::Picture& p16) {
  constexpr std::uint32_t kPixelBytes = 3 * kIconSide * kIconSide;
  std::string s;
  s.reserve(kIconRecordSize);
  s += "BM";
  canvas::appendLe32(s, kIconRecordSize);
  canvas::appendLe32(s, 0);  // reserved
  canvas::appendLe32(s, kIconHeaderSize);
  canvas::appendLe32(s, 40);  // info header size
  canvas::appendLe32(s, kIconSide);
  canvas::appendLe32(s, kIconSide);  // positive: bottom row first
  canvas::appendLe16(s, 1);          // planes
  canvas::appendLe16(s, 24);         // bits per pixel
  canvas::appendLe32(s, 0);          // no compression
  canvas::appendLe32(s, kPixelBytes);
  for (int i = 0; i < 4; ++i) canvas::appendLe32(s, 0);  // resolutions, colours used, important colours
  for (int y = kIconSide - 1; y >= 0; --y) {
    for (int x = 0; x < kIconSide; ++x) {
      const std::uint32_t p = (x < p16.width && y < p16.height) ? p16.at(x, y) : 0xFFFFFFFFu;
      s.push_back(static_cast<char>(canvas::blueOf(p)));
      s.push_back(static_cast<char>(canvas::greenOf(p)));
      s.push_back(static_cast<char>(canvas::redOf(p)));
    }
  }
  return s;
}

}  // namespace lh::capture
