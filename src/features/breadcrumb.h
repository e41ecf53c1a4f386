// The breadcrumb: a bar per level on the header canvas (a category's bar,
// or the flat-view bar of a sorted view), the push animation that brings a
// new bar in and moves the list down, going back to a lower bar, the view
// tabs and their marker. Every navigation goes through here: it finishes a
// running push and cancels the list's animations first, so nothing left of
// the previous place moves the new one.
#pragma once

#include <functional>
#include <vector>

#include "canvas/animation_box.h"
#include "features/look.h"
#include "list/bookmark_list.h"
#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "ui/animation.h"
#include "ui/controls.h"

namespace lh::features {

class Breadcrumb {
 public:
  struct Parts {
    platform::Platform& platform;
    store::BookmarkStore& store;
    canvas::AnimationBox& header;
    ui::CanvasControl& listCanvas;
    ui::Control& indicator;  // 位置外形框, 20 pixels above the list
    ui::Control& bottomBar;
    list::BookmarkList& list;
    Pictures& pictures;
  };
  explicit Breadcrumb(Parts parts);

  // The bar template and the view-tab marker, and the tabs' handler.
  void createHeaderObjects();

  // Starts the breadcrumb again at the root category.
  void openRoot();
  // Shows category `id` as level `level`, pushing its bar or not.
  void openCategory(store::EntryId id, int level, bool push);
  // Goes back to the bar of `level` (1 = the root) and shows its category.
  void backToLevel(int level);
  // Back one bar, as a click on the bar below the top one (nothing at the
  // root). False when there was nothing to go back to.
  bool backOneBar();
  // Chooses a sorted view of the category shown (pushing the flat-view bar)
  // or of the flat view shown.
  void selectView(list::View v);

  // Finishes the bar push and cancels what would fight with a navigation.
  void settle();
  // The view-tab marker under the tab of the list's view, or parked.
  void showViewTabMarker() { placeViewTabMarker(listTop()); }
  void parkViewTabMarker();
  // Animations of other rooms cancelled by settle() (scroll, gap, bounce,
  // highlight).
  std::vector<std::function<void()>> cancelOnNavigation;
  // Runs when a bar click leaves a flat view (the search box empties).
  std::function<void()> leftFlatView;
  // The list's top moved (a bar pushed or taken away, a frame of the push).
  std::function<void()> listMoved;

  const std::vector<canvas::ObjectId>& bars() const { return bars_; }
  int listTop() const { return parts_.listCanvas.top(); }
  canvas::ObjectId barTemplate() const { return barTemplate_; }
  canvas::ObjectId viewTabMarker() const { return viewTabMarker_; }
  ui::Animation& push() { return push_; }

 private:
  void pushCategoryBar(store::EntryId id);
  void pushViewBar(bool animate);
  void startPush(canvas::ObjectId bar);
  void pushFrame(int frame);
  void placeViewTabMarker(int listTop);
  void setListTop(int top);
  void setListHeightFor(int bars);
  void barClicked(canvas::ObjectId bar);
  void releasedAt(int x, int y);

  Parts parts_;
  std::vector<canvas::ObjectId> bars_;  // BreadcrumbStack, bottom first
  canvas::ObjectId barTemplate_ = 0, viewTabMarker_ = 0;
  ui::Animation push_;  // 时钟2
  canvas::ObjectId pushedBar_ = 0;
  int pushTarget_ = 0;
};

}  // namespace lh::features
