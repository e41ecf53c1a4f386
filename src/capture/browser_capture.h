// Bookmarking the page of the browser beside the window: the window just
// right of the column (the capture point), its top-level window, the browser
// recognised by that window's class, its address bar found among the
// descendants and read, and a bookmark added with the window's title.
// Only window-manager calls on the browser's windows; nothing is injected.
//
// Also addCapturedBookmark, which the clipboard capture shares.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "ui/busy.h"

namespace lh::capture {

// The top-level window above `w` (GetParent until there is none); `w`
// itself when it has no parent.
platform::ForeignWindow topLevelOf(platform::Platform& platform, platform::ForeignWindow w);

// The text of the first descendant of `parent`, depth first in the order
// the system lists children, whose class is `wanted`; empty when none is
// (also when the match's own text is empty). Any depth, no recursion.
std::string findText(platform::Platform& platform, platform::ForeignWindow parent, const std::string& wanted);

// The class of the address window for a top-level class, by the table of
// browsers (the last matching row wins); empty when the class is unknown.
// `configured` is the settings' class for "Chrome_WidgetWin_1".
std::string addressWindowClass(const std::string& topClass, const std::string& configured);

class BrowserCapture {
 public:
  struct Hooks {
    // The screen point just right of the column.
    std::function<platform::Point()> pointToCapture;
    // The settings' address-window class for Chromium windows ("控件").
    std::function<std::string()> configuredClass;
    // The duplicate rule: true when a live bookmark had the address (it went
    // to the recycle bin).
    std::function<bool(const std::string& address)> recycleExisting;
    // Adds the bookmark as a typed one is added (title cleaned and cut, the
    // category shown, the icon fetched, the list redrawn).
    std::function<store::EntryId(const std::string& title, const std::string& address, const std::string& note)>
        addBookmark;
    // The capture thumbnail's flight.
    std::function<void()> showThumbnail;
  };

  BrowserCapture(platform::Platform& platform, ui::Busy& busy, Hooks hooks);

  // Right-click on the tray icon or on the right edge's tab.
  void captureFromBrowser();
  // Adds a captured address (empty: the balloon "未检测到浏览器"), then the
  // thumbnail flies. While long work lets messages through, the store
  // change waits until it ends.
  void addCapturedBookmark(const std::string& title, const std::string& address, const std::string& note);
  // The clipboard's way in: a saved address goes to the recycle bin,
  // another is added as captured (both once long work has ended).
  void captureAddress(const std::string& title, const std::string& address);

 private:
  void noBrowser();
  // Runs `f` now, or once the busy state ends.
  void whenIdle(std::function<void()> f);

  platform::Platform& platform_;
  ui::Busy& busy_;
  Hooks hooks_;
  std::vector<std::function<void()>> waiting_;
};

}  // namespace lh::capture
