// The Platform of the real Windows program (also run under Wine).
#pragma once

#include <functional>
#include <memory>

#include "platform/platform.h"

namespace lh::platform::win32 {

class Win32Platform;

// Creates the platform of this process; none when the system refused what
// the program cannot run without (its window class, its message window).
std::unique_ptr<Win32Platform> createPlatform();

class Win32Platform : public Platform {
 public:
  // Runs the message loop until the process ends; `idle` runs whenever the
  // message queue has been emptied (the program paints its windows there).
  virtual int run(std::function<void()> idle) = 0;
  // What runs after each processPendingMessages (the same painting).
  virtual void setIdle(std::function<void()> idle) = 0;
};

}  // namespace lh::platform::win32
