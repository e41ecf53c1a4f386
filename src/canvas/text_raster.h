// Turning a line of text into pixels. The Windows program draws with GDI
// (platform/win32); tests use FixedWidthRasterizer, whose glyph sizes are
// fixed so that text widths are predictable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lh::canvas {

// A font as the program passes it. Bold means weight 700; the size is in
// points (pixel height = size * logical pixels per inch / 72).
struct FontSpec {
  std::int32_t angle = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  std::int32_t size = 9;
  std::string face;  // GBK; empty or 32 bytes and more: a default face

  bool operator==(const FontSpec&) const = default;
};

// One rendered line: coverage 0..255 per pixel, row by row.
struct TextMask {
  int width = 0;   // the line's extent
  int height = 0;  // the font's line height
  std::vector<std::uint8_t> coverage;
};

class TextRasterizer {
 public:
  virtual ~TextRasterizer() = default;
  // Renders one line (no line breaks) of GBK text.
  virtual TextMask renderLine(const FontSpec& font, std::string_view line) = 0;
};

// Deterministic glyphs: every single-byte character is size*2/3 pixels wide
// (6 at 9 pt), every double-byte character twice that; the line height is
// size*4/3 (12 at 9 pt). A glyph is a filled box one pixel inside its cell;
// a space is empty. Bold widens each glyph by one pixel.
class FixedWidthRasterizer : public TextRasterizer {
 public:
  TextMask renderLine(const FontSpec& font, std::string_view line) override;
  static int charWidth(const FontSpec& font) { return font.size * 2 / 3 + (font.bold ? 1 : 0); }
  static int lineHeight(const FontSpec& font) { return font.size * 4 / 3; }
};

}  // namespace lh::canvas
