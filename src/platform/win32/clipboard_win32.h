// The clipboard: its text, and the viewer chain that tells the program of
// every change (the program's main window joins it, its procedure hooked).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace lh::platform::win32 {

// The clipboard's text (empty when there is none, or the clipboard stayed
// open elsewhere), opened for `owner`.
std::string readClipboardText(HWND owner);
// Puts the text on the clipboard; false when it could not.
bool writeClipboardText(HWND owner, const std::string& text);

class ClipboardWatcher {
 public:
  ClipboardWatcher() = default;
  // Leaves the chain and unhooks the window if that has not happened yet.
  ~ClipboardWatcher();
  ClipboardWatcher(const ClipboardWatcher&) = delete;
  ClipboardWatcher& operator=(const ClipboardWatcher&) = delete;
  // Joins the viewer chain with `window`, whose procedure is hooked so that
  // each WM_DRAWCLIPBOARD calls onChange. Once: later calls do nothing until
  // the watcher has left the chain and unhooked its window (the window's
  // destruction does both).
  void install(HWND window, std::function<void()> onChange);
  // In the chain.
  bool installed() const { return chained_; }
  // The window's own procedure back in place.
  void restoreProcedure();
  void leaveChain();

 private:
  static LRESULT CALLBACK hookedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void forgetWindow();

  HWND window_ = nullptr;
  bool chained_ = false;
  bool hooked_ = false;
  HWND nextViewer_ = nullptr;
  WNDPROC previousProc_ = nullptr;
  std::function<void()> onChange_;
};

}  // namespace lh::platform::win32
