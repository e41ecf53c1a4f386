// The bookmark list on its canvas: a ring of row slots showing either a
// category's members or a sorted flat view, the scroll thumb, the wheel and
// the smooth scroll.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "canvas/animation_box.h"
#include "list/list_model.h"
#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "ui/busy.h"

namespace lh::list {

using canvas::ObjectId;
using Pic = std::shared_ptr<const canvas::Picture>;

// The fades at the list's top and bottom edges (TopFade, BottomFade) are
// this many pixels high; rows under them are only half legible.
inline constexpr int kFadeHeight = 20;

// The pictures and fonts the list draws with.
struct ListLook {
  Pic cardMiddle, cardBottom, cardTop, categoryIcon, defaultSiteIcon, hoverBand, separatorBand;
  Pic scrollThumb, scrollThumbHover, topFade, bottomFade, insertionLine, insertBadge;
  canvas::FontSpec titleFont;    // font B
  canvas::FontSpec headingFont;  // font A
};

class BookmarkList {
 public:
  BookmarkList(canvas::AnimationBox& box, store::BookmarkStore& store, platform::Platform& platform, ListLook look,
               int screenHeight);
  // Its timer stops: a tick never reaches an object that is gone.
  ~BookmarkList();
  BookmarkList(const BookmarkList&) = delete;
  BookmarkList& operator=(const BookmarkList&) = delete;

  // The site icon of an address (the icon cache, once it exists).
  std::function<Pic(const std::string& url)> iconOf;
  // Pushes the flat-view bar when a sorted view is chosen from a category.
  std::function<void(bool animate)> pushViewBar;
  // A scroll by the thumb stops the row-gap animation; a smooth scroll the
  // row bounce.
  std::function<void()> onThumbScroll, onSmoothScroll;
  // Confines the pointer to the thumb's column of the canvas while it is
  // dragged (true), or releases it (false).
  std::function<void(bool)> confineToThumb;
  // The position indicator (位置外形框) shown or hidden.
  std::function<void(bool)> showPositionIndicator;
  // The indicator labels (标签16: first row, 标签17: count).
  std::function<void(int first, int count)> showIndicator;

  // The busy state entered while a sort lets window messages through.
  ui::Busy* busy = nullptr;

  void buildSlots();
  void hideHoverHighlight();
  // Stops the list's own animations (the smooth scroll) where they are.
  void cancelAnimations();
  void setListHeight(int h);
  // The category's rows from `firstRow`; `keepPositions` repaints the
  // slots where they stand (the deletion's gap closes from there).
  void showCategory(EntryId id, int firstRow, bool keepPositions = false);
  void selectView(View v, bool animateBar = true);
  // Leaves the category shown for a flat view (pushing its bar).
  void enterFlatView(bool animateBar);
  // A flat view with no rows and the notice in the middle ("未找到").
  void showNotFound(const std::string& notice);
  void hideEmptyNotice();
  void showFrom(int firstRow, bool keepPositions);
  void placeRows(int offset, bool repaintAll, bool keepPositions);
  void scrollTo(int from, int to);
  // Scrolls by whole rows, smoothly as the wheel does, just far enough that
  // row `r` is shown in full between the two fades (nothing when it
  // already is; at the top of the list the lead row stays under the top
  // fade).
  void bringRowIntoView(int r);
  // Rows shown in full at a whole-row offset.
  int rowsInView() const { return listHeight / 20 > 1 ? listHeight / 20 : 1; }
  // The visible rows (0-based, at a whole-row offset) shown in full and
  // clear of both fades: firstClearRow() .. lastClearRow(). A list too low
  // for a row between its fades takes every row it shows in full.
  bool rowFitsBetweenFades() const { return listHeight >= 20 + 2 * kFadeHeight; }
  int firstClearRow() const { return rowFitsBetweenFades() ? kFadeHeight / 20 : 0; }
  int lastClearRow() const { return rowFitsBetweenFades() ? (listHeight - kFadeHeight) / 20 - 1 : rowsInView() - 1; }
  int clearRowsInView() const { return lastClearRow() - firstClearRow() + 1; }
  void wheel(int notches);
  void offsetRows(int position, int d);
  void computeSlotOrder();
  void stopScroll();
  // The bookmark rows on screen show their site icons again (the icon cache
  // changed); nothing else is repainted.
  void refreshIcons();

  // State (names as the behaviour is described).
  int currentCategory = 0;   // -1 in a flat view
  int previousCategory = 0;
  View currentView = View::None;
  std::vector<EntryId> searchResults;
  std::vector<EntryId> memberRows;
  std::vector<EntryId> displayRows;
  int rowCount = 0;
  int bookmarkCount = 0;
  int firstRow = 1;
  int scrollOffset = 0;
  int alignedOffset = 0;
  int shownOffset = 0;
  bool snapToRows = false;
  bool userScroll = false;
  bool immediateScroll = false;
  EntryId returnedFrom = 0;
  int listHeight = 0;
  int slotCount = 0;
  int wrapExtra = 0;
  int grabOffset = 0;
  std::vector<int> slotOrder;  // 1-based positions -> slot index
  bool topSlotHidden = false;

  struct Slot {
    ObjectId background = 0, icon = 0, text = 0;
    int row = 0;
  };
  const std::vector<Slot>& slots() const { return slots_; }
  ObjectId thumb() const { return thumb_; }
  const ListLook& look() const { return look_; }
  ObjectId hoverHighlight() const { return hoverHighlight_; }
  ObjectId emptyNotice() const { return emptyNotice_; }
  ObjectId topFade() const { return topFade_; }
  ObjectId bottomFade() const { return bottomFade_; }
  ObjectId curtain() const { return curtain_; }
  ObjectId insertBadge() const { return insertBadge_; }
  ObjectId insertionLine() const { return insertionLine_; }
  // The id in row r of the current source (0 for no entry or past the end).
  EntryId idAtRow(int r) const;

 private:
  void paintSlot(Slot& s);
  void paintCategorySlot(Slot& s);
  void paintFlatSlot(Slot& s);
  void paintCardRow(Slot& s, int r);
  void hideSlot(Slot& s);
  void placeThumb();
  void onThumbMoved(int top);
  // A scroll moved firstRow: the category remembers it (in memory only) and
  // the indicator shows it.
  void firstRowScrolled();
  bool onMoving(ObjectId o, int left, int top);
  void scrollTick();
  ScrollGeometry geometry() const { return scrollGeometry(listHeight, rowCount); }

  canvas::AnimationBox& box_;
  store::BookmarkStore& store_;
  platform::Platform& platform_;
  ListLook look_;
  int screenHeight_;
  std::vector<Slot> slots_;
  ObjectId hoverHighlight_ = 0, insertionLine_ = 0, insertBadge_ = 0, thumb_ = 0, topFade_ = 0, bottomFade_ = 0,
           curtain_ = 0, emptyNotice_ = 0;
  platform::Platform::TimerId scrollTimer_ = 0;  // 时钟5
  int scrollFrame_ = 0, scrollFrom_ = 0, scrollTo_ = 0;
};

}  // namespace lh::list
