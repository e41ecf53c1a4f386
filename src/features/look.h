// What the program's rooms share to draw with: the three fonts, the
// embedded pictures decoded once, the label helper, and the main window's
// fixed geometry.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "canvas/animation_box.h"
#include "canvas/picture.h"
#include "canvas/text_raster.h"
#include "list/bookmark_list.h"
#include "platform/platform.h"
#include "resources/resources.h"
#include "store/bookmark_store.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/window.h"

namespace lh::features {

using resources::Resource;

canvas::FontSpec fontA();  // 新宋体 11 pt
canvas::FontSpec fontB();  // 新宋体 9 pt
canvas::FontSpec fontC();  // 新宋体 9 pt bold

// The window's geometry (ui/layout.h), as the rooms name it.
using layout::barTopFor;
using layout::kBottomBarHeight;
using layout::kDockedLeft;
using layout::kEdgeWidth;
using layout::kIndicatorHeight;
using layout::kMainWidth;
using layout::kRowHeight;
using layout::listTopFor;
// A layout place as the platform's bounds.
inline platform::Bounds boundsOf(const layout::Place& p) { return {p.left, p.top, p.width, p.height}; }

// The embedded pictures, decoded once (hover pictures are set on every
// pointer enter and leave) and shared.
class Pictures {
 public:
  std::shared_ptr<const canvas::Picture> operator()(Resource r);

 private:
  std::map<Resource, std::shared_ptr<const canvas::Picture>> cache_;
};

// The list's pictures and fonts.
list::ListLook listLook(Pictures& pictures);

// A label in font B: caption, colour (COLORREF) and bounds within its parent.
ui::Label& addLabel(ui::Control& parent, const char* name, std::string caption, std::uint32_t colour,
                    const platform::Bounds& b, canvas::TextRasterizer& raster);

// A header button: the nearly invisible hit area at (x, y) of the header,
// showing `hover` while the pointer is over it; `click` on a click.
canvas::ObjectId addHeaderButton(canvas::AnimationBox& header, Pictures& pictures, int x, int y, Resource hover,
                                 std::function<void()> click);

// A label that shows the progress of long work (`prefix` and the
// percentage), painted at once and followed by the pending window messages:
// the store calls it only when the percentage changes.
class LabelProgress : public store::LoadObserver {
 public:
  LabelProgress(ui::Label& label, ui::Window& window, platform::Platform& platform, std::string prefix = {})
      : label_(label), window_(window), platform_(platform), prefix_(std::move(prefix)) {}
  void progress(int percent) override { show(prefix_ + std::to_string(percent) + "%"); }
  void show(const std::string& text) {
    label_.setCaption(text);
    window_.paint();
    platform_.processPendingMessages();
  }

 private:
  ui::Label& label_;
  ui::Window& window_;
  platform::Platform& platform_;
  std::string prefix_;
};

}  // namespace lh::features
