// A call that another program can make fail for a moment (a file it holds
// open, the clipboard it is reading), tried again after short pauses.
#pragma once

#include <windows.h>

namespace lh::platform::win32 {

// Calls `attempt` until it returns true, pausing 10, 20, 40 ... ms between
// tries, the last pause `lastPauseMs`, and only while `passing()` says the
// failure can pass (read it as GetLastError() after the failed attempt).
// The last failure's error is left for the caller to read.
template <class Attempt, class Passing>
bool retryBriefly(Attempt attempt, Passing passing, DWORD lastPauseMs) {
  for (DWORD pause = 10;; pause *= 2) {
    if (attempt()) return true;
    const DWORD error = GetLastError();
    if (pause > lastPauseMs || !passing()) {
      SetLastError(error);
      return false;
    }
    Sleep(pause);
  }
}

}  // namespace lh::platform::win32
