// The recycle bin's window beside the main window: its rows (the bin's
// members), restore mode (the insertion line and the 点击插入 badge follow the
// pointed row, and the window with them), putting everything back at the
// pointed row with the fly-in, and emptying with the slide-away. Also the
// side list, the copy of deleted rows that flies into the bin window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "features/look.h"
#include "list/bin_link.h"
#include "list/bookmark_list.h"
#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "ui/animation.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace lh::features {

// Restore mode: while the bin window is in use, the list shows where its
// entries would go back (the insertion line and the badge on the pointed
// row), and the bin window stands at that row.
class RestoreMode {
 public:
  RestoreMode(list::BookmarkList& list, canvas::AnimationBox& listBox, ui::Window& main, ui::Window& bin,
              std::function<int()> listTop);
  // Enters at visible row r (0-based): the hover highlight goes; line,
  // badge and the bin window stand at the row.
  void enter(int r);
  // The pointed row's position y (list coordinates) on a frame of the
  // highlight: line, badge and the bin window follow.
  void follow(int y);
  // Line and badge hidden, the badge parked.
  void leave();
  bool on() const { return on_; }
  // The list is an empty category: line, badge and window at its top.
  void atEmptyList();
  // The list's top moved (the bars): the window goes on standing at the
  // badge's row.
  void listMoved();

 private:
  void placeWindowAt(int y);

  list::BookmarkList& list_;
  canvas::AnimationBox& box_;
  ui::Window& main_;
  ui::Window& bin_;
  std::function<int()> listTop_;
  bool on_ = false;
};

class RecycleBin : public list::RecycleBinLink {
 public:
  struct Parts {
    platform::Platform& platform;
    store::BookmarkStore& store;
    list::BookmarkList& list;
    list::PointerOnList& pointer;  // what the pointer is on
    canvas::AnimationBox& listBox;
    ui::Window& main;
    ui::Window& bin;   // RecycleBinWindow
    ui::Window& side;  // SideListWindow
    Pictures& pictures;
    std::function<list::Pic(const std::string& url)> iconOf;
    std::function<int()> listTop;  // the list control's top in the main window
    int screenHeight;
  };
  explicit RecycleBin(Parts parts);
  // Called before a bin of more than store::kBinEmptyingCopied entries is
  // emptied (the store is copied first).
  std::function<void()> beforeEmptyingMany;

  // Both windows' controls and row objects; hidden.
  void build();

  void fillBin();
  // The bookmark rows of the bin window show their site icons again.
  void refreshIcons();
  // Fills the window and shows it, entering restore mode when it was hidden.
  void showBin();
  // Leaves restore mode (the highlight heads for the pointed row again) and
  // hides the window.
  void hideBin();
  bool binShown() const { return binShown_; }

  // list::RecycleBinLink
  bool restoreMode() const override { return restore_.on(); }
  bool restoring() const override { return approach_.running() || flyIn_.running(); }
  void restoreAll() override { restoreAll(true); }
  // Every frame of the list's hover highlight, at the row position y.
  void highlightMoved(int y) override;
  // A right press on the list puts the window in use already.
  void deletionStarted() override {
    shownBeforePress_ = binShown_;
    binShown_ = true;
  }
  void nothingDeleted() override { binShown_ = shownBeforePress_; }
  // The side list filled with the deleted rows and flying into the bin
  // window, which shows them (restore mode when it was hidden).
  void rowsDeleted(const std::string& items, int rangeTopRow) override;
  // The category shown became empty while the bin is in use.
  void categoryEmptied() override;

  // The list's top moved.
  void listMoved() { restore_.listMoved(); }
  // x = the main window's right + 10.
  void placeBeside();

  // Puts every member back into the category shown: before the pointed
  // entry, or at the end.
  void restoreAll(bool animate);
  // Destroys the members for good: the bin sound, the window slides away.
  void emptyBin();


  // Stops every animation where it is.
  void cancelAnimations();
  // Every running animation to its last frame (before a navigation).
  void settle();

  // For tests and the program's other parts.
  canvas::AnimationBox& binCanvas() { return binCanvas_->box(); }
  canvas::AnimationBox& sideCanvas() { return sideCanvas_->box(); }
  ui::PictureBox& strip() { return *strip_; }
  int binCount() const { return binCount_; }
  const std::vector<store::EntryId>& sideListItems() const { return sideItems_; }
  const std::vector<canvas::ObjectId>& binTexts() const { return binTexts_; }
  const std::vector<canvas::ObjectId>& binIcons() const { return binIcons_; }
  const std::vector<canvas::ObjectId>& sideTexts() const { return sideTexts_; }
  bool flying() const { return flight_.running(); }
  bool slidingAway() const { return slideAway_.running(); }

 private:
  // The rows of one of the two windows from a members text.
  void fillRows(canvas::AnimationBox& box, const std::vector<canvas::ObjectId>& icons,
                const std::vector<canvas::ObjectId>& texts, const std::vector<store::EntryId>& ids, int count,
                std::size_t titleBytes);
  void makeRows(canvas::AnimationBox& box, std::vector<canvas::ObjectId>& icons, std::vector<canvas::ObjectId>& texts);
  // The side list: the rows being deleted, flying into the bin window.
  void fillSideList(const std::string& items);
  void flySideList(int rangeTopRow);
  void flyInStep(int f);
  // The restored rows' top on the screen (the window stands there while
  // they fly in).
  int restoredRowsTop() const { return (restoredSlot_ - 1) * kRowHeight + p_.listTop() - 2; }

  Parts p_;
  RestoreMode restore_;
  ui::CanvasControl* binCanvas_ = nullptr;   // 动画框1 of the bin window
  ui::PictureBox* strip_ = nullptr;          // 图片框1
  ui::CanvasControl* sideCanvas_ = nullptr;  // 动画框1 of the side list
  std::vector<canvas::ObjectId> binIcons_, binTexts_, sideIcons_, sideTexts_;
  std::vector<store::EntryId> sideItems_;
  int rows_ = 0;  // R: rows that fit the screen height
  int binCount_ = 0;
  bool binShown_ = false;
  bool shownBeforePress_ = false;  // binShown_ when the right press came
  list::Pic blankRow_;  // a separator's row: white 350 x 20
  ui::Animation slideAway_;  // 时钟1 of the bin window
  ui::Animation approach_;   // 时钟8
  ui::Animation flyIn_;      // 时钟17
  ui::Animation flight_;     // 时钟19
  int restoredSlot_ = 0, restoredCount_ = 0, approachFrom_ = 0, approachTo_ = 0;
  int flightFrom_ = 0, flightTo_ = 0, flightTop_ = 0;
};

}  // namespace lh::features
