#include "capture/icon_record.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <tuple>
#include <vector>

#include "../support/files.h"
#include "canvas/decode.h"
#include "text/md5.h"

namespace lh::capture {
namespace {

using canvas::argb;
using canvas::Picture;

void put16(std::string& s, unsigned v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& s, std::uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}
std::uint32_t get32(std::string_view s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

// A bitmap as an icon stores it: a 40-byte header with the height doubled,
// the pixels bottom-up, all of colour 0xRRGGBB (4 bits: palette entry 1),
// then an AND mask that hides nothing.
std::string iconBitmap(int w, int h, int bits, std::uint32_t rgb) {
  std::string s;
  put32(s, 40);
  put32(s, w);
  put32(s, 2 * h);
  put16(s, 1);
  put16(s, bits);
  for (int i = 0; i < 6; ++i) put32(s, 0);
  const std::size_t stride = ((static_cast<std::size_t>(w) * bits + 31) / 32) * 4;
  if (bits == 4) {
    for (int i = 0; i < 16; ++i) put32(s, i == 1 ? rgb : 0);
    s.append(stride * h, '\x11');
  } else {
    for (int i = 0; i < w * h; ++i) put32(s, 0xFF000000u | rgb);
  }
  s.append(((static_cast<std::size_t>(w) + 31) / 32) * 4 * h, '\0');
  return s;
}

struct IcoImage {
  int width, height, colours, bits;  // a width or height of 256 is written as 0
  std::string data;
};

std::string icoFile(const std::vector<IcoImage>& images) {
  std::string s("\0\0\1\0", 4);
  put16(s, static_cast<unsigned>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (const IcoImage& im : images) {
    s.push_back(static_cast<char>(im.width & 0xFF));
    s.push_back(static_cast<char>(im.height & 0xFF));
    s.push_back(static_cast<char>(im.colours));
    s.push_back('\0');
    put16(s, 1);
    put16(s, im.bits);
    put32(s, static_cast<std::uint32_t>(im.data.size()));
    put32(s, offset);
    offset += static_cast<std::uint32_t>(im.data.size());
  }
  for (const IcoImage& im : images) s += im.data;
  return s;
}

// An 8-bit RGBA PNG of the given straight-alpha pixels.
std::string png(int w, int h, const std::function<std::uint32_t(int, int)>& pixel) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = w;
  img.height = h;
  img.format = PNG_FORMAT_RGBA;
  std::vector<unsigned char> rgba;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = pixel(x, y);
      rgba.insert(rgba.end(),
                  {static_cast<unsigned char>(canvas::redOf(p)), static_cast<unsigned char>(canvas::greenOf(p)),
                   static_cast<unsigned char>(canvas::blueOf(p)), static_cast<unsigned char>(canvas::alphaOf(p))});
    }
  }
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&img, nullptr, &size, 0, rgba.data(), 0, nullptr));
  std::string out(size, '\0');
  EXPECT_TRUE(png_image_write_to_memory(&img, out.data(), &size, 0, rgba.data(), 0, nullptr));
  return out;
}

// The colour 0xRRGGBB of pixel (x, y), counted from the top left, read
// straight from a record's bytes.
std::uint32_t recordPixel(std::string_view record, int x, int y) {
  const std::size_t at = kIconHeaderSize + static_cast<std::size_t>(15 - y) * 48 + 3 * static_cast<std::size_t>(x);
  return (static_cast<unsigned char>(record[at + 2]) << 16) | (static_cast<unsigned char>(record[at + 1]) << 8) |
         static_cast<unsigned char>(record[at]);
}

// How many of a record's 256 pixels have colour 0xRRGGBB.
int countPixels(std::string_view record, std::uint32_t rgb) {
  int n = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) n += recordPixel(record, x, y) == rgb;
  }
  return n;
}

// ---------------------------------------------------------------- strip

