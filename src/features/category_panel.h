// The category panel (page 1 of 选择夹3): creating a category in the one
// shown, and renaming one. The id to rename is remembered when the panel
// opens, since the entry under the pointer changes afterwards.
#pragma once

#include "canvas/animation_box.h"
#include "features/look.h"
#include "features/overlay_pages.h"
#include "list/bookmark_list.h"
#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "ui/busy.h"
#include "ui/controls.h"

namespace lh::features {

class CategoryPanel {
 public:
  CategoryPanel(platform::Platform& platform, store::BookmarkStore& store, list::BookmarkList& list,
                OverlayPages& pages, ui::Window& main, Pictures& pictures);

  // The header's new-category button with its hover picture and click.
  void createHeaderButton(canvas::AnimationBox& header, Pictures& pictures);

  void showCreate();
  void showRename(store::EntryId id);
  void confirm();
  void cancel();
  // A confirm while long work lets messages through (a sort, the import)
  // runs once that work has ended.
  void deferWhileBusy(ui::Busy& busy);

  ui::Label& prompt() { return *prompt_; }
  ui::EditControl& edit() { return *edit_; }
  canvas::ObjectId headerButton() const { return button_; }
  // Shows the category again after a change (through the breadcrumb, which
  // settles running animations first).
  std::function<void(store::EntryId id, int firstRow)> showCategory;

 private:
  platform::Platform& platform_;
  store::BookmarkStore& store_;
  list::BookmarkList& list_;
  OverlayPages& pages_;
  ui::PictureBox* panel_ = nullptr;  // 图片框2
  ui::Label* prompt_ = nullptr;      // 标签12
  ui::EditControl* edit_ = nullptr;  // yy分类标题编辑框
  store::EntryId renameTarget_ = 0;
  ui::Busy* busy_ = nullptr;
  bool confirmPending_ = false;
  canvas::ObjectId button_ = 0;
};

}  // namespace lh::features
