// The generated pictures and sounds have the geometry, colours and formats
// the program relies on.
#include "resources/resources.h"

#include <gtest/gtest.h>

#include <cstring>

#include "canvas/decode.h"

namespace lh::resources {
namespace {

using canvas::alphaOf;
using canvas::argb;
using canvas::Picture;

Picture picture(Resource r) { return canvas::decodePicture(bytes(r)); }

TEST(Resources, PicturesHaveTheirSizes) {
  const struct {
    Resource r;
    int w, h;
  } sizes[] = {
      {Resource::PinStrip, 350, 25},        {Resource::PinStripHover, 350, 25},
      {Resource::ToolbarStrip, 350, 73},    {Resource::ButtonHitArea, 49, 22},
      {Resource::AddButtonHover, 49, 22},   {Resource::NewCategoryButtonHover, 51, 22},
      {Resource::SearchFieldFrame, 186, 22}, {Resource::BarTemplate, 350, 44},
      {Resource::ViewTabMarker, 55, 24},    {Resource::BadgeFrame, 36, 22},
      {Resource::RightEdgeShadow, 20, 200}, {Resource::LeftEdgeShadow, 20, 200},
      {Resource::TrayIcon, 104, 104},
  };
  for (const auto& s : sizes) {
    const Picture p = picture(s.r);
    EXPECT_EQ(p.width, s.w) << nameOf(s.r);
    EXPECT_EQ(p.height, s.h) << nameOf(s.r);
  }
}

TEST(Resources, TheButtonHitAreaIsAlmostInvisibleButHittable) {
  const Picture p = picture(Resource::ButtonHitArea);
  for (std::uint32_t px : p.pixels) {
    EXPECT_GT(alphaOf(px), 0u);
    EXPECT_LT(alphaOf(px), 8u);
  }
}

TEST(Resources, TheRightShadowFallsToTheRight) {
  const Picture p = picture(Resource::RightEdgeShadow);
  const std::uint32_t expected[12] = {argb(255, 204, 204, 204), argb(120, 255, 255, 255), argb(120, 255, 255, 255),
                                      argb(120, 255, 255, 255), argb(120, 255, 255, 255), argb(120, 102, 102, 102),
                                      argb(102, 102, 102, 102), argb(83, 102, 102, 102),  argb(64, 102, 102, 102),
                                      argb(46, 102, 102, 102),  argb(27, 102, 102, 102),  argb(8, 102, 102, 102)};
  for (int y : {0, 100, 199}) {
    for (int x = 0; x < 12; ++x) EXPECT_EQ(p.at(x, y), expected[x]) << x;
    for (int x = 12; x < 20; ++x) EXPECT_EQ(alphaOf(p.at(x, y)), 0u) << x;
  }
  const Picture left = picture(Resource::LeftEdgeShadow);
  EXPECT_EQ(left.at(19, 50), expected[0]);
  EXPECT_EQ(left.at(19 - 6, 50), expected[6]);
}

TEST(Resources, TheViewTabMarkerIsTranslucentGrey) {
  const Picture p = picture(Resource::ViewTabMarker);
  EXPECT_EQ(p.at(27, 12), argb(133, 211, 211, 211));
}

TEST(Resources, TheTrayIconIsOne104PixelImageOf32Bits) {
  const std::string_view ico = bytes(Resource::TrayIcon);
  ASSERT_EQ(ico.size(), 44990u);
  EXPECT_EQ(ico.substr(0, 6), std::string_view("\0\0\1\0\1\0", 6));
  EXPECT_EQ(static_cast<unsigned char>(ico[6]), 104);
  EXPECT_EQ(static_cast<unsigned char>(ico[12]), 32);
}

TEST(Resources, TheStartupSoundIsStereo22kHz16Bit) {
  const std::string_view wav = bytes(Resource::StartupSound);
  ASSERT_GT(wav.size(), 44u);
  auto u16 = [&wav](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(wav[at]) | (static_cast<unsigned char>(wav[at + 1]) << 8)); };
  auto u32 = [&](std::size_t at) { return u16(at) | (u16(at + 2) << 16); };
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav.substr(8, 4), "WAVE");
  EXPECT_EQ(u16(20), 1u);      // PCM
  EXPECT_EQ(u16(22), 2u);      // channels
  EXPECT_EQ(u32(24), 22050u);  // rate
  EXPECT_EQ(u16(34), 16u);     // bits
  EXPECT_EQ(wav.substr(36, 4), "data");
  EXPECT_EQ(u32(40), 241512u);
}

}  // namespace
}  // namespace lh::resources