TEST(IconStrip, SplitsWholeRecordsAndIgnoresAnIncompleteLastOne) {
  std::string strip;
  for (int i = 0; i < 3; ++i) strip.append(kIconRecordSize, static_cast<char>('a' + i));
  EXPECT_EQ(splitIconStrip(std::string_view(strip).substr(0, 1644)),
            (std::vector<std::string>{std::string(822, 'a'), std::string(822, 'b')}));
  EXPECT_EQ(splitIconStrip(std::string_view(strip).substr(0, 1700)).size(), 2u);
  EXPECT_EQ(splitIconStrip(strip).size(), 3u);
  EXPECT_TRUE(splitIconStrip(std::string(821, 'x')).empty());
  EXPECT_TRUE(splitIconStrip("").empty());
}

// ---------------------------------------------------------------- ICO reduction

TEST(IconReduceIco, KeepsTheFirstOfTheDeepestImagesOfARealIcon) {
  const std::string ico = test::readFile(test::fixturePath("rust-ico_wiki.ico"));
  if (ico.empty()) GTEST_SKIP() << "fixture rust-ico_wiki.ico not found";
  ASSERT_EQ(get32(ico, 4) & 0xFFFF, 3u);
  const std::string out = reduceIco(ico);
  // Entry 1 (48 x 48, 32 bits): the three entries tie on their bit count.
  const std::uint32_t size = get32(ico, 6 + 8), offset = get32(ico, 6 + 12);
  EXPECT_EQ(out.substr(0, 6), std::string("\0\0\1\0\1\0", 6));
  EXPECT_EQ(out.substr(6, 8), ico.substr(6, 8));
  EXPECT_EQ(get32(out, 14), size);
  EXPECT_EQ(get32(out, 18), 22u);
  EXPECT_EQ(out.substr(22), ico.substr(offset, size));
  const Picture whole = canvas::decodePicture(ico), reduced = canvas::decodePicture(out);
  ASSERT_EQ(reduced.width, 48);
  EXPECT_EQ(reduced.pixels, whole.pixels);
}

TEST(IconReduceIco, ADeeperImageWinsOverAnEarlierOne) {
  const std::string four = iconBitmap(16, 16, 4, 0x0000FF), deep = iconBitmap(32, 32, 32, 0x00C000);
  const std::string ico = icoFile({{16, 16, 16, 4, four}, {32, 32, 0, 32, deep}});
  const std::string out = reduceIco(ico);
  std::string header("\0\0\1\0\1\0\x20\x20\0\0\1\0\x20\0", 14);
  put32(header, static_cast<std::uint32_t>(deep.size()));
  put32(header, 22);
  EXPECT_EQ(out, header + deep);
  const Picture p = canvas::decodePicture(out);
  ASSERT_EQ(p.width, 32);
  EXPECT_EQ(p.at(5, 7), argb(255, 0, 0xC0, 0));

  // Later entries must be deeper, not as deep: the first 32-bit one stays.
  const std::string other = iconBitmap(32, 32, 32, 0xFF0000);
  EXPECT_EQ(reduceIco(icoFile({{32, 32, 0, 32, deep}, {16, 16, 16, 4, four}, {32, 32, 0, 32, other}})), header + deep);
}

TEST(IconReduceIco, WithoutBitCountsTheLastEntryIsTaken) {
  const std::string a = iconBitmap(16, 16, 32, 0x112233), b = iconBitmap(16, 16, 32, 0x445566);
  const std::string out = reduceIco(icoFile({{16, 16, 0, 0, a}, {16, 16, 0, 0, b}}));
  EXPECT_EQ(out.substr(22), b);
  EXPECT_EQ(canvas::decodePicture(out).at(0, 0), argb(255, 0x44, 0x55, 0x66));
}

TEST(IconReduceIco, StaysWholeForOneImageAndForA256PixelDeepestImage) {
  const std::string one = icoFile({{16, 16, 0, 32, iconBitmap(16, 16, 32, 0x123456)}});
  EXPECT_EQ(reduceIco(one), one);
  // The 256-pixel image is written with width byte 0 (its data need not be a real picture here).
  const std::string big = icoFile({{16, 16, 16, 4, iconBitmap(16, 16, 4, 0x00FF00)}, {256, 256, 0, 32, "PNG?"}});
  EXPECT_EQ(reduceIco(big), big);
}

