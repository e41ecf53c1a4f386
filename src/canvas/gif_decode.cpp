// GIF: the first frame, with its transparency, drawn on the logical screen.
#include "canvas/decode.h"
#include "canvas/read_bytes.h"

namespace lh::canvas {

namespace {

constexpr int kMaxCodeSize = 12;

// LZW decoding of one image's data sub-blocks into `out` (width * height
// colour indices). Returns false on malformed data; a short stream leaves
// the rest of `out` as it was.
bool lzwDecode(std::string_view data, int minCodeSize, std::vector<std::uint8_t>& out) {
  if (minCodeSize < 2 || minCodeSize > 11) return false;
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  std::vector<std::uint16_t> prefix(1 << kMaxCodeSize);
  std::vector<std::uint8_t> suffix(1 << kMaxCodeSize);
  std::vector<std::uint8_t> stack(1 << kMaxCodeSize);
  for (int i = 0; i < clear; ++i) suffix[i] = static_cast<std::uint8_t>(i);
  int codeSize = minCodeSize + 1;
  int next = end + 1;
  int old = -1;
  std::uint8_t first = 0;
  std::uint32_t acc = 0;
  int bits = 0;
  std::size_t written = 0;
  for (std::size_t i = 0; i < data.size() && written < out.size(); ++i) {
    acc |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << bits;
    bits += 8;
    while (bits >= codeSize && written < out.size()) {
      int code = static_cast<int>(acc & ((1u << codeSize) - 1));
      acc >>= codeSize;
      bits -= codeSize;
      if (code == clear) {
        codeSize = minCodeSize + 1;
        next = end + 1;
        old = -1;
        continue;
      }
      if (code == end) return true;
      if (old < 0) {
        if (code >= clear) return false;
        out[written++] = static_cast<std::uint8_t>(code);
        old = code;
        first = static_cast<std::uint8_t>(code);
        continue;
      }
      int in = code;
      std::size_t sp = 0;
      if (code >= next) {
        if (code > next) return false;
        stack[sp++] = first;
        code = old;
      }
      while (code >= clear) {
        if (sp >= stack.size()) return false;
        stack[sp++] = suffix[code];
        code = prefix[code];
      }
      first = suffix[code];
      stack[sp++] = first;
      while (sp > 0 && written < out.size()) out[written++] = stack[--sp];
      if (next < (1 << kMaxCodeSize)) {
        prefix[next] = static_cast<std::uint16_t>(old);
        suffix[next] = first;
        ++next;
        if (next == (1 << codeSize) && codeSize < kMaxCodeSize) ++codeSize;
      }
      old = in;
    }
  }
  return true;
}

}  // namespace

Picture decodeGif(std::string_view b) {
  Reader r(b);
  if (b.size() < 13 || (b.substr(0, 6) != "GIF87a" && b.substr(0, 6) != "GIF89a")) return {};
  int screenW = r.u16(6), screenH = r.u16(8);
  const std::uint8_t flags = r.u8(10);
  const std::uint8_t background = r.u8(11);
  (void)background;
  std::size_t pos = 13;
  std::vector<std::uint32_t> global;
  auto readTable = [&](std::size_t count, std::vector<std::uint32_t>& table) {
    for (std::size_t i = 0; i < count; ++i) {
      table.push_back(argb(255, r.u8(pos), r.u8(pos + 1), r.u8(pos + 2)));
      pos += 3;
    }
    return r.ok();
  };
  if ((flags & 0x80) && !readTable(std::size_t{2} << (flags & 7), global)) return {};

  int transparent = -1;
  while (pos < b.size()) {
    const std::uint8_t block = r.u8(pos++);
    if (block == 0x3B) break;  // trailer before any image
    if (block == 0x21) {       // extension
      const std::uint8_t label = r.u8(pos++);
      if (label == 0xF9 && r.u8(pos) >= 4 && (r.u8(pos + 1) & 1)) transparent = r.u8(pos + 4);
      while (r.ok()) {  // skip the sub-blocks
        const std::uint8_t n = r.u8(pos++);
        if (n == 0) break;
        pos += n;
      }
      if (!r.ok()) return {};
      continue;
    }
    if (block != 0x2C) return {};
    const int fx = r.u16(pos), fy = r.u16(pos + 2), fw = r.u16(pos + 4), fh = r.u16(pos + 6);
    const std::uint8_t iflags = r.u8(pos + 8);
    pos += 9;
    if (!r.ok() || fw == 0 || fh == 0) return {};
    std::vector<std::uint32_t> local;
    if ((iflags & 0x80) && !readTable(std::size_t{2} << (iflags & 7), local)) return {};
    const std::vector<std::uint32_t>& table = local.empty() ? global : local;
    if (screenW == 0 || screenH == 0) {
      screenW = fx + fw;
      screenH = fy + fh;
    }
    if (screenW > kMaxPictureSide || screenH > kMaxPictureSide || fw > kMaxPictureSide || fh > kMaxPictureSide) {
      return {};
    }
    const int minCode = r.u8(pos++);
    std::string data;
    while (r.ok()) {
      const std::uint8_t n = r.u8(pos++);
      if (n == 0 || !r.ok()) break;
      if (pos + n > b.size()) {
        data.append(b.substr(pos));  // cut short: use what there is
        pos = b.size();
        break;
      }
      data.append(b.substr(pos, n));
      pos += n;
    }
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(fw) * fh, 0);
    if (!lzwDecode(data, minCode, indices)) return {};

    Picture p;
    p.width = screenW;
    p.height = screenH;
    p.pixels.assign(static_cast<std::size_t>(screenW) * screenH, 0);
    const bool interlaced = iflags & 0x40;
    // Rows of an interlaced image come in four passes.
    std::vector<int> rowOrder;
    if (interlaced) {
      for (int start : {0, 4, 2, 1}) {
        const int step = start == 0 ? 8 : (start == 4 ? 8 : (start == 2 ? 4 : 2));
        for (int y = start; y < fh; y += step) rowOrder.push_back(y);
      }
    }
    for (int i = 0; i < fh; ++i) {
      const int y = interlaced ? rowOrder[static_cast<std::size_t>(i)] : i;
      if (fy + y >= screenH) continue;
      for (int x = 0; x < fw && fx + x < screenW; ++x) {
        const int c = indices[static_cast<std::size_t>(i) * fw + x];
        if (c == transparent || static_cast<std::size_t>(c) >= table.size()) continue;
        p.at(fx + x, fy + y) = table[static_cast<std::size_t>(c)];
      }
    }
    return p;
  }
  return {};
}

}  // namespace lh::canvas
