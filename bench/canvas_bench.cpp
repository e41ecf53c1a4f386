// The list canvas at full size: 350 x 1080 with the list's objects (55 row
// slots of background, icon and title at 20-pixel rows, plus a dozen
// overlays with alpha). Every slot moves by one pixel per step, as the
// smooth scroll does; prints the time per step (moves and recomposing the
// dirty region) and per full repaint.
#include <time.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "bench_data.h"
#include "canvas/animation_box.h"

using namespace lh::canvas;

namespace {

using lh::bench::nowMs;

std::shared_ptr<const Picture> make(int w, int h, std::uint32_t (*pixel)(int x, int y, int w, int h)) {
  Picture p;
  p.width = w;
  p.height = h;
  p.pixels.resize(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) p.at(x, y) = pixel(x, y, w, h);
  }
  premultiply(p);
  return std::make_shared<const Picture>(std::move(p));
}

// A row of the white card: transparent margins, grey borders, white inside.
std::uint32_t cardRow(int x, int y, int, int) {
  if (x < 27 || x > 322) return 0;
  if (x == 27 || x == 322) return argb(255, 204, 204, 204);
  return y == 19 ? argb(255, 243, 243, 243) : argb(255, 255, 255, 255);
}
std::uint32_t icon(int x, int y, int, int) {
  const bool frame = x == 0 || y == 0 || x == 15 || y == 15;
  return frame ? argb(255, 204, 204, 204) : argb(255, 0, 199, 232);
}
std::uint32_t band(int x, int y, int, int) {
  return (x >= 30 && x <= 319 && y >= 2 && y <= 21) ? argb(49, 167, 180, 209) : 0;
}
std::uint32_t fadeDown(int, int y, int, int h) { return argb(255 - 255 * y / h, 247, 247, 247); }
std::uint32_t fadeUp(int, int y, int, int h) { return argb(255 * y / h, 247, 247, 247); }
std::uint32_t thumb(int x, int, int, int) { return (x >= 10 && x <= 16) ? argb(255, 194, 194, 194) : argb(3, 0, 0, 0); }

}  // namespace

int main() {
  FixedWidthRasterizer raster;
  AnimationBox box(350, 1080, &raster);
  const auto card = make(350, 20, cardRow);
  const auto site = make(16, 16, icon);
  FontSpec font;
  font.size = 9;
  font.face = "新宋体";
  constexpr int kSlots = 55;
  struct Slot {
    ObjectId background, icon, text;
  };
  std::vector<Slot> slots;
  for (int k = 0; k < kSlots; ++k) {
    Slot s;
    s.background = box.createObject(0, 2 + 20 * k);
    box.setPicture(s.background, card);
    s.icon = box.createObject(36, 20 * k + 1);
    box.setPicture(s.icon, site);
    s.text = box.createObject(58, 20 * k + 3);
    box.setText(s.text, "Bookmark title number " + std::to_string(k) + " 中文标题", font, 0x818181);
    for (ObjectId o : {s.background, s.icon, s.text}) box.setLayer(o, 1);
    slots.push_back(s);
  }
  // Overlays: highlight, fades, thumb, curtain, badge, insertion line, notice, header strips.
  auto overlay = [&box](double x, double y, std::shared_ptr<const Picture> p, int layer) {
    const ObjectId o = box.createObject(x, y);
    box.setPicture(o, std::move(p));
    box.setLayer(o, layer);
    return o;
  };
  overlay(0, 97, make(350, 26, band), 5);
  overlay(0, 0, make(350, 20, fadeDown), 5);
  overlay(0, 1040, make(350, 20, fadeUp), 5);
  overlay(323, 300, make(27, 88, thumb), 6);
  overlay(350, 0, make(350, 1080, [](int, int, int, int) { return argb(255, 247, 247, 247); }), 8);
  overlay(260, 40, make(60, 20, [](int, int, int, int) { return argb(200, 128, 0, 128); }), 6);
  overlay(27, 60, make(295, 1, [](int, int, int, int) { return argb(255, 128, 0, 128); }), 2);
  for (int i = 0; i < 5; ++i) overlay(20 + 60 * i, 500 + 40 * i, make(40, 40, band), 7);

  box.paint();
  constexpr int kFull = 200;
  double t0 = nowMs();
  for (int i = 0; i < kFull; ++i) {
    box.invalidateAll();
    box.paint();
  }
  const double full = (nowMs() - t0) / kFull;

  constexpr int kSteps = 2000;
  int offset = 0;
  t0 = nowMs();
  for (int step = 0; step < kSteps; ++step) {
    offset = (offset + 1) % 20;
    for (int k = 0; k < kSlots; ++k) {
      const int y = 20 * k - offset;
      box.moveObject(slots[k].background, 0, y);
      box.moveObject(slots[k].icon, 36, y + 1);
      box.moveObject(slots[k].text, 58, y + 3);
    }
    box.paint();
  }
  const double step = (nowMs() - t0) / kSteps;
  std::printf("canvas 350 x 1080, %d objects\n", static_cast<int>(box.order().size()));
  std::printf("scroll step (165 moves + recompose)  %7.3f ms\n", step);
  std::printf("full repaint                         %7.3f ms\n", full);
  return 0;
}