TEST(IconReduceIco, ACountOfZeroOrLessGivesAnIcoWithoutImages) {
  const std::string empty("\0\0\1\0\0\0", 6);
  EXPECT_EQ(reduceIco(empty), empty);
  std::string negative = icoFile({{16, 16, 0, 32, iconBitmap(16, 16, 32, 0)}});
  negative[5] = '\x80';  // 0x8001 as a signed 16-bit count
  EXPECT_EQ(reduceIco(negative), empty);
  EXPECT_EQ(canvas::sniffImageType(empty), canvas::ImageType::Ico);
  EXPECT_EQ(countPixels(renderIconRecord(empty), 0xFFFFFF), 256);
}

TEST(IconReduceIco, DataThatIsNotAllThereIsReturnedUnchanged) {
  const std::string a = iconBitmap(16, 16, 4, 0x0000FF), b = iconBitmap(32, 32, 32, 0x00FF00);
  const std::string ico = icoFile({{16, 16, 16, 4, a}, {32, 32, 0, 32, b}});
  // The image data cut short by one byte.
  const std::string cut = ico.substr(0, ico.size() - 1);
  EXPECT_EQ(reduceIco(cut), cut);
  // The chosen image's offset past the end, and its size wrapping around.
  std::string far = ico;
  far[6 + 16 + 12 + 3] = '\x7F';
  EXPECT_EQ(reduceIco(far), far);
  std::string huge = ico;
  for (int i = 0; i < 4; ++i) huge[6 + 16 + 8 + i] = '\xFF';
  EXPECT_EQ(reduceIco(huge), huge);
  // A directory longer than the data, and fewer bytes than a header.
  std::string many = ico;
  many[4] = '\xE8';  // 1000 entries
  many[5] = '\x03';
  EXPECT_EQ(reduceIco(many), many);
  EXPECT_EQ(reduceIco(std::string("\0\0\1\0", 4)), std::string("\0\0\1\0", 4));
}

// ---------------------------------------------------------------- records

TEST(IconRecord, HeaderIsThe54BytesOfA16By16TwentyFourBitBmp) {
  const std::string record = renderIconRecord("");
  ASSERT_EQ(record.size(), 822u);
  const unsigned char header[54] = {0x42, 0x4D, 0x36, 0x03, 0,    0, 0, 0, 0, 0, 0x36, 0, 0, 0, 0x28, 0, 0, 0,
                                    0x10, 0,    0,    0,    0x10, 0, 0, 0, 1, 0, 0x18, 0, 0, 0, 0,    0, 0, 0x03,
                                    0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 0,    0, 0, 0, 0,    0, 0, 0};
  EXPECT_EQ(record.substr(0, 54), std::string(reinterpret_cast<const char*>(header), 54));
  EXPECT_EQ(canvas::sniffImageType(record), canvas::ImageType::Bmp);
}

TEST(IconRecord, RowsAreWrittenBottomUpBlueGreenRed) {
  Picture p;
  p.width = p.height = 16;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) p.pixels.push_back(argb(255, 16 * x, 16 * y, 0x80 + x + y));
  }
  const std::string record = encodeIconRecord(p);
  ASSERT_EQ(record.size(), 822u);
  // The top-left pixel is the first of the last row of the file.
  EXPECT_EQ(record.substr(54 + 15 * 48, 3), std::string("\x80\0\0", 3));
  EXPECT_EQ(record.substr(54, 3), std::string("\x8F\xF0\0", 3));  // (0, 15)
  EXPECT_EQ(recordPixel(record, 15, 0), 0xF0008Fu);
  // The record reads back as the same picture.
  const Picture back = canvas::decodeBmp(record);
  ASSERT_EQ(back.width, 16);
  ASSERT_EQ(back.height, 16);
  EXPECT_EQ(back.pixels, p.pixels);
}

