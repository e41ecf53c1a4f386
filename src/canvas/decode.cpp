#include "canvas/decode.h"

namespace lh::canvas {

ImageType sniffImageType(std::string_view b) {
  if (b.size() < 3) return ImageType::None;
  const auto u = [&b](std::size_t i) { return static_cast<unsigned char>(b[i]); };
  if (u(0) == 0x00 && u(1) == 0x00 && u(2) == 0x01) return ImageType::Ico;
  if (u(0) == 0x89 && u(1) == 0x50 && u(2) == 0x4E) return ImageType::Png;
  if (u(0) == 0x47 && u(1) == 0x49 && u(2) == 0x46) return ImageType::Gif;
  if (u(0) == 0xFF && u(1) == 0xD8 && u(2) == 0xFF) return ImageType::Jpeg;
  if (u(0) == 0x42 && u(1) == 0x4D && u(2) == 0x36) return ImageType::Bmp;
  return ImageType::None;
}

Picture decodePicture(std::string_view b, Alpha alpha) {
  Picture p;
  const auto u = [&b](std::size_t i) { return static_cast<unsigned char>(b[i]); };
  if (b.size() >= 4 && u(0) == 0 && u(1) == 0 && (u(2) == 1 || u(2) == 2) && u(3) == 0) {
    p = decodeIco(b);
  } else if (b.size() >= 8 && u(0) == 0x89 && b.substr(1, 3) == "PNG") {
    p = decodePng(b);
  } else if (b.size() >= 6 && (b.substr(0, 6) == "GIF87a" || b.substr(0, 6) == "GIF89a")) {
    p = decodeGif(b);
  } else if (b.size() >= 3 && u(0) == 0xFF && u(1) == 0xD8 && u(2) == 0xFF) {
    p = decodeJpeg(b);
  } else if (b.size() >= 2 && b.substr(0, 2) == "BM") {
    p = decodeBmp(b);
  }
  if (p.empty()) return Picture{};
  if (alpha == Alpha::Premultiplied) premultiply(p);
  return p;
}

}  // namespace lh::canvas
