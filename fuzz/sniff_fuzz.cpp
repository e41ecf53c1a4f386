// Any bytes to sniffImageType and to decodePicture, which picks a decoder by
// the bytes' own signature; premultiplying keeps every colour within alpha.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "picture_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const lh::canvas::ImageType type = lh::canvas::sniffImageType(bytes);
  if (size < 3 && type != lh::canvas::ImageType::None) std::abort();
  const lh::canvas::Picture p = lh::canvas::decodePicture(bytes, lh::canvas::Alpha::Premultiplied);
  lh::fuzz::checkPicture(p);
  for (std::uint32_t px : p.pixels) {
    const unsigned a = px >> 24;
    if (((px >> 16) & 0xFF) > a || ((px >> 8) & 0xFF) > a || (px & 0xFF) > a) std::abort();
  }
  return 0;
}