TEST(IconRecord, ASixteenPixelPictureKeepsEveryPixel) {
  // Every pixel a colour of its own: stretched six times over the board and
  // taken back at every sixth pixel, each comes back in its place.
  auto colour = [](int x, int y) { return argb(255, 15 * x, 15 * y, 255 - 15 * x); };
  const std::string record = renderIconRecord(png(16, 16, colour));
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) ASSERT_EQ(recordPixel(record, x, y), colour(x, y) & 0xFFFFFF) << x << "," << y;
  }
}

TEST(IconRecord, LargerPicturesAreAveragedOverTheAreaEachPixelCovers) {
  // 32 pixels: each record pixel is the mean of the 2 x 2 it covers, not
  // one of them.
  auto colour = [](int x, int y) { return argb(255, 8 * x, 8 * y, 0); };
  const std::string record = renderIconRecord(png(32, 32, colour));
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      ASSERT_EQ(recordPixel(record, x, y), static_cast<std::uint32_t>(((16 * x + 4) << 16) | ((16 * y + 4) << 8)))
          << x << "," << y;
    }
  }
  // Alpha weighs the colours: a checkerboard of opaque black and fully
  // transparent red is half black over white, never pink.
  const std::string checks =
      renderIconRecord(png(32, 32, [](int x, int y) { return (x + y) % 2 ? argb(0, 255, 0, 0) : argb(255, 0, 0, 0); }));
  EXPECT_EQ(countPixels(checks, 0x808080), 256);
  // 48 to 16: a thin line of one pixel in three still shows, at a third.
  const std::string line =
      renderIconRecord(png(48, 48, [](int x, int) { return x % 3 == 1 ? argb(255, 0, 0, 0) : argb(255, 255, 255, 255); }));
  EXPECT_EQ(countPixels(line, 0xAAAAAA), 256);
  // A picture wider than high is stretched to the square.
  const std::string wide = renderIconRecord(png(64, 1, [](int x, int) { return argb(255, x < 32 ? 255 : 0, 0, 0); }));
  EXPECT_EQ(recordPixel(wide, 7, 15), 0xFF0000u);
  EXPECT_EQ(recordPixel(wide, 8, 0), 0x000000u);
}

