// One copy of the program per data folder: a named mutex says a copy runs,
// and a message-only window of the same name takes a later copy's request
// to show the first.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/win32/message_window_win32.h"
#include "platform/win32/scoped_win.h"

namespace lh::platform::win32 {

class SingleInstance {
 public:
  // True when this is the first copy for `key` (onShowRequest then hears a
  // later copy's request); false when another copy runs, which has been
  // asked to show itself.
  bool claim(const std::string& key, std::function<void()> onShowRequest);
  void release();

 private:
  OwnedHandle mutex_;
  std::unique_ptr<MessageWindow> window_;
  std::function<void()> onShowRequest_;
};

}  // namespace lh::platform::win32
