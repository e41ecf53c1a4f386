// What a screen reader is told about the main window, which the program
// draws itself: the list with the rows it shows, the breadcrumb bars, the
// view tabs of a flat view, the header's buttons, and every label shown
// (those that act on a click as buttons). The tree is built afresh whenever
// a reader asks; the keyboard's highlight is told as the focus of the list.
// What a panel or the start page covers is not there: the list has no
// items then.
#pragma once

#include <string>
#include <vector>

#include "canvas/animation_box.h"
#include "features/breadcrumb.h"
#include "features/overlay_pages.h"
#include "list/bookmark_list.h"
#include "list/list_interaction.h"
#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "ui/busy.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace lh::features {

class Accessibility {
 public:
  struct Parts {
    ui::Window& main;
    store::BookmarkStore& store;
    list::BookmarkList& list;
    list::ListInteraction& interaction;
    Breadcrumb& breadcrumb;
    ui::CanvasControl& listCanvas;
    ui::CanvasControl& header;
    // While long work lets messages through (a reader's question is
    // answered then too), the list's rows may name entries being changed:
    // the list is given without items.
    ui::Busy& busy;
    // A page shown over the list (a panel, the start page) covers what lies
    // under it.
    OverlayPages& pages;
  };
  // A picture button of the header canvas and what it does.
  struct HeaderButton {
    std::string name;
    canvas::ObjectId object = 0;
  };

  Accessibility(Parts parts, std::vector<HeaderButton> headerButtons);
  ~Accessibility();
  Accessibility(const Accessibility&) = delete;
  Accessibility& operator=(const Accessibility&) = delete;

  // The list is the root's first child (container 0).
  static constexpr int kListContainer = 0;

  platform::AccessibleNode tree() const;
  // The list's items: the rows shown (in part or in full) that open
  // something, top to bottom, where a scroll under way will end.
  std::vector<int> itemRows() const;
  // The keyboard moved the highlight to row r: readers are told.
  void rowFocused(int r);

 private:
  platform::AccessibleNode listNode() const;
  void addBars(platform::AccessibleNode& root) const;
  void addLabels(const ui::Control& c, platform::AccessibleNode& root, bool onPage) const;
  // Whether a page is shown over `bounds` (by the middle of it).
  bool covered(const platform::Bounds& bounds) const;

  Parts parts_;
  std::vector<HeaderButton> headerButtons_;
};

}  // namespace lh::features