TEST(IconRecord, TransparentPartsBecomeWhite) {
  // Left half transparent red, right half opaque blue, one pixel black at half alpha.
  const std::string data = png(16, 16, [](int x, int y) {
    if (x == 12 && y == 3) return argb(128, 0, 0, 0);
    return x < 8 ? argb(0, 255, 0, 0) : argb(255, 0, 0, 255);
  });
  const std::string record = renderIconRecord(data);
  EXPECT_EQ(recordPixel(record, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(recordPixel(record, 7, 15), 0xFFFFFFu);
  EXPECT_EQ(recordPixel(record, 8, 0), 0x0000FFu);
  EXPECT_EQ(recordPixel(record, 12, 3), 0x7F7F7Fu);  // 255 * 127 / 255
  EXPECT_EQ(countPixels(record, 0xFFFFFF), 128);
  EXPECT_EQ(countPixels(record, 0x0000FF), 127);
}

TEST(IconRecord, DataThatCannotBeDecodedGivesAWhiteRecord) {
  for (const std::string& data : {std::string(), std::string("<html>not found</html>"), std::string("\x89PNG\r\n", 6),
                                  std::string("\0\0\1\0\2\0", 6), std::string("BM6\3\0\0", 6)}) {
    const std::string record = renderIconRecord(data);
    ASSERT_EQ(record.size(), kIconRecordSize);
    EXPECT_EQ(countPixels(record, 0xFFFFFF), 256);
  }
}

TEST(IconRecord, TheSamePictureGivesTheSameRecordAndDigest) {
  const std::string ico =
      icoFile({{16, 16, 16, 4, iconBitmap(16, 16, 4, 0x0000FF)}, {32, 32, 0, 32, iconBitmap(32, 32, 32, 0x00C000)}});
  const std::string first = renderIconRecord(reduceIco(ico)), second = renderIconRecord(reduceIco(std::string(ico)));
  EXPECT_EQ(first, second);
  EXPECT_EQ(text::md5Hex(first), text::md5Hex(second));
  EXPECT_EQ(countPixels(first, 0x00C000), 256);
  // The reduced icon and the whole one show the same picture here (the
  // decoder takes the largest image), so they too share a record.
  EXPECT_EQ(renderIconRecord(ico), first);
  const std::string other = renderIconRecord(icoFile({{32, 32, 0, 32, iconBitmap(32, 32, 32, 0x00C001)}}));
  EXPECT_NE(text::md5Hex(other), text::md5Hex(first));
}

#ifndef _WIN32
// The picture as a PAM file (RGBA), which ImageMagick reads.
std::string pam(const Picture& p) {
  std::string out = "P7\nWIDTH " + std::to_string(p.width) + "\nHEIGHT " + std::to_string(p.height) +
                    "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  for (std::uint32_t c : p.pixels) {
    out += static_cast<char>(canvas::redOf(c));
    out += static_cast<char>(canvas::greenOf(c));
    out += static_cast<char>(canvas::blueOf(c));
    out += static_cast<char>(canvas::alphaOf(c));
  }
  return out;
}

// ImageMagick's 16 x 16 of the picture laid over white, as 256 RGB values;
// empty when it cannot be run.
std::vector<std::uint32_t> imageMagick16(const Picture& p, const std::string& filter) {
  const std::string dir = ::testing::TempDir();
  const std::string in = dir + "/lh-icon-in.pam", out = dir + "/lh-icon-out.ppm";
  {
    std::ofstream f(in, std::ios::binary);
    f << pam(p);
  }
  std::remove(out.c_str());
  const std::string cmd = "convert '" + in + "' -background white -alpha remove -alpha off " + filter +
                          " -resize '16x16!' -depth 8 'ppm:" + out + "' 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) return {};
  const std::string ppm = test::readFile(out);
  const std::size_t body = ppm.size() >= 768 ? ppm.size() - 768 : 0;
  if (ppm.rfind("P6", 0) != 0 || body == 0) return {};
  std::vector<std::uint32_t> px;
  for (std::size_t i = body; i + 2 < ppm.size(); i += 3) {
    px.push_back((static_cast<std::uint8_t>(ppm[i]) << 16) | (static_cast<std::uint8_t>(ppm[i + 1]) << 8) |
                 static_cast<std::uint8_t>(ppm[i + 2]));
  }
  return px;
}

TEST(IconRecord, ARealIconIsReducedAsImageMagickReducesIt) {
  const std::string ico = test::readFile(test::fixturePath("rust-ico_wiki.ico"));
  ASSERT_FALSE(ico.empty()) << "fixture rust-ico_wiki.ico not found";
  const Picture p = canvas::decodePicture(reduceIco(ico));
  ASSERT_EQ(p.width, 48);
  const std::string record = renderIconRecord(reduceIco(ico));
  // Its box filter is the same averaging (48 to 16: 3 x 3 each): equal but
  // for rounding. Its default filter weighs neighbours too: near.
  for (const auto& [filter, meanMost, worstMost] :
       {std::tuple{std::string("-filter Box"), 1.0, 2}, std::tuple{std::string(), 8.0, 64}}) {
    const std::vector<std::uint32_t> want = imageMagick16(p, filter);
    ASSERT_EQ(want.size(), 256u) << "ImageMagick's convert did not run (" << filter << ")";
    double sum = 0;
    int worst = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const std::uint32_t got = recordPixel(record, x, y), ref = want[static_cast<std::size_t>(y * 16 + x)];
        for (int shift : {16, 8, 0}) {
          const int d = std::abs(static_cast<int>((got >> shift) & 0xFF) - static_cast<int>((ref >> shift) & 0xFF));
          sum += d;
          worst = std::max(worst, d);
        }
      }
    }
    EXPECT_LE(sum / (256 * 3), meanMost) << filter;
    EXPECT_LE(worst, worstMost) << filter;
  }
}
#endif

}  // namespace
}  // namespace lh::capture
