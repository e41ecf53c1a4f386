// The one owner of the overlay tab control 选择夹3: which page is shown, and
// where. Panels ask it to show their page and to hide; nobody else selects
// pages or changes the control's visibility.
#pragma once

#include "ui/controls.h"

namespace lh::features {

class OverlayPages {
 public:
  enum Page { Bookmark = 0, Category = 1, Start = 2, Options = 3, About = 4, Import = 5, Sync = 6, Backups = 7 };

  OverlayPages(ui::TabControl& tabs, ui::Control& bottomBar) : tabs_(tabs), bottomBar_(bottomBar) {}

  ui::Control& page(Page p) { return tabs_.page(p); }
  ui::TabControl& control() { return tabs_; }
  // A panel's page: below the header, down to the bottom bar.
  void show(Page p);
  // The start page: the whole window.
  void showWholeWindow(Page p);
  void hide();
  // The page shown, or -1.
  int shown() const { return tabs_.visible() ? tabs_.selected() : -1; }

 private:
  ui::TabControl& tabs_;
  ui::Control& bottomBar_;
};

}  // namespace lh::features
