// PNG through libpng's simplified interface, which reports every error as a
// return value (its own longjmp stays inside the library).
#include <png.h>

#include "canvas/decode.h"

namespace lh::canvas {

Picture decodePng(std::string_view bytes) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
  if (image.width == 0 || image.height == 0 || image.width > kMaxPictureSide ||
      image.height > kMaxPictureSide) {
    png_image_free(&image);
    return {};
  }
  image.format = PNG_FORMAT_BGRA;  // straight alpha, B G R A in memory
  Picture p;
  p.width = static_cast<int>(image.width);
  p.height = static_cast<int>(image.height);
  p.pixels.resize(static_cast<std::size_t>(p.width) * p.height);
  if (!png_image_finish_read(&image, nullptr, p.pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return {};
  }
  return p;
}

}  // namespace lh::canvas
