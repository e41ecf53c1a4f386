// Other programs' windows, read with bounded sends so that a hung program
// never stops ours, and the processes that own them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace lh::platform::win32 {

inline HWND hwndOf(ForeignWindow w) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(w.id)); }
inline ForeignWindow foreignOf(HWND h) { return ForeignWindow{reinterpret_cast<std::uintptr_t>(h)}; }

// A message to another program's window that waits at most
// Platform::kForeignSendTimeoutMs, and not at all for a window the system already
// knows to be hung. Messages sent to this thread meanwhile are handled.
bool sendBounded(HWND to, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result = nullptr);

ForeignWindow foreignWindowAt(Point p);
ForeignWindow foreignParentOf(ForeignWindow w);
std::string foreignClassNameOf(ForeignWindow w);
// WM_GETTEXT, which reads edit controls of other processes (GetWindowText
// does not); a hung window reads as empty.
std::string foreignTextOf(ForeignWindow w);
std::vector<ForeignWindow> foreignChildrenOf(ForeignWindow w);
// The executable of the process that owns the window: its path, and its
// file name as the process list gives it.
std::string processPathOf(ForeignWindow w);
std::string processFileNameOf(ForeignWindow w);

}  // namespace lh::platform::win32
