#include "canvas/picture.h"

namespace lh::canvas {

void premultiply(Picture& p) {
  if (p.alpha == Alpha::Premultiplied) return;
  for (std::uint32_t& px : p.pixels) {
    const unsigned a = alphaOf(px);
    if (a == 255) continue;
    px = a == 0 ? 0 : argb(a, div255(redOf(px) * a), div255(greenOf(px) * a), div255(blueOf(px) * a));
  }
  p.alpha = Alpha::Premultiplied;
}

void unpremultiply(Picture& p) {
  if (p.alpha == Alpha::Straight) return;
  for (std::uint32_t& px : p.pixels) {
    const unsigned a = alphaOf(px);
    if (a == 255 || a == 0) continue;
    auto un = [a](unsigned c) { return std::min(255u, (c * 255 + a / 2) / a); };
    px = argb(a, un(redOf(px)), un(greenOf(px)), un(blueOf(px)));
  }
  p.alpha = Alpha::Straight;
}

}  // namespace lh::canvas
