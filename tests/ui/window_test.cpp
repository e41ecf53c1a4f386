#include "ui/window.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_platform.h"
#include "ui/controls.h"

namespace lh::ui {
namespace {

using platform::sim::SimPlatform;
using platform::sim::SimWindow;

std::shared_ptr<const canvas::Picture> solid(int w, int h, std::uint32_t c) {
  canvas::Picture p;
  p.width = w;
  p.height = h;
  p.alpha = canvas::Alpha::Premultiplied;
  p.pixels.assign(static_cast<std::size_t>(w) * h, c);
  return std::make_shared<const canvas::Picture>(std::move(p));
}

class WindowTest : public ::testing::Test {
 protected:
  SimPlatform sim;
  Window window{sim, {{100, 50, 200, 150}, true, false, false, "main"}, 0xF7F7F7};
  SimWindow& host() { return static_cast<SimWindow&>(window.host()); }
};

TEST_F(WindowTest, ControlsPaintIntoThePresentedPixels) {
  auto& box = window.add<PictureBox>("box");
  box.setBounds(10, 10, 20, 20);
  box.setBackground(0x0000FF);  // red
  auto& inner = box.add<PictureBox>("inner");
  inner.setBounds(5, 5, 4, 4);
  inner.setPicture(solid(4, 4, canvas::argb(255, 0, 0, 255)));
  window.paint();
  EXPECT_EQ(host().framebuffer[0], canvas::argb(255, 247, 247, 247));
  EXPECT_EQ(host().framebuffer[10 * 200 + 10], canvas::argb(255, 255, 0, 0));
  EXPECT_EQ(host().framebuffer[16 * 200 + 16], canvas::argb(255, 0, 0, 255));
  box.setVisible(false);
  window.paint();
  EXPECT_EQ(host().framebuffer[16 * 200 + 16], canvas::argb(255, 247, 247, 247));
  EXPECT_EQ(window.find("inner"), &inner);
}

TEST_F(WindowTest, InputGoesToTheTopmostControlInItsCoordinates) {
  auto& canvasControl = window.add<CanvasControl>("canvas", sim.textRasterizer(), 100, 100);
  canvasControl.setBounds(50, 20, 100, 100);
  auto& obj = canvasControl.box();
  const canvas::ObjectId o = obj.createObject(10, 10);
  obj.setPicture(o, solid(5, 5, canvas::argb(255, 1, 2, 3)));
  std::vector<std::string> seen;
  obj.listen().objectLeftUp = [&](canvas::ObjectId released, canvas::ObjectId pressed) {
    seen.push_back("up " + std::to_string(released) + " " + std::to_string(pressed));
  };
  auto& label = window.add<Label>("label", sim.textRasterizer(), "退出");
  label.setBounds(0, 0, 30, 16);
  int clicks = 0;
  label.onClick = [&] { ++clicks; };
  host().click(62, 32);  // canvas (12, 12): the object
  host().click(5, 5);
  EXPECT_EQ(seen, (std::vector<std::string>{"up 1 1"}));
  EXPECT_EQ(clicks, 1);
  window.paint();
  EXPECT_EQ(host().framebuffer[32 * 200 + 62], canvas::argb(255, 1, 2, 3));
}

TEST_F(WindowTest, AHeldButtonKeepsItsControl) {
  auto& a = window.add<PictureBox>("a");
  a.setBounds(0, 0, 50, 50);
  auto& b = window.add<PictureBox>("b");
  b.setBounds(100, 0, 50, 50);
  std::vector<std::string> seen;
  a.onButtonUp = [&](MouseButton, int x, int y) { seen.push_back("a up " + std::to_string(x)); };
  b.onButtonUp = [&](MouseButton, int, int) { seen.push_back("b up"); };
  auto& e = host().events;
  e.buttonDown(MouseButton::Left, 10, 10);
  e.pointerMove(120, 10, true);
  e.buttonUp(MouseButton::Left, 120, 10);
  EXPECT_EQ(seen, (std::vector<std::string>{"a up 120"}));
}

TEST_F(WindowTest, TabControlShowsOnlyTheSelectedPage) {
  auto& tabs = window.add<TabControl>("tabs", std::vector<std::string>{"收藏", "分类", "登陆"});
  tabs.setBounds(0, 0, 200, 150);
  static_cast<PictureBox&>(tabs.page(2)).setBackground(0x00FF00);
  window.paint();
  EXPECT_NE(host().framebuffer[5 * 200 + 5], canvas::argb(255, 0, 255, 0));
  tabs.select(2);
  window.paint();
  EXPECT_EQ(host().framebuffer[5 * 200 + 5], canvas::argb(255, 0, 255, 0));
  EXPECT_FALSE(tabs.page(0).visible());
  EXPECT_EQ(tabs.page(2).width(), 200);
}

TEST_F(WindowTest, ImageButtonsSwapTheirPictureUnderThePointer) {
  auto& button = window.add<ImageButton>("ok");
  button.setBounds(10, 10, 70, 20);
  button.setPictures(solid(70, 20, canvas::argb(255, 0, 0, 200)), solid(70, 20, canvas::argb(255, 0, 200, 0)));
  int clicks = 0;
  button.onClick = [&] { ++clicks; };
  window.paint();
  EXPECT_EQ(host().framebuffer[15 * 200 + 15], canvas::argb(255, 0, 0, 200));
  host().events.pointerMove(15, 15, false);
  window.paint();
  EXPECT_EQ(host().framebuffer[15 * 200 + 15], canvas::argb(255, 0, 200, 0));
  host().events.pointerMove(150, 100, false);  // left: the normal picture again
  window.paint();
  EXPECT_EQ(host().framebuffer[15 * 200 + 15], canvas::argb(255, 0, 0, 200));
  host().click(15, 15);
  host().events.buttonDown(MouseButton::Left, 15, 15);
  host().events.buttonUp(MouseButton::Left, 150, 100);  // released elsewhere: no click
  EXPECT_EQ(clicks, 1);
}

TEST_F(WindowTest, EditBoxesFollowTheirControlAndItsAncestors) {
  auto& page = window.add<PictureBox>("page");
  page.setBounds(0, 80, 200, 70);
  platform::EditOptions o;
  o.bounds = {49, 20, 100, 20};
  o.maxBytes = 4;
  auto& edit = page.add<EditControl>("标题编辑框", window.host(), o);
  auto& sim = static_cast<platform::sim::SimEditBox&>(edit.edit());
  window.paint();
  EXPECT_EQ(sim.bounds(), (platform::Bounds{49, 100, 100, 20}));  // in window coordinates
  int changes = 0;
  sim.onChange = [&] { ++changes; };
  sim.type("中文字");  // six bytes, limited to four
  EXPECT_EQ(edit.text(), "中文");
  EXPECT_EQ(changes, 1);
  page.setVisible(false);
  window.paint();
  EXPECT_FALSE(sim.visible());
  page.setVisible(true);
  window.paint();
  EXPECT_TRUE(sim.visible());
}

}  // namespace
}  // namespace lh::ui
