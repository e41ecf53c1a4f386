// What the pointer does on the list besides scrolling: hover tracking and
// the highlight, presses, and the click that opens a bookmark in the
// browser (counting the visit), enters a category, or opens an editor.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "list/bin_link.h"
#include "list/bookmark_list.h"
#include "list/row_deletion.h"
#include "ui/animation.h"

namespace lh::list {

class ListInteraction : public PointerOnList {
 public:
  struct Hooks {
    std::function<void()> activateWindow;  // bring the main window to the front, take the focus
    // Every move of the pointer over the list (the list takes the focus).
    std::function<void()> pointerMoved;
    std::function<void(EntryId id, int level, bool push)> openCategory;
    std::function<int()> barCount;
    std::function<std::string()> browserPath;
    std::function<void(EntryId)> openEditPanel;
    std::function<void(EntryId)> showRenamePanel;
    std::function<void()> separatorSound, removalSound;
    // The keyboard moved the highlight to row r (absolute).
    std::function<void(int r)> keyboardMoved;
  };

  enum class KeyStep { Up, Down, PageUp, PageDown, Home, End };

  ListInteraction(BookmarkList& list, canvas::AnimationBox& box, store::BookmarkStore& store,
                  platform::Platform& platform, Hooks hooks);

  // The recycle bin's room (restore mode, where deleted rows go).
  void linkBin(RecycleBinLink* bin) { bin_ = bin; }
  // The pointed row taken as visible row v (0-based) until the pointer
  // moves: a copied address's bookmark goes to the bin window's row there.
  void pointAtVisibleRow(int v) { pointerRow_ = v; }
  // The main window lost the activation: the next move activates it again.
  void deactivated() { hoverActivated_ = false; }
  void open(EntryId e);
  // Stops the highlight, gap and bounce animations where they are.
  void cancelAnimations();

  // PointerOnList
  PointedRow pointed() const override;
  // The row animations (the bounce, the deletion's gap) to their last frame.
  void finishRowAnimations() override;
  // The hover highlight animates to the pointed row (from where restore
  // mode's badge stands, when it is on); nothing when neither the pointer
  // nor the keys are on the list.
  void highlightPointedRow() override;
  RowDeletion& deletion() { return deletion_; }

  // The keyboard: moves the highlight as the pointer would (skipping the
  // rows that open nothing: the lead row, spacers, headings, separators),
  // scrolling the row into view. False when nothing moved (an end of the
  // list, an empty list, a button held).
  bool moveHighlight(KeyStep step);
  // Opens the highlighted row as a click on its title does; false when no
  // row is highlighted.
  bool openHighlighted();
  // The row (absolute) the highlight shows or heads for; 0 when none.
  int highlightedRow() const;
  // Whether row r is one the keyboard stops at.
  bool keyboardRow(int r) const;

 private:
  void track(int x, int y);
  // The entry in row r; none for a row without one (or no row).
  std::optional<EntryId> entryIn(int r) const;
  void highlight();
  void click(canvas::ObjectId released, canvas::ObjectId pressed);
  void highlightStep(int frame);
  bool inRestoreMode() const { return bin_ && bin_->restoreMode(); }
  // Where the highlight goes for the pointed row: the band centred on the
  // row (3 pixels above its top); in restore mode the row's top itself, and
  // below the last row the place under it.
  int highlightTarget(bool restoreMode) const;
  // Starts the highlight's animation towards highlightTarget().
  void aimHighlight();
  void pointerLeft();
  void insertSeparator();
  void insertSeparatorBefore(EntryId m);
  void removeSeparator(EntryId s);
  void gapStep(int frame);
  // The first row the keyboard stops at from r on, walking by `direction`
  // (+1 or -1); 0 when there is none.
  int keyboardRowFrom(int r, int direction) const;
  // The row (absolute) the band shows or heads for, whatever the row is
  // (a separator too); 0 when the band is hidden or cleared.
  int bandRow() const;

  // Where the pointer is (names as the behaviour is described):
  // PointerRow, PointerX, PointerY, LastPointerRow, PastEnd and TargetEntry
  // (the entry in the pointed row; none for a row without one).
  int pointerRow_ = 0, pointerX_ = 0, pointerY_ = 0, lastPointerRow_ = -1;
  bool pastEnd_ = false;
  std::optional<EntryId> targetEntry_;
  bool hoverActivated_ = false;
  // A left press on a row not yet left (PressPending), a separator made by
  // this press (GapDragDone), the row and slot position of the press.
  bool pressPending_ = false;
  bool gapDragDone_ = false;
  int pressedRow_ = 0, pressedPosition_ = 0;

  BookmarkList& list_;
  canvas::AnimationBox& box_;
  store::BookmarkStore& store_;
  platform::Platform& platform_;
  Hooks hooks_;
  RecycleBinLink* bin_ = nullptr;
  ui::Animation highlight_;  // 时钟18
  ui::Animation gap_;        // 时钟7
  ui::Animation bounce_;     // 时钟15
  RowDeletion deletion_;
  int highlightFrom_ = 0, highlightTarget_ = 0;
  // The visible row (0-based) the highlight shows or heads for.
  int aimedRow_ = 0;
  // The pointer is over the list (between its first move and its leave).
  bool pointerInside_ = false;
  int gapPosition_ = 0, bouncePosition_ = 0;
  // The keyboard placed the highlight; a pointer move to where the pointer
  // already was (the system sends such moves when windows change) does not
  // take it back.
  bool keyboardHighlight_ = false;
  bool skipMove_ = false;
};

}  // namespace lh::list
