#include "canvas/animation_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "canvas/bmp_encode.h"
#include "canvas/decode.h"

namespace lh::canvas {
namespace {

constexpr std::uint32_t kBg = 0xFFF7F7F7;  // the list's background, RGB (247, 247, 247)

std::shared_ptr<const Picture> solid(int w, int h, std::uint32_t straight) {
  Picture p;
  p.width = w;
  p.height = h;
  p.pixels.assign(static_cast<std::size_t>(w) * h, straight);
  premultiply(p);
  return std::make_shared<const Picture>(std::move(p));
}

bool near(std::uint32_t a, std::uint32_t b, int tolerance = 1) {
  for (int shift : {0, 8, 16, 24}) {
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
  }
  return true;
}

class CanvasTest : public ::testing::Test {
 protected:
  FixedWidthRasterizer raster;
  AnimationBox box{40, 30, &raster};
  std::vector<std::string> log;

  void record() {
    auto& e = box.listen();
    e.pointerDown = [this](Button b, int x, int y) { log.push_back("down"); };
    e.pointerUp = [this](Button, int, int) { log.push_back("up"); };
    e.pointerMove = [this](int, int) { log.push_back("move"); };
    e.objectLeftDown = [this](ObjectId o) { log.push_back("leftDown " + std::to_string(o)); };
    e.objectLeftUp = [this](ObjectId o, ObjectId p) {
      log.push_back("leftUp " + std::to_string(o) + " " + std::to_string(p));
    };
    e.objectRightDown = [this](ObjectId o) { log.push_back("rightDown " + std::to_string(o)); };
    e.objectRightUp = [this](ObjectId o) { log.push_back("rightUp " + std::to_string(o)); };
    e.objectDoubleClick = [this](ObjectId o) { log.push_back("double " + std::to_string(o)); };
    e.objectEnter = [this](ObjectId o, ObjectId p) {
      log.push_back("enter " + std::to_string(o) + " " + std::to_string(p));
    };
    e.objectLeave = [this](ObjectId o, ObjectId p) {
      log.push_back("leave " + std::to_string(o) + " " + std::to_string(p));
    };
    e.canvasPointerMove = [this](int x, int y, ObjectId p) {
      log.push_back("canvasMove " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(p));
    };
  }
};

TEST_F(CanvasTest, IdsGrowAndAreNeverReused) {
  EXPECT_EQ(box.createObject(0, 0), 1);
  EXPECT_EQ(box.createObject(0, 0), 2);
  box.destroyObject(2);
  EXPECT_EQ(box.createObject(0, 0), 3);
  EXPECT_EQ(box.cloneObject(1), 4);
  EXPECT_EQ(box.cloneObject(2), -1);
  EXPECT_EQ(box.getLeft(2), 0);
  box.clear();
  EXPECT_EQ(box.createObject(0, 0), 1);
}

TEST_F(CanvasTest, LayersOrderPaintingAndHits) {
  const ObjectId a = box.createObject(0, 0);
  const ObjectId b = box.createObject(0, 0);
  box.setPicture(a, solid(10, 10, argb(255, 255, 0, 0)));
  box.setPicture(b, solid(10, 10, argb(255, 0, 0, 255)));
  EXPECT_EQ(box.hitTest(5, 5), b);  // same layer: the later one is on top
  box.paint();
  EXPECT_EQ(box.pixel(5, 5), argb(255, 0, 0, 255));

  box.setLayer(b, 0);  // its current layer: nothing changes
  EXPECT_EQ(box.order(), (std::vector<ObjectId>{a, b}));
  box.setLayer(a, 1);
  EXPECT_EQ(box.order(), (std::vector<ObjectId>{b, a}));
  EXPECT_EQ(box.hitTest(5, 5), a);
  const ObjectId c = box.createObject(0, 0);
  box.setLayer(c, 1);  // goes to the end of layer 1
  EXPECT_EQ(box.order(), (std::vector<ObjectId>{b, a, c}));
  const ObjectId d = box.cloneObject(b);  // clones keep the layer (0)
  EXPECT_EQ(box.order(), (std::vector<ObjectId>{b, d, a, c}));
  box.paint();
  EXPECT_EQ(box.pixel(5, 5), argb(255, 255, 0, 0));
}

TEST_F(CanvasTest, AlphaTransparencyAndKeyColour) {
  box.paint();
  EXPECT_EQ(box.pixel(0, 0), kBg);
  const ObjectId half = box.createObject(0, 0);
  box.setPicture(half, solid(4, 4, argb(128, 255, 0, 0)));
  box.paint();
  // 128/255 red over (247, 247, 247)
  EXPECT_TRUE(near(box.pixel(1, 1), argb(255, 251, 123, 123), 2)) << std::hex << box.pixel(1, 1);

  const ObjectId faded = box.createObject(10, 0);
  box.setPicture(faded, solid(4, 4, argb(255, 0, 0, 0)));
  box.setTransparency(faded, 50);
  box.paint();
  EXPECT_TRUE(near(box.pixel(11, 1), argb(255, 123, 123, 123), 2)) << std::hex << box.pixel(11, 1);
  box.setTransparency(faded, 100);
  box.paint();
  EXPECT_EQ(box.pixel(11, 1), kBg);
  EXPECT_EQ(box.hitTest(11, 1), faded);  // transparency does not change hits

  // Key colours: the top-left pixel's colour (-2), or an explicit COLORREF.
  Picture p;
  p.width = 2;
  p.height = 1;
  p.pixels = {argb(255, 0, 255, 0), argb(255, 0, 0, 255)};
  const std::string bytes = encodeBmp32(p);
  const ObjectId keyed = box.createObject(20, 0);
  box.setPicture(keyed, bytes, kTopLeftKeyColour);
  box.paint();
  EXPECT_EQ(box.pixel(20, 0), kBg);
  EXPECT_EQ(box.pixel(21, 0), argb(255, 0, 0, 255));
  EXPECT_EQ(box.hitTest(20, 0), 0);
  EXPECT_EQ(box.hitTest(21, 0), keyed);
  box.setPicture(keyed, bytes, 0xFF0000);  // COLORREF of blue
  box.paint();
  EXPECT_EQ(box.pixel(20, 0), argb(255, 0, 255, 0));
  EXPECT_EQ(box.pixel(21, 0), kBg);
}

TEST_F(CanvasTest, HiddenObjectsAreHitTransparentPixelsAreNot) {
  Picture p;
  p.width = 2;
  p.height = 1;
  p.pixels = {argb(3, 10, 10, 10), 0};  // alpha 3, like the scroll thumb's surround
  const ObjectId o = box.createObject(0, 0, false);
  box.setPicture(o, std::make_shared<const Picture>(p));
  EXPECT_EQ(box.hitTest(0, 0), o);
  EXPECT_EQ(box.hitTest(1, 0), 0);
  box.paint();
  EXPECT_EQ(box.pixel(0, 0), kBg);
}

TEST_F(CanvasTest, BadPictureBytesLeaveNoPicture) {
  const ObjectId o = box.createObject(0, 0);
  box.setPicture(o, solid(5, 5, argb(255, 1, 2, 3)));
  EXPECT_EQ(box.getWidth(o), 5);
  box.setPicture(o, std::string_view("not a picture"));
  EXPECT_FALSE(box.hasPicture(o));
  EXPECT_EQ(box.getWidth(o), 0);
  EXPECT_EQ(box.getHeight(o), 0);
}

TEST_F(CanvasTest, PressOnEmptyCanvasThenReleaseOnAnObject) {
  const ObjectId o = box.createObject(10, 10);
  box.setPicture(o, solid(5, 5, argb(255, 1, 2, 3)));
  record();
  box.pointerDown(Button::Left, 0, 0);
  EXPECT_EQ(box.pressedObject(), -1);
  box.pointerUp(Button::Left, 12, 12);
  EXPECT_EQ(log, (std::vector<std::string>{"down", "leftDown 0", "up", "leftUp 1 -1"}));
  EXPECT_EQ(box.pressedObject(), 0);
}

TEST_F(CanvasTest, PointerMoveRaisesLeaveThenEnterThenMove) {
  const ObjectId a = box.createObject(0, 0);
  const ObjectId b = box.createObject(10, 0);
  box.setPicture(a, solid(5, 5, argb(255, 1, 2, 3)));
  box.setPicture(b, solid(5, 5, argb(255, 1, 2, 3)));
  record();
  box.pointerDown(Button::Left, 1, 1);
  box.pointerMove(1, 1, true);
  box.pointerMove(11, 1, true);
  box.pointerMove(30, 1, false);
  EXPECT_EQ(log, (std::vector<std::string>{"down", "leftDown 1", "move", "enter 1 1", "canvasMove 1,1 1", "move",
                                           "leave 1 1", "enter 2 1", "canvasMove 11,1 1", "move", "leave 2 0",
                                           "canvasMove 30,1 0"}));
}

TEST_F(CanvasTest, DestroyedPressedAndHoverObjects) {
  const ObjectId a = box.createObject(0, 0);
  box.setPicture(a, solid(5, 5, argb(255, 1, 2, 3)));
  record();
  box.pointerMove(1, 1, false);
  box.pointerDown(Button::Left, 1, 1);
  box.destroyObject(a);
  log.clear();
  box.pointerMove(2, 2, true);  // no leave for a destroyed hover object
  EXPECT_EQ(log, (std::vector<std::string>{"move", "canvasMove 2,2 -1"}));
  EXPECT_EQ(box.hoverObject(), 0);
  log.clear();
  box.pointerUp(Button::Left, 2, 2);
  EXPECT_EQ(log, (std::vector<std::string>{"up", "leftUp 0 -1"}));
}

TEST_F(CanvasTest, RightButtonAndDoubleClick) {
  const ObjectId a = box.createObject(0, 0);
  box.setPicture(a, solid(5, 5, argb(255, 1, 2, 3)));
  record();
  box.pointerDown(Button::Right, 1, 1);
  box.pointerUp(Button::Right, 20, 20);
  box.doubleClick(1, 1);
  EXPECT_EQ(log, (std::vector<std::string>{"down", "rightDown 1", "up", "rightUp 0", "double 1"}));
  EXPECT_EQ(box.pressedObject(), 0);
}

TEST_F(CanvasTest, MovesRaiseEventsUnlessTheTruncatedPositionStays) {
  const ObjectId a = box.createObject(1.2, 1.7);
  std::vector<std::string> seen;
  auto& e = box.listen();
  e.objectMoving = [&](ObjectId o, int l, int t) {
    seen.push_back("moving " + std::to_string(l) + "," + std::to_string(t));
    return true;
  };
  e.objectMoved = [&](ObjectId o, int l, int t) {
    seen.push_back("moved " + std::to_string(l) + "," + std::to_string(t));
  };
  box.moveObject(a, 1.9, 1.1);  // still (1, 1): no events, values kept
  EXPECT_TRUE(seen.empty());
  box.moveObject(a, -0.5, 3.99);  // truncated toward zero: (0, 3)
  EXPECT_EQ(seen, (std::vector<std::string>{"moving 0,3", "moved 0,3"}));
  EXPECT_EQ(box.getLeft(a), 0);
  EXPECT_EQ(box.getTop(a), 3);
}

TEST_F(CanvasTest, AMovingHandlerMayClampAndCancel) {
  const ObjectId thumb = box.createObject(323, 10);
  std::vector<std::string> seen;
  auto& e = box.listen();
  e.objectMoving = [&](ObjectId o, int l, int t) {
    seen.push_back("moving " + std::to_string(t));
    if (t < 0) {
      box.moveObject(o, 323, 0);  // runs completely, events included
      return false;
    }
    return true;
  };
  e.objectMoved = [&](ObjectId o, int l, int t) { seen.push_back("moved " + std::to_string(t)); };
  box.moveObject(thumb, 323, -40);
  EXPECT_EQ(box.getTop(thumb), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"moving -40", "moving 0", "moved 0"}));
}

