// The keyboard's state as the program's key messages carry it.
#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace lh::platform::win32 {

// The modifiers held with the key being handled (kCtrl, kShift, kAlt).
inline int heldModifiers() {
  int mods = 0;
  if (GetKeyState(VK_CONTROL) < 0) mods |= kCtrl;
  if (GetKeyState(VK_SHIFT) < 0) mods |= kShift;
  if (GetKeyState(VK_MENU) < 0) mods |= kAlt;
  return mods;
}

}  // namespace lh::platform::win32
