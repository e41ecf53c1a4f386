// The about page (page 4 "关于" of 选择夹3) with its link to the product's
// web site, the bottom bar's label that opens it, and the close buttons of
// the pages that have one (about, exchange, sync).
#pragma once

#include <functional>
#include <string>

#include "features/look.h"
#include "features/overlay_pages.h"
#include "platform/platform.h"
#include "ui/controls.h"

namespace lh::features {

class About {
 public:
  // `openSite` opens the product's site in the browser.
  About(platform::Platform& platform, OverlayPages& pages, ui::Control& bottomBar, Pictures& pictures,
        std::string productLabel, std::function<void()> openSite);

  void show();
  ui::Label& text() { return *text_; }
  ui::Label& openLabel() { return *open_; }

 private:
  OverlayPages& pages_;
  ui::Label* open_ = nullptr;  // 标签26
  ui::Label* text_ = nullptr;  // 标签29
};

}  // namespace lh::features
