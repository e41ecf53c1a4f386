// Every address copied anywhere becomes a bookmark: the clipboard watcher's
// change notification, the own-column rule, the address test, and the
// bookmark added with the title of the browser beside the window.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "capture/browser_capture.h"
#include "platform/platform.h"
#include "platform/worker.h"

namespace lh::capture {

// The text a copy offers as an address: cut at its first line break, which
// a stored address cannot hold.
std::string copiedAddress(std::string text);

class ClipboardCapture {
 public:
  struct Hooks {
    // The main window's left edge (the column is the 350 pixels from it).
    std::function<int()> columnLeft;
    std::function<platform::Point()> pointToCapture;
    // The add panel, when open for adding, closes without saving.
    std::function<void()> closeAddPanel;
    // The list's pointer row back to 1, the bin window aligned with the list.
    std::function<void()> resetPointer;
  };

  ClipboardCapture(platform::Platform& platform, BrowserCapture& browser, Hooks hooks);

  // The clipboard changed (any program, this one included). The title of
  // the browser beside the window is read off the GUI thread, under the
  // browser read's bound; every copy is kept, in order.
  void clipboardChanged();
  // Copies whose title is still being read.
  std::size_t waiting() const { return copies_.size(); }

 private:
  // Reads the title for the oldest copy waiting.
  void readTitle();

  platform::Platform& platform_;
  BrowserCapture& browser_;
  Hooks hooks_;
  std::deque<std::string> copies_;
  ReadPlaces places_;
  std::unique_ptr<platform::Worker> reader_;
};

}  // namespace lh::capture
