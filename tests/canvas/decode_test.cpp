// Our decoders against pictures made by ImageMagick, each compared with
// ImageMagick's own decoding of it (its PNG twin, decoded by libpng).
#include "canvas/decode.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <cstring>

#include "../support/files.h"

namespace lh::canvas {
namespace {

using test::picturePath;
using test::readFile;

Picture load(const std::string& name) {
  const std::string bytes = readFile(picturePath(name));
  EXPECT_FALSE(bytes.empty()) << name;
  return decodePicture(bytes);
}

// Fully transparent pixels compare equal whatever their colour.
void expectSamePixels(const Picture& got, const Picture& want, int tolerance, const std::string& what) {
  ASSERT_EQ(got.width, want.width) << what;
  ASSERT_EQ(got.height, want.height) << what;
  int bad = 0;
  for (int y = 0; y < got.height; ++y) {
    for (int x = 0; x < got.width; ++x) {
      const std::uint32_t a = got.at(x, y), b = want.at(x, y);
      if (alphaOf(a) == 0 && alphaOf(b) == 0) continue;
      const int d = std::max({std::abs(int(alphaOf(a)) - int(alphaOf(b))), std::abs(int(redOf(a)) - int(redOf(b))),
                              std::abs(int(greenOf(a)) - int(greenOf(b))), std::abs(int(blueOf(a)) - int(blueOf(b)))});
      if (d > tolerance && bad++ < 3) {
        ADD_FAILURE() << what << " pixel " << x << "," << y << std::hex << " got " << a << " want " << b;
      }
    }
  }
  EXPECT_EQ(bad, 0) << what;
}

void expectMatchesTwin(const std::string& name, int tolerance = 0) {
  expectSamePixels(load(name), load(name + ".png"), tolerance, name);
}

TEST(SniffImageType, ByTheFirstThreeBytes) {
  EXPECT_EQ(sniffImageType(std::string("\0\0\x01", 3)), ImageType::Ico);
  EXPECT_EQ(sniffImageType("\x89PNG"), ImageType::Png);
  EXPECT_EQ(sniffImageType("GIF89a"), ImageType::Gif);
  EXPECT_EQ(sniffImageType("\xFF\xD8\xFF\xE0"), ImageType::Jpeg);
  EXPECT_EQ(sniffImageType("BM6"), ImageType::Bmp);
  EXPECT_EQ(sniffImageType("BM8"), ImageType::None);  // only "BM6" counts here
  EXPECT_EQ(sniffImageType(std::string("\0\0\x02", 3)), ImageType::None);  // a cursor
  EXPECT_EQ(sniffImageType("GI"), ImageType::None);
  EXPECT_EQ(sniffImageType("<html>"), ImageType::None);
}

TEST(DecodePng, KeepsStraightAlpha) {
  const Picture p = load("rgba.png");
  ASSERT_EQ(p.width, 4);
  ASSERT_EQ(p.height, 3);
  EXPECT_EQ(p.at(0, 0), argb(255, 255, 0, 0));
  EXPECT_EQ(p.at(2, 0), argb(255, 0, 0, 255));
  EXPECT_EQ(p.at(1, 2), argb(128, 255, 0, 0));
  EXPECT_EQ(alphaOf(p.at(2, 2)), 0u);
  const Picture pre = decodePicture(readFile(picturePath("rgba.png")), Alpha::Premultiplied);
  EXPECT_EQ(pre.at(1, 2), argb(128, 128, 0, 0));
  EXPECT_EQ(pre.at(2, 2), 0u);
}

TEST(DecodeBmp, EveryBitDepthMatchesImageMagick) {
  expectMatchesTwin("bmp1.bmp");
  expectMatchesTwin("bmp4.bmp");
  expectMatchesTwin("bmp8.bmp");
  expectMatchesTwin("bmp8-rle.bmp");
  expectMatchesTwin("bmp16-555.bmp", 1);
  expectMatchesTwin("bmp16-565.bmp", 1);
  expectMatchesTwin("bmp24.bmp");
  expectMatchesTwin("bmp24-large.bmp");
  expectMatchesTwin("bmp32-alpha.bmp");
  EXPECT_EQ(alphaOf(load("bmp32-alpha.bmp").at(1, 2)), 128u);
}

TEST(DecodeBmp, TopDownRowsReadTheSame) {
  std::string bytes = readFile(picturePath("bmp24-large.bmp"));
  const Picture bottomUp = decodeBmp(bytes);
  ASSERT_FALSE(bottomUp.empty());
  // Turn the file into a top-down one: negative height, rows reversed.
  const std::uint32_t offset = static_cast<unsigned char>(bytes[10]) | (static_cast<unsigned char>(bytes[11]) << 8);
  const int h = bottomUp.height;
  const std::size_t stride = ((bottomUp.width * 24 + 31) / 32) * 4;
  std::string flipped = bytes;
  for (int y = 0; y < h; ++y) {
    flipped.replace(offset + y * stride, stride, bytes.substr(offset + (h - 1 - y) * stride, stride));
  }
  const std::int32_t negative = -h;
  std::memcpy(&flipped[22], &negative, 4);
  expectSamePixels(decodeBmp(flipped), bottomUp, 0, "top-down");
}

TEST(DecodeGif, FirstFrameWithTransparencyAndInterlacing) {
  const Picture t = load("gif-transparent.gif");
  ASSERT_EQ(t.width, 4);
  EXPECT_EQ(alphaOf(t.at(2, 2)), 0u);
  EXPECT_EQ(t.at(0, 0), argb(255, 255, 0, 0));
  expectMatchesTwin("gif-transparent.gif");
  expectMatchesTwin("gif-plain.gif");
  expectMatchesTwin("gif-interlaced.gif");
}

TEST(DecodeJpeg, MatchesImageMagickWithinRounding) { expectMatchesTwin("jpeg.jpg", 2); }

TEST(DecodeIco, TakesTheLargestImage) {
  const Picture p = load("ico-multi.ico");
  EXPECT_EQ(p.width, 32);
  expectSamePixels(p, load("ico-multi.ico-0.png"), 0, "ico 32");
  expectMatchesTwin("cursor.cur");
}

TEST(DecodeIco, LowDepthImagesUseTheirAndMask) {
  const Picture p = load("ico-4bit-mask.ico");
  ASSERT_EQ(p.width, 16);
  EXPECT_EQ(alphaOf(p.at(0, 0)), 0u);
  EXPECT_EQ(alphaOf(p.at(5, 5)), 0u);
  EXPECT_EQ(alphaOf(p.at(6, 6)), 255u);
  expectMatchesTwin("ico-4bit-mask.ico");
  expectMatchesTwin("ico-32bit-no-alpha.ico");
}

TEST(DecodeIco, ARealMultiImageIcon) {
  const Picture p = decodePicture(readFile(test::fixturePath("rust-ico_wiki.ico")));
  ASSERT_EQ(p.width, 48);
  ASSERT_EQ(p.height, 48);
  // Its 48-pixel image has 76 transparent pixels around the globe.
  int transparent = 0, opaque = 0;
  for (std::uint32_t px : p.pixels) {
    transparent += alphaOf(px) == 0;
    opaque += alphaOf(px) == 255;
  }
  EXPECT_EQ(transparent, 76);
  EXPECT_EQ(opaque, 48 * 48 - 76);
}

std::string pngOfSize(int w, int h) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = w;
  img.height = h;
  img.format = PNG_FORMAT_GRAY;
  std::vector<unsigned char> pixels(static_cast<std::size_t>(w) * h, 100);
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&img, nullptr, &size, 0, pixels.data(), 0, nullptr);
  std::string out(size, '\0');
  png_image_write_to_memory(&img, out.data(), &size, 0, pixels.data(), 0, nullptr);
  return out;
}