TEST_F(CanvasTest, TextRendersLinesTwoPixelsApart) {
  const ObjectId t = box.createObject(0, 0);
  FontSpec font;
  font.size = 9;  // 6 x 12 per single-byte character
  box.setText(t, "ab\r\nlonger\n中", font, 0x000000);
  EXPECT_EQ(box.getWidth(t), 36);               // the widest line
  EXPECT_EQ(box.getHeight(t), 12 * 3 + 2 * 2);  // three lines, two gaps
  box.setText(t, "");
  EXPECT_FALSE(box.hasPicture(t));
  box.setText(t, "x");  // the font is kept
  EXPECT_EQ(box.getWidth(t), 6);
  box.paint();
  EXPECT_EQ(box.pixel(2, 5), argb(255, 0, 0, 0));  // inside the glyph box
}

TEST_F(CanvasTest, ClonesCopyEveryFieldButGivenOnes) {
  const ObjectId a = box.createObject(3, 4, true, "tag");
  box.setPicture(a, solid(2, 2, argb(255, 9, 9, 9)));
  box.setLayer(a, 5);
  box.setTransparency(a, 30);
  box.setTagNumber(a, 7);
  const ObjectId b = box.cloneObject(a, 10.0, std::nullopt, false, std::nullopt);
  EXPECT_EQ(box.getLeft(b), 10);
  EXPECT_EQ(box.getTop(b), 4);
  EXPECT_FALSE(box.getVisible(b));
  EXPECT_EQ(box.getLayer(b), 5);
  EXPECT_EQ(box.getTransparency(b), 30);
  EXPECT_EQ(box.getTagNumber(b), 7);
  EXPECT_EQ(box.getTagText(b), "tag");
  EXPECT_EQ(box.getWidth(b), 2);
}

