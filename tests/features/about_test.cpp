// The about page, its link and the pages' close buttons, in the simulator.
#include <gtest/gtest.h>

#include "../app/app_fixture.h"

namespace lh::app {
namespace {

using namespace simtest;

class AboutPage : public StartUp {
 protected:
  SimWindow& main() { return host(app->mainWindow()); }
};

TEST_F(AboutPage, TheBottomLabelOpensItAndItsTextOpensTheSiteInTheBrowser) {
  start();
  sim.advance(300);
  main().click(270, 1080 - 36 + 18);  // 标签26 "关于"
  EXPECT_EQ(app->overlay().shown(), features::OverlayPages::About);
  EXPECT_EQ(app->pages().top(), 160);
  EXPECT_EQ(app->pages().height(), app->bottomBar().top() - 160);
  const ui::Rect text = app->about().text().windowRect();
  main().click(text.left + 5, text.top + 5);
  ASSERT_EQ(sim.launches.size(), 1u);
  EXPECT_EQ(sim.launches[0], "\"C:\\B\\b.exe\" \"https://linkhoard.example.org/\"");
  sim.advance(600);
  main().click(text.left + 5, text.top + 5, platform::MouseButton::Right);
  EXPECT_EQ(sim.launches.size(), 2u);
  EXPECT_EQ(app->store().entry(11).visitCount, 0);  // the list under the page saw nothing
}

TEST_F(AboutPage, EachPagesCloseButtonHidesTheOverlay) {
  start();
  sim.advance(300);
  const struct {
    features::OverlayPages::Page page;
    const char* button;
  } closers[] = {{features::OverlayPages::About, "fl图形按钮c2"},
                 {features::OverlayPages::Import, "fl图形按钮c3"},
                 {features::OverlayPages::Sync, "fl图形按钮c5"}};
  for (const auto& c : closers) {
    app->overlay().show(c.page);
    ui::Control* button = app->mainWindow().find(c.button);
    ASSERT_NE(button, nullptr) << c.button;
    const ui::Rect r = button->windowRect();
    main().click(r.left + 5, r.top + 5);
    EXPECT_EQ(app->overlay().shown(), -1) << c.button;
    sim.advance(600);
  }
}

}  // namespace
}  // namespace lh::app
