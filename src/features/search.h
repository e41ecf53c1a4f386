// The search box 查找编辑框: every change of its text searches the whole
// category tree again and shows the matches as a flat view by site, under a
// flat-view bar pushed when the search begins; emptying the box goes back to
// the category shown before.
#pragma once

#include <string>

#include "features/breadcrumb.h"
#include "features/search_query.h"
#include "list/bookmark_list.h"
#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "ui/busy.h"
#include "ui/controls.h"

namespace lh::features {

class Search {
 public:
  Search(platform::Platform& platform, ui::Busy& busy, store::BookmarkStore& store, list::BookmarkList& list,
         Breadcrumb& breadcrumb, ui::EditControl& box);

  // The box's text changed (typing, paste, or the program).
  void textChanged();
  // Fills the results for `text` and shows them, or "未找到".
  void run(const std::string& text);
  // Empties the box without leaving anything (a bar click already does).
  void clear();
  bool active() const { return active_; }

 private:
  void leave();

  platform::Platform& platform_;
  ui::Busy& busy_;
  store::BookmarkStore& store_;
  list::BookmarkList& list_;
  Breadcrumb& breadcrumb_;
  ui::EditControl& box_;
  SearchIndex index_;      // kept between keystrokes
  bool active_ = false;    // a search bar is pushed and results are shown
  bool clearing_ = false;  // the program empties the box itself
  bool pending_ = false;   // typed while long work let messages through
};

}  // namespace lh::features
