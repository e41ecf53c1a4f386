// Any bytes to the BMP decoder, as a file and as a bitmap inside an icon.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "picture_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  lh::fuzz::checkPicture(lh::canvas::decodeBmp(bytes));
  if (size > 14) lh::fuzz::checkPicture(lh::canvas::decodeDib(bytes.substr(14), true));
  return 0;
}