TEST_F(CanvasTest, SnapshotIsA32BitBottomUpBmp) {
  const ObjectId a = box.createObject(1, 0);
  box.setPicture(a, solid(1, 1, argb(255, 10, 20, 30)));
  const std::string bmp = box.snapshot(0, 0, 3, 2, 0x0000FF);  // on red
  ASSERT_EQ(bmp.size(), 54u + 4 * 3 * 2);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  auto u32 = [&bmp](std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, bmp.data() + at, 4);
    return v;
  };
  EXPECT_EQ(u32(2), 54u + 24);
  EXPECT_EQ(u32(6), 0u);
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(18), 3u);
  EXPECT_EQ(u32(22), 2u);
  EXPECT_EQ(u32(26), 1u | (32u << 16));
  EXPECT_EQ(u32(30), 0u);
  EXPECT_EQ(u32(34), 24u);
  // Bottom row first: the object is in the top row, so the second row.
  EXPECT_EQ(u32(54 + 12 + 4), argb(255, 10, 20, 30));
  EXPECT_EQ(u32(54), argb(255, 255, 0, 0));
  // Clipped to the canvas; fed back into a picture it reads the same.
  EXPECT_EQ(box.snapshot(38, 28, 10, 10).size(), 54u + 4 * 2 * 2);
  const Picture back = decodePicture(bmp);
  EXPECT_EQ(back.at(1, 0), argb(255, 10, 20, 30));
}