TEST(DecodePng, SixteenBitChannelsAreRoundedToEightBits) {
  // One pixel per channel value, red = green = blue.
  const std::vector<std::uint16_t> values{0x0000, 0x007F, 0x0080, 0x00FF, 0x7F80, 0x8080, 0xFF00, 0xFF7F, 0xFFFF};
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = static_cast<png_uint_32>(values.size());
  img.height = 1;
  img.format = PNG_FORMAT_LINEAR_RGB;
  std::vector<std::uint16_t> pixels;
  for (std::uint16_t v : values) pixels.insert(pixels.end(), {v, v, v});
  png_alloc_size_t size = 0;
  ASSERT_TRUE(png_image_write_to_memory(&img, nullptr, &size, 0, pixels.data(), 0, nullptr));
  std::string bytes(size, '\0');
  ASSERT_TRUE(png_image_write_to_memory(&img, bytes.data(), &size, 0, pixels.data(), 0, nullptr));
  ASSERT_EQ(static_cast<unsigned char>(bytes[24]), 16u);  // the IHDR's bit depth
  const Picture p = decodePicture(bytes);
  ASSERT_EQ(p.width, static_cast<int>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    const unsigned want = (values[i] * 255u + 32767u) / 65535u;  // nearest of 0..255
    EXPECT_EQ(redOf(p.at(static_cast<int>(i), 0)), want) << std::hex << values[i];
    EXPECT_EQ(blueOf(p.at(static_cast<int>(i), 0)), want) << std::hex << values[i];
  }
}

