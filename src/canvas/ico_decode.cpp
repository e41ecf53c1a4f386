// ICO and CUR files: the largest image (and among equal sizes the deepest),
// stored either as PNG or as a bitmap with its AND mask.
#include "canvas/decode.h"
#include "canvas/read_bytes.h"

namespace lh::canvas {

Picture decodeIco(std::string_view b) {
  Reader r(b);
  if (r.u16(0) != 0 || (r.u16(2) != 1 && r.u16(2) != 2)) return {};
  const unsigned count = r.u16(4);
  if (!r.ok() || count == 0) return {};
  int best = -1;
  long long bestArea = -1;
  unsigned bestBits = 0;
  for (unsigned i = 0; i < count; ++i) {
    const std::size_t e = 6 + 16 * static_cast<std::size_t>(i);
    const int w = r.u8(e) ? r.u8(e) : 256;
    const int h = r.u8(e + 1) ? r.u8(e + 1) : 256;
    const unsigned bits = r.u16(e + 6);
    const std::uint32_t size = r.u32(e + 8), offset = r.u32(e + 12);
    if (!r.ok()) break;
    if (offset >= b.size() || size == 0 || size > b.size() - offset) continue;
    const long long area = 1LL * w * h;
    if (area > bestArea || (area == bestArea && bits > bestBits)) {
      best = static_cast<int>(i);
      bestArea = area;
      bestBits = bits;
    }
  }
  if (best < 0) return {};
  const std::size_t e = 6 + 16 * static_cast<std::size_t>(best);
  const std::string_view image = b.substr(r.u32(e + 12), r.u32(e + 8));
  if (image.size() >= 8 && static_cast<unsigned char>(image[0]) == 0x89 && image.substr(1, 3) == "PNG") {
    return decodePng(image);
  }
  return decodeDib(image, true);
}

}  // namespace lh::canvas
