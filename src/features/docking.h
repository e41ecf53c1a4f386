// Edge docking: the two edge windows (layered shadows that are also pull
// tabs), the slides in and out, the drag of the window along the top edge
// by its top strip, hiding everything, and the capture point beside the
// window. The companions follow the main window wherever it moves.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "canvas/animation_box.h"
#include "features/look.h"
#include "platform/platform.h"
#include "ui/animation.h"
#include "ui/window.h"

namespace lh::features {

class Docking {
 public:
  Docking(platform::Platform& platform, ui::Window& main, ui::Window& bin, int screenWidth, int screenHeight);
  // Its timer stops: a tick never reaches an object that is gone.
  ~Docking();
  Docking(const Docking&) = delete;
  Docking& operator=(const Docking&) = delete;

  // The edge windows, hidden, at the screen centre.
  void buildEdgeWindows();
  // The top strip on the header: drag, double click, right click.
  void createTopStrip(canvas::AnimationBox& header, Pictures& pictures);

  void slideIn();
  void slideOut();
  // The hot key: slides in (or out) from wherever the window is, a slide
  // under way the other way turning back.
  void turnSlideIn();
  void turnSlideOut();
  void hideAll();
  // The windows shown again where they are (the tray icon's click).
  void showAll();
  // Puts the companions beside the main window (also on every move).
  void placeCompanions();
  bool windowShown() const { return shown_; }
  bool dragging() const { return dragging_; }
  // Ends the drag of the top strip (the release, wherever it happens).
  void endDrag();
  // The point beside the window where the browser's window is looked for.
  platform::Point capturePoint() const;

  ui::Window& rightEdge() { return *rightEdge_; }
  ui::Window& leftEdge() { return *leftEdge_; }
  canvas::ObjectId topStrip() const { return topStrip_; }
  ui::Animation& slide() { return slide_; }
  // A right click on the right edge tab (the capture from the browser).
  std::function<void()> onRightEdgeRightClick;

 private:
  std::unique_ptr<ui::Window> edgeWindow(const char* title, Resource shadow);
  void startSlide(int target);
  void startDrag();

  platform::Platform& platform_;
  ui::Window& main_;
  ui::Window& bin_;
  int screenW_, screenH_;
  std::unique_ptr<ui::Window> rightEdge_, leftEdge_;
  canvas::ObjectId topStrip_ = 0;
  bool shown_ = true;
  ui::Animation slide_;  // 时钟13
  std::vector<int> slideFrames_;
  platform::Platform::TimerId dragTimer_ = 0;  // 时钟14
  bool dragging_ = false;
  int dragOffset_ = 0;
};

}  // namespace lh::features
