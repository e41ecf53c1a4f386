// The Platform of the real Windows program (also run under Wine).
#pragma once

#include <functional>
#include <memory>

#include "platform/platform.h"

namespace lh::platform::win32 {

class Win32Platform;

// Creates the platform of this process. `idle` runs whenever the message
// queue has been emptied (the program paints its windows there).
std::unique_ptr<Win32Platform> createPlatform();

class Win32Platform : public Platform {
 public:
  // Runs the message loop until the process ends.
  virtual int run(std::function<void()> idle) = 0;
  virtual void setIdle(std::function<void()> idle) = 0;
};

}  // namespace lh::platform::win32
