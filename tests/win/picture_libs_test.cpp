// The Windows build links zlib, libpng and libjpeg statically: check that
// each library is really there and usable by decoding a tiny picture of each
// kind in memory.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

TEST(WindowsPictureLibraries, ZlibRoundTripsData) {
  const char text[] = "linkhoard linkhoard linkhoard";
  std::vector<unsigned char> packed(compressBound(sizeof text));
  uLongf packedSize = packed.size();
  ASSERT_EQ(compress(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(text), sizeof text), Z_OK);
  char back[sizeof text] = {};
  uLongf backSize = sizeof back;
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(back), &backSize, packed.data(), packedSize), Z_OK);
  EXPECT_STREQ(back, text);
}

TEST(WindowsPictureLibraries, LibpngWritesAndReadsAPicture) {
  png_image out{};
  out.version = PNG_IMAGE_VERSION;
  out.width = 2;
  out.height = 2;
  out.format = PNG_FORMAT_RGBA;
  const unsigned char pixels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 10, 20, 30, 40};
  png_alloc_size_t size = 0;
  ASSERT_TRUE(png_image_write_to_memory(&out, nullptr, &size, 0, pixels, 0, nullptr));
  std::vector<unsigned char> bytes(size);
  ASSERT_TRUE(png_image_write_to_memory(&out, bytes.data(), &size, 0, pixels, 0, nullptr));

  png_image in{};
  in.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&in, bytes.data(), size));
  in.format = PNG_FORMAT_RGBA;
  unsigned char back[16] = {};
  ASSERT_TRUE(png_image_finish_read(&in, nullptr, back, 0, nullptr));
  EXPECT_EQ(0, memcmp(back, pixels, 16));
}

TEST(WindowsPictureLibraries, LibjpegEncodesAGreyPicture) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = 8;
  c.image_height = 8;
  c.input_components = 1;
  c.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  unsigned char row[8] = {0, 32, 64, 96, 128, 160, 192, 224};
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row;
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  ASSERT_GT(size, 100u);
  EXPECT_EQ(buffer[0], 0xFF);
  EXPECT_EQ(buffer[1], 0xD8);
  free(buffer);
}
