// The bookmark panel (page 0 "收藏" of 选择夹3): typing a new bookmark in
// (add mode) or changing one (edit mode, with its icon, dates and visit
// count), and recycleExisting, the duplicate rule every way of adding a
// bookmark shares.
#pragma once

#include <functional>
#include <string>

#include "canvas/animation_box.h"
#include "features/look.h"
#include "features/overlay_pages.h"
#include "list/bookmark_list.h"
#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "ui/busy.h"
#include "ui/controls.h"

namespace lh::capture {

// The date line of the panel: "添加日期: 2016年/3月27日/9点5分0秒", or the
// prefix and `never` when the date's year is 1899 (the zero date).
std::string panelDateLine(const std::string& prefix, double oleDate, const std::string& never);

class EditPanel {
 public:
  struct Hooks {
    // The site icon of an address (the icon cache's iconPictureOf).
    std::function<list::Pic(const std::string& url)> iconOf;
    // The icon box was clicked in edit mode (the icon cache refetches).
    std::function<void(store::EntryId)> refreshIcon;
    // A new bookmark whose host has no icon yet (the icon cache fetches).
    std::function<void(store::EntryId)> newBookmark;
    // Shows a category again from its first visible row (settling first).
    std::function<void(store::EntryId id, int firstRow)> showCategory;
    // The recycle bin's window: refilled, placed and shown.
    std::function<void()> showBin;
    // The main window: whether it is slid out, and sliding it in.
    std::function<bool()> slidOut;
    std::function<void()> slideIn;
  };

  EditPanel(platform::Platform& platform, ui::Busy& busy, store::BookmarkStore& store, list::BookmarkList& list,
            features::OverlayPages& pages, ui::Window& main, features::Pictures& pictures, Hooks hooks);

  // The header's add button with its hover picture: sets the mode marker and
  // opens the panel for adding.
  void createHeaderButton(canvas::AnimationBox& header, features::Pictures& pictures);

  void openAddPanel();
  void openEditPanel(store::EntryId id);
  void confirmPanel();
  void cancelPanel();
  // True when a live bookmark had exactly this address: it went to the end
  // of the recycle bin.
  bool recycleExisting(const std::string& address);
  store::EntryId addTypedBookmark(const std::string& title, const std::string& address, const std::string& note);
  void saveEditedBookmark();
  // Copies the title, CR LF and the address (标签5 "复制").
  void copyTitleAndAddress();

  // The mode marker: "1" while open for adding, "0" otherwise.
  const std::string& modeMarker() const { return panel_->tagText; }
  void setModeMarker(std::string m) { panel_->tagText = std::move(m); }
  store::EntryId editedEntryId() const { return editedId_; }
  canvas::ObjectId headerButton() const { return button_; }

  ui::PictureBox& panel() { return *panel_; }
  ui::Label& heading() { return *heading_; }
  ui::Label& hint() { return *hint_; }
  ui::Label& copyLabel() { return *copy_; }
  ui::Label& lastVisitLine() { return *lastVisit_; }
  ui::Label& addedLine() { return *added_; }
  ui::Label& visitCountLine() { return *visits_; }
  ui::PictureBox& iconBox() { return *icon_; }
  ui::EditControl& titleBox() { return *title_; }
  ui::EditControl& addressBox() { return *address_; }
  ui::EditControl& noteBox() { return *note_; }

 private:
  void placeOverlay();
  bool keyDown(int key, int modifiers, bool note);

  platform::Platform& platform_;
  ui::Busy& busy_;
  store::BookmarkStore& store_;
  list::BookmarkList& list_;
  features::OverlayPages& pages_;
  ui::Window& main_;
  Hooks hooks_;
  store::EntryId editedId_ = 0;
  bool confirmPending_ = false;  // confirmed while long work walked the rows
  canvas::ObjectId button_ = 0;
  ui::PictureBox* panel_ = nullptr;      // 图片框1
  ui::Label* heading_ = nullptr;         // 标签8
  ui::EditControl* title_ = nullptr;     // 标题编辑框
  ui::EditControl* address_ = nullptr;   // 地址编辑框
  ui::EditControl* note_ = nullptr;      // 备注编辑框
  ui::PictureBox* icon_ = nullptr;       // 图片框4
  ui::Label* copy_ = nullptr;            // 标签5
  ui::Label* hint_ = nullptr;            // 标签14
  ui::Label* lastVisit_ = nullptr;       // 标签6
  ui::Label* added_ = nullptr;           // 标签9
  ui::Label* visits_ = nullptr;          // 标签4
};

}  // namespace lh::capture
