// The pure parts of the site-icon cache: the icon strip's records (16 x 16,
// 24-bit BMP files of 822 bytes each), finding the icon a page declares,
// reducing a multi-image ICO to its deepest image, and rendering any
// downloaded picture into a record. No platform calls and no threads: the
// fetching, the strip file and the index file live elsewhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "canvas/picture.h"

namespace lh::capture {

// Every record is a complete BMP file: a 14-byte file header, a 40-byte
// info header (16 x 16, bottom-up, 24 bits, no compression), then 16 rows of
// 48 bytes, bottom row first, each pixel blue, green, red.
inline constexpr int kIconSide = 16;
inline constexpr std::size_t kIconHeaderSize = 54;
inline constexpr std::size_t kIconRecordSize = kIconHeaderSize + 3 * kIconSide * kIconSide;  // 822
static_assert(kIconRecordSize == 822);

// The records of the icon strip, in order: 822 bytes each, the bytes of a
// last incomplete record ignored.
std::vector<std::string> splitIconStrip(std::string_view strip);

// An ICO file reduced to its deepest image: the first directory entry whose
// bit count is greater than that of every earlier entry (or the last entry
// when none has a bit count above 0), as a one-image ICO whose image data
// starts at offset 22. The data is returned unchanged when it holds one
// image, when that image is 256 pixels wide (width byte 0), and - bytes that
// are not all there are never read - when the directory or the image's data
// run past the end of `data` or `data` is shorter than its 6-byte header.
// A count of 0 or less (the count is read as a signed 16-bit number) gives
// the bare header of an ICO without images, which renders as a white record.
std::string reduceIco(std::string_view data);

// Renders any picture data into a record: the decoded picture stretched to
// 16 x 16 by area averaging (each pixel takes every source pixel it covers,
// by the share it covers, colours weighted by their alpha) and laid over
// white, the list's background; data that cannot be decoded gives a white
// record. Identical data gives identical records.
std::string renderIconRecord(std::string_view data);
// The same for a picture already decoded (straight alpha).
std::string renderIconRecord(const canvas::Picture& picture);

// The 822-byte record of a 16 x 16 picture: its colours, alpha ignored.
// Pixels outside a smaller picture are written white.
std::string encodeIconRecord(const canvas::Picture& p16);

}  // namespace lh::capture