TEST_F(CanvasTest, AChangeRepaintsOnlyTheOldAndNewRectangles) {
  AnimationBox big(350, 400, &raster);
  const ObjectId a = big.createObject(0, 100);
  big.setPicture(a, solid(350, 20, argb(255, 255, 255, 255)));
  big.paint();
  big.takePaintedRects();
  big.moveObject(a, 0, 101);
  big.paint();
  EXPECT_EQ(big.takePaintedRects(), (std::vector<Rect>{{0, 100, 350, 121}}));
  big.moveObject(a, 0, 300);
  big.paint();
  auto rects = big.takePaintedRects();
  std::sort(rects.begin(), rects.end(), [](const Rect& x, const Rect& y) { return x.top < y.top; });
  EXPECT_EQ(rects, (std::vector<Rect>{{0, 101, 350, 121}, {0, 300, 350, 320}}));
}

TEST_F(CanvasTest, IncrementalPaintingEqualsAFullRepaint) {
  AnimationBox box2(120, 90, &raster);
  std::mt19937 rng(5);
  std::vector<ObjectId> ids;
  for (int i = 0; i < 12; ++i) {
    const ObjectId o = box2.createObject(rng() % 100, rng() % 80);
    box2.setPicture(o, solid(5 + rng() % 30, 5 + rng() % 20, argb(rng() % 256, rng() % 256, rng() % 256, rng() % 256)));
    box2.setLayer(o, rng() % 3);
    ids.push_back(o);
  }
  box2.paint();
  for (int step = 0; step < 200; ++step) {
    const ObjectId o = ids[rng() % ids.size()];
    switch (rng() % 5) {
      case 0: box2.moveObject(o, int(rng() % 140) - 20, int(rng() % 110) - 20); break;
      case 1: box2.setVisible(o, rng() % 2); break;
      case 2: box2.setTransparency(o, rng() % 101); break;
      case 3: box2.setLayer(o, rng() % 3); break;
      default: box2.setPicture(o, solid(1 + rng() % 40, 1 + rng() % 30, argb(rng() % 256, 50, 100, 150))); break;
    }
    if (rng() % 3 == 0) box2.paint();
  }
  box2.paint();
  const std::vector<std::uint32_t> incremental = box2.pixels();
  box2.invalidateAll();
  box2.paint();
  EXPECT_EQ(incremental, box2.pixels());
}

}  // namespace
}  // namespace lh::canvas

