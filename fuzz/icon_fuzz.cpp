// Any bytes as downloaded icon data: a reduced ICO is either the data
// itself or a well-formed ICO of at most one image (reducing it again
// changes nothing), and every picture renders to a complete record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "canvas/decode.h"
#include "capture/icon_record.h"
#include "text/md5.h"

using namespace lh;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  std::string picture(bytes);
  if (canvas::sniffImageType(bytes) == canvas::ImageType::Ico) {
    picture = capture::reduceIco(bytes);
    if (picture != bytes) {
      const std::uint16_t count = static_cast<std::uint8_t>(picture[4]) | (static_cast<std::uint8_t>(picture[5]) << 8);
      if (picture.compare(0, 4, std::string_view("\0\0\1\0", 4)) != 0 || count > 1) std::abort();
      if (count == 1 && picture.size() < 22) std::abort();
      if (capture::reduceIco(picture) != picture) std::abort();
    }
  }

  const std::string record = capture::renderIconRecord(picture);
  if (record.size() != capture::kIconRecordSize) std::abort();
  if (record.compare(0, capture::kIconHeaderSize, capture::encodeIconRecord({}), 0, capture::kIconHeaderSize) != 0) {
    std::abort();
  }
  if (text::md5Hex(record).size() != 32) std::abort();
  return 0;
}
