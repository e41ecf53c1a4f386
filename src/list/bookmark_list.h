// The bookmark list on its canvas: a ring of row slots showing either a
// category's members or a sorted flat view, the scroll thumb, the wheel and
// the smooth scroll.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "canvas/animation_box.h"
#include "list/list_model.h"
#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "ui/busy.h"
#include "ui/layout.h"

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

  // What the list tells or asks of the rooms around it, set once by their
  // owners.
  // The site icon of an address (the icon cache, once it exists).
  void setIconSource(std::function<Pic(const std::string& url)> f) { iconOf_ = std::move(f); }
  // Pushes the flat-view bar when a sorted view is chosen from a category.
  void setViewBarPush(std::function<void(bool animate)> f) { pushViewBar_ = std::move(f); }
  // A scroll by the thumb stops the row-gap animation; a smooth scroll the
  // row bounce.
  void setScrollListeners(std::function<void()> thumb, std::function<void()> smooth) {
    onThumbScroll_ = std::move(thumb);
    onSmoothScroll_ = std::move(smooth);
  }
  // Confines the pointer to the thumb's column of the canvas while it is
  // dragged (true), or releases it (false).
  void setThumbConfinement(std::function<void(bool)> f) { confineToThumb_ = std::move(f); }
  // The position indicator (位置外形框) shown or hidden, and its labels
  // (标签16: first row, 标签17: count).
  void setIndicator(std::function<void(bool)> shown, std::function<void(int first, int count)> labels) {
    showPositionIndicator_ = std::move(shown);
    showIndicator_ = std::move(labels);
  }
  // The busy state entered while a sort lets window messages through.
  void setBusy(ui::Busy* busy) { busy_ = busy; }

  void buildSlots();
  void hideHoverHighlight();
  // Stops the list's own animations (the smooth scroll) where they are.
  void cancelAnimations();
  void setListHeight(int h);

  // ---------------------------------------------------------------- what it shows
  // A category's members (the lead row, then a row per member), or a flat
  // view: bookmarks sorted by a view's key, grouped under headings.
  bool inFlatView() const { return currentCategory_ == -1; }
  // The category shown; none in a flat view.
  std::optional<EntryId> category() const {
    return currentCategory_ >= 1 ? std::optional<EntryId>(currentCategory_) : std::nullopt;
  }
  // The category shown, or the one the flat view was entered from.
  EntryId categoryBelow() const { return inFlatView() ? previousCategory_ : currentCategory_; }
  // The flat view's sort (None in a category).
  View view() const { return currentView_; }
  // The bookmarks a flat view shows, in its order.
  const std::vector<EntryId>& results() const { return searchResults_; }
  int rowCount() const { return rowCount_; }
  // The bookmarks among a flat view's rows.
  int bookmarkCount() const { return bookmarkCount_; }
  // A flat view without a bookmark (or an empty category).
  bool empty() const { return inFlatView() ? bookmarkCount_ == 0 : rowCount_ < 2; }
  // The id in row r of the current source (0 for no entry or past the end).
  EntryId idAtRow(int r) const;
  // The ids of every row, as idAtRow gives them.
  const std::vector<EntryId>& rowIds() const { return inFlatView() ? displayRows_ : memberRows_; }
  // The category a bar click came back from (its title shows in black).
  EntryId returnedFrom() const { return returnedFrom_; }

  // ---------------------------------------------------------------- where
  // The first row shown (1-based), the scroll's offsets in pixels.
  int firstRow() const { return firstRow_; }
  int shownOffset() const { return shownOffset_; }
  int listHeight() const { return listHeight_; }
  // A wheel's scroll comes to rest on whole rows; the thumb is being
  // dragged.
  bool snapsToRows() const { return snapToRows_; }
  bool thumbDragged() const { return userScroll_; }
  // The row (absolute, 1-based) at a y of the canvas, at a whole-row offset.
  int rowAtY(int y) const { return firstRow_ + y / kRowHeight; }
  // The ring of slots: how many are in use, and the position in the slot
  // order of the slot that shows visible row v (0-based) once
  // computeSlotOrder has run.
  int slotCount() const { return slotCount_; }
  // What the last slot shows beyond the list's height: a row's height less
  // the height's remainder.
  int wrapExtra() const { return wrapExtra_; }
  int slotPositionOfVisibleRow(int v) const { return v + 1 + (topSlotHidden_ ? 1 : 0); }
  // Rows shown in full at a whole-row offset.
  int rowsInView() const { return listHeight_ / kRowHeight > 1 ? listHeight_ / kRowHeight : 1; }
  // The visible rows (0-based, at a whole-row offset) shown in full and
  // clear of both fades: firstClearRow() .. lastClearRow(). A list too low
  // for a row between its fades takes every row it shows in full.
  bool rowFitsBetweenFades() const { return listHeight_ >= kRowHeight + 2 * kFadeHeight; }
  int firstClearRow() const { return rowFitsBetweenFades() ? kFadeHeight / kRowHeight : 0; }
  int lastClearRow() const {
    return rowFitsBetweenFades() ? (listHeight_ - kFadeHeight) / kRowHeight - 1 : rowsInView() - 1;
  }
  int clearRowsInView() const { return lastClearRow() - firstClearRow() + 1; }

  // ---------------------------------------------------------------- commands
  // The category's rows from `firstRow`; `keepPositions` repaints the
  // slots where they stand (the deletion's gap closes from there).
  void showCategory(EntryId id, int firstRow, bool keepPositions = false);
  // The flat view sorted by `v` (of the category's bookmarks when chosen
  // from a category).
  void selectView(View v, bool animateBar = true);
  // Leaves the category shown for a flat view (pushing its bar).
  void enterFlatView(bool animateBar);
  // A search's results, sorted by `v`; none: the notice in the middle
  // ("未找到").
  void showResults(std::vector<EntryId> results, View v, const std::string& notFoundNotice);
  // A bookmark added while a flat view is shown joins its results (drawn
  // when the view is next built).
  void addToResults(EntryId id) { searchResults_.push_back(id); }
  // Coming back to a category by its bar: the one left shows in black.
  void setReturnedFrom(EntryId id) { returnedFrom_ = id; }
  void hideEmptyNotice();
  void showFrom(int firstRow, bool keepPositions);
  void placeRows(int offset, bool repaintAll, bool keepPositions);
  // Every slot repainted where it stands (a visit's new count and time).
  void repaintInPlace() { placeRows(-alignedOffset_, true, true); }
  // Every slot back at its ring place for the first row, not repainted
  // (any row offset undone).
  void restoreSlotPlaces() { placeRows(-offsetOfRow(firstRow_), false, false); }
  // Takes row r out of a category's rows without reading the store again.
  void removeRow(int r);
  void scrollTo(int from, int to);
  // Scrolls by whole rows, smoothly as the wheel does, just far enough that
  // row `r` is shown in full between the two fades (nothing when it
  // already is; at the top of the list the lead row stays under the top
  // fade).
  void bringRowIntoView(int r);
  void wheel(int notches);
  void offsetRows(int position, int d);
  // Moves the n slots from `position` of the slot order to x (their tops
  // kept): the restored rows flying in from the right.
  void shiftRowsRight(int position, int x, int n);
  void computeSlotOrder();
  void stopScroll();
  // The bookmark rows on screen show their site icons again (the icon cache
  // changed); nothing else is repainted.
  void refreshIcons();
  // Scrolls made while one lives jump to their place instead of gliding.
  class ImmediateScroll {
   public:
    explicit ImmediateScroll(BookmarkList& list) : list_(list) { list_.immediateScroll_ = true; }
    ~ImmediateScroll() { list_.immediateScroll_ = false; }
    ImmediateScroll(const ImmediateScroll&) = delete;
    ImmediateScroll& operator=(const ImmediateScroll&) = delete;

   private:
    BookmarkList& list_;
  };

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

 private:
  void paintSlot(Slot& s);
  void paintCategorySlot(Slot& s);
  void paintFlatSlot(Slot& s);
  void paintCardRow(Slot& s, int r);
  void hideSlot(Slot& s);
  // The scroll offset at which row r is the first one shown.
  static int offsetOfRow(int r) { return kRowHeight * (r - 1); }
  void placeThumb();
  void onThumbMoved(int top);
  // A scroll moved firstRow: the category remembers it (in memory only) and
  // the indicator shows it.
  void firstRowScrolled();
  bool onMoving(ObjectId o, int left, int top);
  void scrollTick();
  ScrollGeometry geometry() const { return scrollGeometry(listHeight_, rowCount_); }

  std::function<Pic(const std::string& url)> iconOf_;
  std::function<void(bool animate)> pushViewBar_;
  std::function<void()> onThumbScroll_, onSmoothScroll_;
  std::function<void(bool)> confineToThumb_;
  std::function<void(bool)> showPositionIndicator_;
  std::function<void(int first, int count)> showIndicator_;
  ui::Busy* busy_ = nullptr;

  // State (names as the behaviour is described).
  int currentCategory_ = 0;  // -1 in a flat view
  int previousCategory_ = 0;
  View currentView_ = View::None;
  std::vector<EntryId> searchResults_;
  std::vector<EntryId> memberRows_;
  std::vector<EntryId> displayRows_;
  int rowCount_ = 0;
  int bookmarkCount_ = 0;
  int firstRow_ = 1;
  int scrollOffset_ = 0;
  int alignedOffset_ = 0;
  int shownOffset_ = 0;
  bool snapToRows_ = false;
  bool userScroll_ = false;
  bool immediateScroll_ = false;
  EntryId returnedFrom_ = 0;
  int listHeight_ = 0;
  int slotCount_ = 0;
  int wrapExtra_ = 0;
  int grabOffset_ = 0;
  std::vector<int> slotOrder_;  // 1-based positions -> slot index
  bool topSlotHidden_ = false;

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
