// Any bytes to the gif decoder.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "picture_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  lh::fuzz::checkPicture(lh::canvas::decodeGif(bytes));
  return 0;
}
