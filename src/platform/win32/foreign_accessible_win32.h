// Other programs' accessible objects (MSAA), read as a screen reader reads
// them: the window's answer to WM_GETOBJECT unmarshalled into a proxy, and
// its objects asked through COM. Off the GUI thread only: each call waits
// for the other program (the caller bounds the whole read).
#pragma once

#include <windows.h>

#include <memory>

#include "platform/platform.h"

namespace lh::platform::win32 {

// The accessible object of the window's client area; none when the window
// serves none, or does not answer within `timeoutMs` (a window the system
// knows to be hung is not waited for at all).
std::unique_ptr<ForeignAccessible> accessibleOfWindow(HWND w, unsigned timeoutMs);

}  // namespace lh::platform::win32
