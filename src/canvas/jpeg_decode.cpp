// JPEG through libjpeg, with an error handler that returns to us instead of
// ending the process, and a limit on the number of scans a progressive
// picture may take.
#include <csetjmp>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

#include "canvas/decode.h"

namespace lh::canvas {

namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void errorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

void silent(j_common_ptr, int) {}
void noOutput(j_common_ptr) {}

constexpr int kMaxScans = 200;

void progress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->is_decompressor && d->input_scan_number > kMaxScans) errorExit(cinfo);
}

// Everything with a destructor lives outside the function that calls setjmp.
bool decodeInto(std::string_view bytes, Picture& p, std::vector<unsigned char>& row) {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  jpeg_progress_mgr monitor{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = errorExit;
  err.pub.emit_message = silent;
  err.pub.output_message = noOutput;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  monitor.progress_monitor = progress;
  cinfo.progress = &monitor;
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > kMaxPictureSide ||
      cinfo.image_height > kMaxPictureSide) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const int comps = cinfo.output_components;
  if ((cmyk && comps != 4) || (!cmyk && comps != 3)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  p.width = static_cast<int>(cinfo.output_width);
  p.height = static_cast<int>(cinfo.output_height);
  p.pixels.assign(static_cast<std::size_t>(p.width) * p.height, 0);
  row.resize(static_cast<std::size_t>(p.width) * comps);
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = static_cast<int>(cinfo.output_scanline);
    JSAMPROW r = row.data();
    if (jpeg_read_scanlines(&cinfo, &r, 1) != 1) break;
    std::uint32_t* out = &p.pixels[static_cast<std::size_t>(y) * p.width];
    for (int x = 0; x < p.width; ++x) {
      const unsigned char* s = &row[static_cast<std::size_t>(x) * comps];
      if (cmyk) {
        // Adobe writes CMYK inverted: the values are already 255 - ink.
        const unsigned k = s[3];
        out[x] = argb(255, div255(s[0] * k), div255(s[1] * k), div255(s[2] * k));
      } else {
        out[x] = argb(255, s[0], s[1], s[2]);
      }
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

Picture decodeJpeg(std::string_view bytes) {
  Picture p;
  std::vector<unsigned char> row;
  if (!decodeInto(bytes, p, row)) return {};
  return p;
}

}  // namespace lh::canvas
