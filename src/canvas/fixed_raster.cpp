#include "text/gbk.h"
#include "canvas/text_raster.h"

namespace lh::canvas {

TextMask FixedWidthRasterizer::renderLine(const FontSpec& font, std::string_view line) {
  const int cw = std::max(1, charWidth(font));
  TextMask m;
  m.height = std::max(1, lineHeight(font));
  // First pass: the extent.
  for (std::size_t i = 0; i < line.size(); i += text::charLength(line, i)) {
    m.width += cw * static_cast<int>(text::charLength(line, i));
  }
  m.coverage.assign(static_cast<std::size_t>(m.width) * m.height, 0);
  int x = 0;
  for (std::size_t i = 0; i < line.size();) {
    const std::size_t len = text::charLength(line, i);
    const int w = cw * static_cast<int>(len);
    if (!(len == 1 && line[i] == ' ')) {
      for (int y = 1; y < m.height - 1; ++y) {
        for (int gx = x + 1; gx < x + w - 1; ++gx) m.coverage[static_cast<std::size_t>(y) * m.width + gx] = 255;
      }
    }
    x += w;
    i += len;
  }
  return m;
}

}  // namespace lh::canvas
