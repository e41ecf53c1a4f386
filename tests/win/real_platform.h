// The process's one real platform, shared by the Windows tests (a second
// one would take over the first one's message window and globals).
#pragma once

#include <memory>

#include "platform/win32/win32_platform.h"

namespace lh::platform {

inline win32::Win32Platform& realPlatform() {
  static std::unique_ptr<win32::Win32Platform> p = win32::createPlatform();
  return *p;
}

}  // namespace lh::platform
