// PNG through libpng's full interface, so that its limits can be set before
// any chunk is read: no side above kMaxPictureSide, no ancillary chunk
// buffer above 8 MB (a hostile length field would otherwise make libpng
// allocate gigabytes), errors returned through longjmp, never an abort.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "canvas/decode.h"

namespace lh::canvas {

namespace {

struct Input {
  std::string_view bytes;
  std::size_t pos = 0;
};

void readBytes(png_structp png, png_bytep out, png_size_t n) {
  auto* in = static_cast<Input*>(png_get_io_ptr(png));
  if (in->bytes.size() - in->pos < n) png_error(png, "truncated");
  std::memcpy(out, in->bytes.data() + in->pos, n);
  in->pos += n;
}

void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

// Everything with a destructor is owned by the caller: longjmp skips none.
bool decodeInto(std::string_view bytes, Picture& p, std::vector<png_bytep>& rows) {
  if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) != 0) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  Input in{bytes, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
  png_set_chunk_malloc_max(png, 8u << 20);
  png_set_chunk_cache_max(png, 1000);
  png_set_benign_errors(png, 1);
  png_set_read_fn(png, &in, readBytes);
  png_read_info(png, info);
  const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (w == 0 || h == 0 || w > kMaxPictureSide || h > kMaxPictureSide) png_error(png, "size");
  const int colour = png_get_color_type(png, info);
  png_set_expand(png);  // palette, low-bit grey and tRNS to 8-bit RGB(A)
  png_set_scale_16(png);  // 16-bit channels rounded to the nearest 8-bit value
  if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(w) * 4) png_error(png, "layout");
  p.width = static_cast<int>(w);
  p.height = static_cast<int>(h);
  p.pixels.assign(static_cast<std::size_t>(w) * h, 0);
  rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = reinterpret_cast<png_bytep>(&p.pixels[static_cast<std::size_t>(y) * w]);
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

// The file up to its last complete chunk. Since the whole file is in
// memory, a chunk longer than what remains is damage; cutting it off here
// bounds every buffer libpng allocates by the input's size (a length field
// of two gigabytes once made it allocate that much despite its chunk limit).
static std::string_view completeChunks(std::string_view b) {
  std::size_t end = 8;
  while (end + 12 <= b.size()) {
    const auto* u = reinterpret_cast<const unsigned char*>(b.data() + end);
    const std::size_t length = (std::size_t{u[0]} << 24) | (std::size_t{u[1]} << 16) | (std::size_t{u[2]} << 8) | u[3];
    if (length > b.size() - end - 12) break;
    end += 12 + length;
    if (std::memcmp(u + 4, "IEND", 4) == 0) break;
  }
  return b.substr(0, std::min(end, b.size()));
}

Picture decodePng(std::string_view bytes) {
  bytes = completeChunks(bytes);
  Picture p;
  std::vector<png_bytep> rows;
  if (!decodeInto(bytes, p, rows)) return {};
  return p;
}

}  // namespace lh::canvas
