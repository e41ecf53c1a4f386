#include "platform/win32/text_raster_win32.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <string>

#include "platform/win32/gdi_win32.h"
#include "platform/win32/wide.h"

namespace lh::platform::win32 {

namespace {

class GdiRasterizer : public canvas::TextRasterizer {
 public:
  GdiRasterizer() : dc_(CreateCompatibleDC(nullptr)) {}

  canvas::TextMask renderLine(const canvas::FontSpec& f, std::string_view line) override {
    canvas::TextMask m;
    if (!dc_) return m;
    const Selection font(dc_.get(), fontFor(f));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_.get(), &tm);
    const std::wstring w = wide(std::string(line));
    SIZE size{};
    GetTextExtentPoint32W(dc_.get(), w.c_str(), static_cast<int>(w.size()), &size);
    m.width = std::max<int>(0, size.cx);
    m.height = tm.tmHeight;
    if (m.width <= 0 || m.height <= 0) return m;
    // White text on black in a 32-bit DIB: the green channel is the coverage.
    void* bits = nullptr;
    const OwnedBitmap bmp = createDib32(dc_.get(), m.width, m.height, &bits);
    if (!bmp) {
      m.width = m.height = 0;
      return m;
    }
    const Selection selected(dc_.get(), bmp.get());
    std::fill_n(static_cast<std::uint32_t*>(bits), static_cast<std::size_t>(m.width) * m.height, 0u);
    SetBkMode(dc_.get(), TRANSPARENT);
    SetTextColor(dc_.get(), RGB(255, 255, 255));
    TextOutW(dc_.get(), 0, 0, w.c_str(), static_cast<int>(w.size()));
    GdiFlush();
    m.coverage.resize(static_cast<std::size_t>(m.width) * m.height);
    const auto* px = static_cast<const std::uint32_t*>(bits);
    for (std::size_t i = 0; i < m.coverage.size(); ++i) m.coverage[i] = static_cast<std::uint8_t>((px[i] >> 8) & 0xFF);
    return m;
  }

 private:
  HFONT fontFor(const canvas::FontSpec& f) {
    const std::string key = f.face + "|" + std::to_string(f.size) + "|" + std::to_string(f.bold) +
                            std::to_string(f.italic) + std::to_string(f.underline) + std::to_string(f.strikeOut);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second.get();
    int dpi = 96;
    {
      const ScreenDc screen;
      if (screen.get()) dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    }
    const int height = -MulDiv(f.size, dpi, 72);
    const std::wstring face = f.face.empty() || f.face.size() >= 32 ? L"SimSun" : wide(f.face);
    OwnedFont font(CreateFontW(height, 0, f.angle, f.angle, f.bold ? FW_BOLD : FW_NORMAL, f.italic, f.underline,
                               f.strikeOut, GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               ANTIALIASED_QUALITY, DEFAULT_PITCH, face.c_str()));
    return fonts_.emplace(key, std::move(font)).first->second.get();
  }

  // (Declared first, freed last: the fonts are never selected into it by
  // then.)
  OwnedMemoryDc dc_;
  std::map<std::string, OwnedFont> fonts_;
};

}  // namespace

std::unique_ptr<canvas::TextRasterizer> makeGdiRasterizer() { return std::make_unique<GdiRasterizer>(); }

}  // namespace lh::platform::win32
