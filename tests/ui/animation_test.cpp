#include "ui/animation.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_platform.h"
#include "ui/busy.h"
#include "ui/controls.h"

namespace lh::ui {
namespace {

using platform::sim::SimPlatform;

TEST(Animation, PlaysOneFramePerTickThenRunsDoneOnce) {
  SimPlatform sim;
  Animation a(sim);
  std::vector<int> frames;
  int done = 0;
  a.start(4, [&](int f) { frames.push_back(f); }, [&] { ++done; });
  sim.advance(25);
  EXPECT_EQ(frames, (std::vector<int>{1, 2}));
  EXPECT_TRUE(a.running());
  sim.advance(100);
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(done, 1);
  EXPECT_FALSE(a.running());
}

TEST(Animation, FinishPlaysTheLastFrameNowAndCancelStopsWhereItIs) {
  SimPlatform sim;
  Animation a(sim);
  std::vector<int> frames;
  int done = 0;
  a.start(20, [&](int f) { frames.push_back(f); }, [&] { ++done; });
  sim.advance(30);
  a.finish();
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 20}));
  EXPECT_EQ(done, 1);
  a.finish();  // not running: nothing
  EXPECT_EQ(done, 1);
  frames.clear();
  a.start(20, [&](int f) { frames.push_back(f); }, [&] { ++done; });
  sim.advance(20);
  a.cancel();
  sim.advance(300);
  EXPECT_EQ(frames, (std::vector<int>{1, 2}));
  EXPECT_EQ(done, 1);
}

TEST(Animation, AStepMayRestartOrCancelItsOwnAnimation) {
  SimPlatform sim;
  Animation a(sim);
  int restarts = 0, done = 0;
  std::function<void(int)> step = [&](int f) {
    if (f == 2 && restarts++ == 0) a.start(3, step, [&] { ++done; });
  };
  a.start(3, step, [&] { done += 100; });
  sim.advance(200);
  EXPECT_EQ(restarts, 2);
  EXPECT_EQ(done, 1);  // the replaced animation's done never ran
  Animation b(sim);
  int steps = 0;
  b.start(5, [&](int) {
    ++steps;
    b.cancel();
  });
  sim.advance(100);
  EXPECT_EQ(steps, 1);
}

// A window with a label that counts its clicks, guarded by a busy state.
class BusyTest : public ::testing::Test {
 protected:
  SimPlatform sim;
  Window window{sim, {{0, 0, 100, 100}, true, false, false, "w"}, 0xFFFFFF};
  Label& label = window.add<Label>("l", sim.textRasterizer(), "x");
  Busy busy;
  int clicks = 0;
  platform::sim::SimWindow& host = static_cast<platform::sim::SimWindow&>(window.host());
  void SetUp() override {
    label.setBounds(0, 0, 50, 50);
    label.onClick = [this] { ++clicks; };
    busy.guard(label);
  }
};

TEST_F(BusyTest, GuardedControlsTakeNoPointerInputWhileBusyScopesNest) {
  std::vector<bool> changes;
  busy.onChange.push_back([&](bool b) { changes.push_back(b); });
  {
    auto outer = busy.scope();
    {
      Busy::Scope inner(&busy);
      host.click(10, 10);
    }
    EXPECT_TRUE(busy.busy());
    host.press(10, 10);
  }
  host.release(10, 10);  // the press was dropped: no click either
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(changes, (std::vector<bool>{true, false}));
  sim.advance(1000);
  host.click(10, 10);
  EXPECT_EQ(clicks, 1);
}

TEST_F(BusyTest, AReleaseDuringTheBusyStateIsDroppedAfterAPressBeforeIt) {
  host.press(10, 10);
  {
    auto scope = busy.scope();
    host.release(10, 10);
  }
  EXPECT_EQ(clicks, 0);
}

TEST(Busy, TheWindowReportsThePointerLeavingToTheHoveredControl) {
  SimPlatform sim;
  Window window{sim, {{0, 0, 100, 100}, true, false, false, "w"}, 0xFFFFFF};
  auto& a = window.add<PictureBox>("a");
  a.setBounds(0, 0, 50, 50);
  int left = 0;
  a.onPointerLeave = [&] { ++left; };
  auto& host = static_cast<platform::sim::SimWindow&>(window.host());
  host.move(10, 10);
  host.leave();
  EXPECT_EQ(left, 1);
  host.leave();
  EXPECT_EQ(left, 1);
}

}  // namespace
}  // namespace lh::ui
