// Picture decoding. Every decoder takes untrusted bytes: it never crashes,
// never aborts the process, and refuses pictures larger than
// kMaxPictureSide on a side or whose sizes do not agree with their data
// (the result is then an empty picture).
#pragma once

#include <string_view>

#include "canvas/picture.h"

namespace lh::canvas {

enum class ImageType { None, Ico, Png, Gif, Jpeg, Bmp };

// By the first three bytes: 00 00 01 ICO, 89 50 4E PNG, 47 49 46 GIF,
// FF D8 FF JPEG, 42 4D 36 BMP; anything else (or fewer bytes) None.
ImageType sniffImageType(std::string_view bytes);

// Any of BMP, PNG, GIF (first frame), JPEG, ICO or CUR, recognised by its
// own signature (more tolerant than sniffImageType: any "BM", cursors).
Picture decodePicture(std::string_view bytes, Alpha alpha = Alpha::Straight);

// The single decoders, all giving straight alpha.
Picture decodePng(std::string_view bytes);
Picture decodeJpeg(std::string_view bytes);
Picture decodeBmp(std::string_view bytes);
Picture decodeGif(std::string_view bytes);
Picture decodeIco(std::string_view bytes);
// A device-independent bitmap without file header, as stored in icons:
// `iconMask` halves the height and applies the AND mask that follows;
// `pixelOffset` (from the start of `bytes`, 0 = right after the palette) is
// where the pixels begin.
Picture decodeDib(std::string_view bytes, bool iconMask, std::size_t pixelOffset = 0);

}  // namespace lh::canvas