namespace lh::canvas {
namespace {

TEST(CanvasHandlers, ListenersRunInTheOrderTheyWereAddedAndAnyMayRefuseAMove) {
  FixedWidthRasterizer raster;
  AnimationBox box{40, 30, &raster};
  const ObjectId a = box.createObject(0, 0);
  std::vector<std::string> seen;
  auto& first = box.listen();
  auto& second = box.listen();
  first.pointerMove = [&](int, int) { seen.push_back("first"); };
  second.pointerMove = [&](int, int) { seen.push_back("second"); };
  box.pointerMove(1, 1, false);
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
  first.objectMoving = [](ObjectId, int, int) { return true; };
  second.objectMoving = [](ObjectId, int, int t) { return t < 10; };
  box.moveObject(a, 0, 5);
  box.moveObject(a, 0, 20);  // refused by the second
  EXPECT_EQ(box.getTop(a), 5);
}

TEST(CanvasHandlers, AnObjectsOwnHandlersRunForItAloneAndAreNotCloned) {
  FixedWidthRasterizer raster;
  AnimationBox box{40, 30, &raster};
  const ObjectId a = box.createObject(0, 0);
  box.setPicture(a, solid(10, 10, argb(255, 1, 2, 3)));
  const ObjectId b = box.createObject(20, 0);
  box.setPicture(b, solid(10, 10, argb(255, 1, 2, 3)));
  std::vector<std::string> seen;
  box.setObjectHandlers(a, {.press = [&] { seen.push_back("press"); },
                            .click = [&] { seen.push_back("click"); },
                            .rightUp = [&] { seen.push_back("rightUp"); },
                            .enter = [&] { seen.push_back("enter"); },
                            .leave = [&] { seen.push_back("leave"); }});
  const ObjectId c = box.cloneObject(a, 0.0, 15.0);
  box.pointerMove(5, 5, false);
  box.pointerDown(Button::Left, 5, 5);
  box.pointerUp(Button::Left, 5, 5);
  box.pointerDown(Button::Left, 5, 5);
  box.pointerUp(Button::Left, 25, 5);  // released over b: no click
  box.pointerUp(Button::Right, 5, 5);
  box.pointerMove(25, 5, false);  // b: a is left
  box.pointerMove(5, 20, false);  // the clone: nothing of a's
  box.pointerDown(Button::Left, 5, 20);
  box.pointerUp(Button::Left, 5, 20);
  EXPECT_EQ(seen, (std::vector<std::string>{"enter", "press", "click", "press", "rightUp", "leave"}));
  EXPECT_TRUE(box.exists(c));
}

TEST(CanvasHandlers, TheReleaseThatEndsADoubleClickIsNoClick) {
  FixedWidthRasterizer raster;
  AnimationBox box{40, 30, &raster};
  const ObjectId a = box.createObject(0, 0);
  box.setPicture(a, solid(10, 10, argb(255, 1, 2, 3)));
  int clicks = 0, doubles = 0, ups = 0, endingDouble = 0;
  box.setObjectHandlers(a, {.click = [&] { ++clicks; }, .doubleClick = [&] { ++doubles; }});
  box.listen().objectLeftUp = [&](ObjectId, ObjectId) {
    ++ups;
    endingDouble += box.releaseEndsDoubleClick();
  };
  box.pointerDown(Button::Left, 5, 5);
  box.pointerUp(Button::Left, 5, 5);
  box.pointerDown(Button::Left, 5, 5);  // the second press of the pair...
  box.doubleClick(5, 5);                // ...reported as a double click
  box.pointerUp(Button::Left, 5, 5);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(ups, 2);
  EXPECT_EQ(endingDouble, 1);
  EXPECT_FALSE(box.releaseEndsDoubleClick());
  box.pointerDown(Button::Left, 5, 5);  // a new pair
  box.pointerUp(Button::Left, 5, 5);
  EXPECT_EQ(clicks, 2);
}

TEST(CanvasHandlers, LeavingTheCanvasLeavesTheHoveredObject) {
  FixedWidthRasterizer raster;
  AnimationBox box{40, 30, &raster};
  const ObjectId a = box.createObject(0, 0);
  box.setPicture(a, solid(10, 10, argb(255, 1, 2, 3)));
  std::vector<std::string> seen;
  box.setObjectHandlers(a, {.leave = [&] { seen.push_back("leave a"); }});
  box.listen().pointerLeave = [&] { seen.push_back("canvas"); };
  box.pointerMove(5, 5, false);
  box.pointerLeave();
  box.pointerLeave();  // nothing hovered any more
  EXPECT_EQ(seen, (std::vector<std::string>{"leave a", "canvas", "canvas"}));
  EXPECT_EQ(box.hoverObject(), 0);
}

TEST(CanvasHandlers, AHandlerMayDestroyItsObject) {
  FixedWidthRasterizer raster;
  AnimationBox box{40, 30, &raster};
  const ObjectId a = box.createObject(0, 0);
  box.setPicture(a, solid(10, 10, argb(255, 1, 2, 3)));
  int clicks = 0;
  box.setObjectHandlers(a, {.click = [&] {
                              ++clicks;
                              box.destroyObject(a);
                            }});
  box.pointerDown(Button::Left, 5, 5);
  box.pointerUp(Button::Left, 5, 5);
  box.pointerDown(Button::Left, 5, 5);
  box.pointerUp(Button::Left, 5, 5);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(box.exists(a));
}

}  // namespace
}  // namespace lh::canvas
