// Hidden windows that receive the program's own messages: timers, closures
// posted from other threads, the hot key, the tray icon's events, a later
// copy's request to show the first. Each concern registers its handlers on
// a window; the message loop that feeds them all lives here too.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32/scoped_win.h"

namespace lh::platform::win32 {

// The class of every message window (a later copy of the program finds the
// first one's by it and its name).
inline constexpr wchar_t kMessageClass[] = L"LinkhoardMessages";

class MessageWindow {
 public:
  enum class Kind {
    MessageOnly,  // receives only what is sent or posted to it
    TopLevel,     // hidden, but receives broadcasts ("TaskbarCreated")
  };
  // `name` is the window's text, by which another process can find a
  // message-only window (FindWindowEx of HWND_MESSAGE).
  explicit MessageWindow(Kind kind = Kind::MessageOnly, const std::wstring& name = L"");
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // False when the system could not make the window: nothing reaches its
  // handlers then.
  bool ok() const { return static_cast<bool>(hwnd_); }
  HWND hwnd() const { return hwnd_.get(); }

  // The handler of a message (one per message); it returns the result.
  void on(UINT msg, std::function<LRESULT(WPARAM, LPARAM)> handler);
  // A system timer of this window: `tick` every `periodMs`, until stopped.
  void startTimer(UINT_PTR id, int periodMs, std::function<void()> tick);
  void stopTimer(UINT_PTR id);
  // Runs `f` on the window's thread (from any thread).
  void post(std::function<void()> f);

 private:
  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
  void runPosted();

  OwnedWindow hwnd_;
  std::map<UINT, std::function<LRESULT(WPARAM, LPARAM)>> handlers_;
  std::map<UINT_PTR, std::function<void()>> timers_;
  std::mutex postedMutex_;
  std::vector<std::function<void()>> posted_;
};

// Dispatches the messages waiting in the thread's queue; false when one of
// them was WM_QUIT (posted again, so that the loop that runs the program
// sees it and ends).
bool pumpPendingMessages();

// Runs the thread's message loop until WM_QUIT; `idle()` (if any) runs
// whenever the queue has been emptied. Returns WM_QUIT's exit code.
int runMessageLoop(const std::function<void()>& idle);

}  // namespace lh::platform::win32