TEST(HostilePictures, OversizedPicturesDecodeToNothing) {
  EXPECT_FALSE(decodePicture(pngOfSize(4096, 1)).empty());
  EXPECT_TRUE(decodePicture(pngOfSize(4097, 1)).empty());
  // A BMP header claiming 5000 x 5000 pixels.
  std::string bmp = readFile(picturePath("bmp24.bmp"));
  const std::int32_t big = 5000;
  std::memcpy(&bmp[18], &big, 4);
  std::memcpy(&bmp[22], &big, 4);
  EXPECT_TRUE(decodePicture(bmp).empty());
  // A GIF whose logical screen is 5000 pixels wide.
  std::string gif = readFile(picturePath("gif-plain.gif"));
  gif[6] = static_cast<char>(5000 & 0xFF);
  gif[7] = static_cast<char>(5000 >> 8);
  EXPECT_TRUE(decodePicture(gif).empty());
}

TEST(HostilePictures, AChunkLengthBeyondTheFileAllocatesNothingBig) {
  // The length of the chunk after IHDR claims two gigabytes.
  std::string png = readFile(picturePath("rgba.png"));
  const std::size_t second = 8 + 12 + 13;
  png[second] = 0x7A, png[second + 1] = 0x26, png[second + 2] = 0x00, png[second + 3] = 0x25;
  EXPECT_TRUE(decodePicture(png).empty());
}

TEST(HostilePictures, InconsistentSizesDecodeToNothing) {
  std::string bmp = readFile(picturePath("bmp24-large.bmp"));
  EXPECT_TRUE(decodePicture(bmp.substr(0, bmp.size() - 10)).empty());  // pixels missing
  std::string ico = readFile(picturePath("ico-multi.ico"));
  for (int i = 0; i < 2; ++i) ico[6 + 16 * i + 12] = static_cast<char>(0xF0);  // offsets past the end
  for (int i = 0; i < 2; ++i) ico[6 + 16 * i + 13] = static_cast<char>(0xF0);
  EXPECT_TRUE(decodePicture(ico).empty());
}

TEST(HostilePictures, EveryTruncationOfEveryPictureIsHandled) {
  for (const char* name : {"rgba.png", "bmp8.bmp", "bmp8-rle.bmp", "bmp32-alpha.bmp", "gif-interlaced.gif", "jpeg.jpg",
                           "ico-multi.ico", "ico-4bit-mask.ico", "cursor.cur"}) {
    const std::string bytes = readFile(picturePath(name));
    for (std::size_t n = 0; n < bytes.size(); n += 1 + n / 16) {
      const Picture p = decodePicture(bytes.substr(0, n));
      if (!p.empty()) EXPECT_EQ(p.pixels.size(), static_cast<std::size_t>(p.width) * p.height) << name << n;
    }
  }
}

TEST(HostilePictures, GarbageAfterASignature) {
  std::string junk(300, '\x5A');
  for (const std::string& head : {std::string("\x89PNG\r\n\x1a\n"), std::string("GIF89a"),
                                  std::string("\xFF\xD8\xFF"), std::string("BM"), std::string("\0\0\x01\0", 4)}) {
    EXPECT_TRUE(decodePicture(head + junk).empty());
  }
}

}  // namespace
}  // namespace lh::canvas
