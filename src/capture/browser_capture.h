// Bookmarking the page of the browser beside the window: what it shows is
// read off the GUI thread under one bound (page_reader.h), and a bookmark is
// added with its address and the window's title. Nothing is injected into
// the browser: window-manager calls and its accessible tree only.
//
// Also addCapturedBookmark, which the clipboard capture shares.
#pragma once

#include "capture/read_bound.h"

#include <functional>
#include <string>

#include "capture/page_reader.h"
#include "platform/platform.h"
#include "platform/worker.h"
#include "store/bookmark_store.h"
#include "ui/busy.h"

namespace lh::capture {

class BrowserCapture {
 public:
  struct Hooks {
    // The screen point just right of the column.
    std::function<platform::Point()> pointToCapture;
    // Where the balloon "未检测到浏览器" points (clear of the column's edge).
    std::function<platform::Point()> balloonPoint;
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

  // Right-click on the tray icon or on the right edge's tab: the browser is
  // read off the GUI thread; what it shows is bookmarked when the read
  // arrives, unless a newer capture has started meanwhile.
  void captureFromBrowser();
  // A read is under way.
  bool reading() const { return reader_->busy(); }
  // Reads running, those abandoned at the bound included.
  int readsRunning() const { return places_.running(); }
  // Adds a captured address (empty: the balloon "未检测到浏览器"), then the
  // thumbnail flies. While long work lets messages through, the store
  // change waits until it ends.
  void addCapturedBookmark(const std::string& title, const std::string& address, const std::string& note);
  // The clipboard's way in: a saved address goes to the recycle bin,
  // another is added as captured (both once long work has ended).
  void captureAddress(const std::string& title, const std::string& address);
  // "未检测到浏览器".
  void noBrowser();

 private:
  void pageRead(const BrowserPage& page);
  // Runs `f` now, or once the busy state ends.
  void whenIdle(std::function<void()> f);

  platform::Platform& platform_;
  ui::Busy& busy_;
  Hooks hooks_;
  std::vector<std::function<void()>> waiting_;
  ReadPlaces places_;
  std::unique_ptr<platform::Worker> reader_;
};

}  // namespace lh::capture
