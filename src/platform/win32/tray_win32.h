// The notification-area icon and the balloon tip shown beside the window.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/win32/message_window_win32.h"
#include "platform/win32/scoped_win.h"

namespace lh::platform::win32 {

// The icon lives as long as this (or until removed); while the shell
// refuses it (not running yet, or busy) it is tried again every two
// seconds, and it comes back when the shell restarts.
class TrayIcon {
 public:
  TrayIcon();
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;
  // The first image of an .ico file's bytes, with its tooltip and events.
  bool add(std::string_view icoBytes, const std::string& tooltip, std::function<void(TrayEvent)> onEvent);
  void remove();

 private:
  bool show();

  // A hidden top-level window: message-only windows do not receive the
  // shell's "TaskbarCreated" broadcast.
  MessageWindow owner_{MessageWindow::Kind::TopLevel};
  UINT taskbarCreated_ = 0;
  NOTIFYICONDATAW data_{};
  OwnedIcon icon_;
  bool wanted_ = false;
  std::function<void(TrayEvent)> onEvent_;
};

// A balloon tip at a screen point for a while.
class Balloon {
 public:
  explicit Balloon(MessageWindow& owner) : owner_(owner) {}
  ~Balloon();
  Balloon(const Balloon&) = delete;
  Balloon& operator=(const Balloon&) = delete;
  void show(Point at, const std::string& text, int timeoutMs);

 private:
  MessageWindow& owner_;
  OwnedWindow tip_;
  TOOLINFOW tool_{};
  std::wstring text_;
};

}  // namespace lh::platform::win32
