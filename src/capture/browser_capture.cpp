#include "capture/browser_capture.h"

#include <utility>
#include <vector>

#include "platform/bounded_call.h"
#include "text/gbk.h"
#include "text/rules.h"

namespace lh::capture {

BrowserCapture::BrowserCapture(platform::Platform& platform, ui::Busy& busy, Hooks hooks)
    : platform_(platform), busy_(busy), hooks_(std::move(hooks)), reader_(platform.createWorker()) {
  busy_.onChange.push_back([this](bool busy) {
    if (busy || waiting_.empty()) return;
    auto waiting = std::move(waiting_);
    waiting_.clear();
    for (auto& f : waiting) f();
  });
}

void BrowserCapture::whenIdle(std::function<void()> f) {
  if (busy_.busy()) {
    waiting_.push_back(std::move(f));
  } else {
    f();
  }
}

void BrowserCapture::noBrowser() {
  platform_.showBalloon(hooks_.balloonPoint ? hooks_.balloonPoint() : platform_.cursorPosition(), "未检测到浏览器", 0);
}

void BrowserCapture::captureFromBrowser() {
  // Where the browser stands is taken now, as the user sees it; the browser
  // is read on the reader's thread, within the bound.
  const platform::Point at = hooks_.pointToCapture ? hooks_.pointToCapture() : platform::Point{};
  const std::string configured = hooks_.configuredClass ? hooks_.configuredClass() : std::string();
  // The read holds what it asks, so that it may outlive the platform when
  // the program ends while it is stuck.
  std::shared_ptr<platform::ForeignWindows> windows = platform_.foreignWindows();
  reader_->start([this, windows, at, configured](const platform::CancelFlag& cancel) -> platform::Worker::Delivery {
    // The bounded call may be abandoned while it still writes: what it read
    // is taken only when it has finished.
    auto read = std::make_shared<BrowserPage>();
    std::shared_ptr<ReadPlaces::Place> place = places_.take();
    const bool placed = place != nullptr;
    const platform::BoundedOutcome outcome =
        placed ? platform::runBounded(
                    [windows, at, configured, read, place = std::move(place)](const platform::CancelFlag& stop) mutable {
                      *read = readBrowserPage(*windows, at, configured, stop);
                      place.reset();  // free before the caller hears of the end
                    },
                    kReadBoundMs, &cancel)
              : platform::BoundedOutcome::Refused;
    BrowserPage page = outcome == platform::BoundedOutcome::Finished ? *read : BrowserPage{};
    return [this, page = std::move(page)] { pageRead(page); };
  });
}

void BrowserCapture::pageRead(const BrowserPage& page) {
  const std::string address = pageAddress(page);
  // Nothing read, no bookmark.
  if (address.empty()) {
    noBrowser();
    return;
  }
  const std::vector<std::string> pieces = text::split(address + "\r\n" + page.title, "\r\n");
  whenIdle([this, pieces] {
    if (hooks_.recycleExisting && hooks_.recycleExisting(pieces[0])) return;
    if (pieces.size() == 2) {
      addCapturedBookmark(pieces[1], pieces[0], "");
    } else {
      noBrowser();  // the title was empty or held a line break itself
    }
  });
}

void BrowserCapture::captureAddress(const std::string& title, const std::string& address) {
  whenIdle([this, title, address] {
    if (hooks_.recycleExisting && hooks_.recycleExisting(address)) return;
    addCapturedBookmark(title, address, "");
  });
}

void BrowserCapture::addCapturedBookmark(const std::string& title, const std::string& address,
                                         const std::string& note) {
  if (address.empty()) {
    noBrowser();
    return;
  }
  whenIdle([this, title, address, note] {
    if (hooks_.addBookmark && hooks_.addBookmark(title, address, note) > 0 && hooks_.showThumbnail) {
      hooks_.showThumbnail();
    }
  });
}

}  // namespace lh::capture
