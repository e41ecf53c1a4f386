// The text rasteriser of the real program: GDI draws each line, white on
// black, and its green channel is the coverage.
#pragma once

#include <memory>

#include "canvas/text_raster.h"

namespace lh::platform::win32 {

std::unique_ptr<canvas::TextRasterizer> makeGdiRasterizer();

}  // namespace lh::platform::win32
