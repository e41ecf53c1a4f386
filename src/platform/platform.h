// The seam to the operating system. The program's own layers never call the
// operating system directly: they call this interface, which
// platform/win32 implements for Windows and platform/sim implements as a
// deterministic simulator for tests (virtual clock, fake screen, fake
// foreign windows, recorded launches and sounds).
//
// Everything here runs on the GUI thread unless a method says otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "canvas/picture.h"
#include "canvas/text_raster.h"
#include "platform/dialogs.h"
#include "platform/http.h"
#include "platform/worker.h"

namespace lh::platform {

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

struct Bounds {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Bounds&) const = default;
};

enum class MouseButton { Left, Right };

// Key modifiers as the panels test them: Ctrl = 1, Shift = 2, Alt = 4.
inline constexpr int kCtrl = 1, kShift = 2, kAlt = 4;

// Virtual-key codes of the keys the program handles.
namespace keys {
inline constexpr int kBack = 0x08, kEnter = 0x0D, kEscape = 0x1B, kPageUp = 0x21, kPageDown = 0x22, kEnd = 0x23,
                     kHome = 0x24, kUp = 0x26, kDown = 0x28;
}  // namespace keys

// What an assistive program (a screen reader) is told about a window drawn
// by the program itself: a tree of elements with the roles of MSAA.
enum class AccessibleRole { Client, List, ListItem, PushButton, PageTab, StaticText };

struct AccessibleNode {
  AccessibleRole role = AccessibleRole::Client;
  std::string name;   // GBK
  std::string value;  // GBK
  Bounds bounds;      // in the window's client coordinates
  bool focused = false, selected = false;
  std::vector<AccessibleNode> children;
};

// What a host window reports. Coordinates are the window's client
// coordinates. Every handler may be empty.
struct WindowEvents {
  std::function<void(MouseButton, int x, int y)> buttonDown, buttonUp;
  // The second left press of a double click. It is reported instead of
  // buttonDown (as the system does), so it is a press in its own right; a
  // buttonUp follows it.
  std::function<void(int x, int y)> doubleClick;
  // The pointer left the window's client area.
  std::function<void()> pointerLeave;
  // `leftHeld`: the left button is down during the move.
  std::function<void(int x, int y, bool leftHeld)> pointerMove;
  // Notches: wheel delta / 120, positive away from the user.
  std::function<void(int notches, int x, int y)> wheel;
  std::function<void(int keyCode, int modifiers)> keyDown;
  // A printable character typed while the window has the focus (one GBK
  // character; Ctrl and Alt combinations are no characters).
  std::function<void(const std::string& character)> character;
  // The window's position changed (also on every step of a slide).
  std::function<void(int left, int top)> moved;
  std::function<void()> deactivated;
  // The window lost the pointer's capture while a button was held (another
  // window took it, a menu or a dialog opened): the release will not come.
  std::function<void()> captureLost;
  // The system asks to close the window (Alt+F4, the close command).
  // Returning true lets it close.
  std::function<bool()> closeRequested;
  // Asked whenever an assistive program reads the window: its contents now.
  // The root's direct children are numbered from 0 for accessibleFocus.
  std::function<AccessibleNode()> accessibleTree;
};

struct WindowOptions {
  Bounds bounds;
  bool toolWindow = true;   // no task-bar button
  bool topMost = false;
  bool layered = false;     // per-pixel alpha through presentLayered
  std::string title;        // GBK
  // Shown only: the pointer's input goes to whatever is below it, as if the
  // window were not there (a picture flying across other windows).
  bool passesInput = false;
};

// A native edit control inside a host window, so that typing, input
// methods, selection and the clipboard behave as the system's own.
struct EditOptions {
  Bounds bounds;             // in the host window's client coordinates
  bool multiLine = false;
  bool readOnly = false;
  int maxBytes = 0;          // input limit in GBK bytes; 0 = none
  std::uint32_t textColourRef = 0x515151;  // RGB (81, 81, 81)
  std::uint32_t backgroundRef = 0xFFFFFF;
};

class EditBox {
 public:
  virtual ~EditBox() = default;
  virtual std::string text() const = 0;  // GBK; line breaks as CR LF
  virtual void setText(const std::string& text) = 0;
  virtual void setReadOnly(bool readOnly) = 0;
  virtual void setVisible(bool visible) = 0;
  virtual bool visible() const = 0;
  virtual void setBounds(const Bounds& b) = 0;
  virtual Bounds bounds() const = 0;
  virtual void focus() = 0;
  // Whether the box holds the keyboard focus.
  virtual bool hasFocus() const = 0;
  // Puts the caret after the last character.
  virtual void caretToEnd() = 0;
  // After every change of the text (typing, paste, setText).
  std::function<void()> onChange;
  // Key-down with the modifiers (Ctrl 1, Shift 2, Alt 4); returning true
  // consumes the key (Enter does not reach the control then).
  std::function<bool(int keyCode, int modifiers)> onKeyDown;
};

// A top-level window the platform hosts. The program draws everything
// itself and hands the window its composed pixels.
class HostWindow {
 public:
  virtual ~HostWindow() = default;
  WindowEvents events;

  virtual void setBounds(const Bounds& b) = 0;
  virtual Bounds bounds() const = 0;
  void moveTo(int left, int top) {
    Bounds b = bounds();
    b.left = left;
    b.top = top;
    setBounds(b);
  }
  virtual void setVisible(bool visible) = 0;
  virtual bool visible() const = 0;

  // Shows the rectangles `dirty` of the window's pixels (opaque 0xFFRRGGBB,
  // `width` x `height`, row by row).
  virtual void present(const std::uint32_t* pixels, int width, int height,
                       const std::vector<canvas::Rect>& dirty) = 0;
  // Per-pixel alpha: the premultiplied picture becomes the window's look
  // (UpdateLayeredWindow); `alpha` 0..255 scales it.
  virtual void presentLayered(const canvas::Picture& premultiplied, int alpha) = 0;
  // A constant alpha for the whole window (SetLayeredWindowAttributes).
  virtual void setWindowAlpha(int alpha) = 0;

  // Brings the window to the top of the z-order, activating it or not.
  virtual void raise(bool activate) = 0;
  virtual void setForeground() = 0;
  virtual void takeFocus() = 0;
  // The native handle as a number, for comparisons with foreign windows.
  virtual std::uint64_t nativeId() const = 0;
  // A native edit control in this window.
  virtual std::unique_ptr<EditBox> createEditBox(const EditOptions& options) = 0;
  // Tells assistive programs that child `item` of the root's child
  // `container` (both counted from 0 in accessibleTree) has the focus and
  // is selected (the list's highlighted row).
  virtual void accessibleFocus(int container, int item) = 0;
};

// Events of the notification-area icon.
enum class TrayEvent { LeftUp = 1, LeftDoubleClick = 2, RightUp = 3 };

// Another program's window, read through window-manager calls only.
struct ForeignWindow {
  std::uint64_t id = 0;  // 0 = none
  explicit operator bool() const { return id != 0; }
  bool operator==(const ForeignWindow&) const = default;
};

// Another program's accessible object (MSAA), read as screen readers and
// automation tools read it. Every call asks the other program and returns
// when it answers, however long that takes: use it off the GUI thread, under
// a bound of the caller's (runBounded). One thread uses one tree.
class ForeignAccessible {
 public:
  // MSAA's roles (ROLE_SYSTEM_*) and state bits (STATE_SYSTEM_*) that the
  // program reads.
  enum Role {
    kRoleWindow = 9, kRoleClient = 10, kRoleApplication = 14, kRoleDocument = 15, kRolePane = 16,
    kRoleGrouping = 20, kRoleToolBar = 22, kRoleText = 42, kRolePushButton = 43, kRoleComboBox = 46,
  };
  enum State : std::uint32_t { kStateFocused = 0x4, kStateInvisible = 0x8000, kStateOffscreen = 0x10000 };

  virtual ~ForeignAccessible() = default;
  // 0 when the call fails.
  virtual int role() = 0;
  virtual std::uint32_t state() = 0;
  // GBK; empty when there is none or the call fails.
  virtual std::string name() = 0;
  virtual std::string value() = 0;
  virtual std::string keyboardShortcut() = 0;
  // At most `most` of its children, in their order; none when it has no
  // children or the call fails.
  virtual std::vector<std::unique_ptr<ForeignAccessible>> children(int most) = 0;
};

// Other programs' windows, asked through the window manager. Every call may
// be made from any thread.
class ForeignWindows {
 public:
  virtual ~ForeignWindows() = default;
  virtual ForeignWindow windowAt(Point screen) = 0;
  virtual ForeignWindow parentOf(ForeignWindow w) = 0;
  virtual std::string classNameOf(ForeignWindow w) = 0;
  // WM_GETTEXTLENGTH then WM_GETTEXT, so that it works across processes.
  virtual std::string textOf(ForeignWindow w) = 0;
  virtual std::vector<ForeignWindow> childrenOf(ForeignWindow w) = 0;
  // Full executable path and file name of the process owning the window.
  virtual std::string processPathOf(ForeignWindow w) = 0;
  virtual std::string processFileNameOf(ForeignWindow w) = 0;
  // The accessible object of the window's client area (WM_GETOBJECT with
  // OBJID_CLIENT, bounded as every send to another program is); none when
  // the window has none or does not answer.
  virtual std::unique_ptr<ForeignAccessible> accessibleOf(ForeignWindow w) = 0;
};

class Platform : public ForeignWindows {
 public:
  ~Platform() override = default;

  // ------------------------------------------------------------ time
  virtual double oleNow() = 0;               // local wall-clock time
  virtual std::int64_t monotonicMs() = 0;

  // Repeating timers on the GUI thread. A period of 0 stops the timer; a
  // timer may change its own period or stop itself from its tick.
  using TimerId = int;
  virtual TimerId createTimer(std::function<void()> tick) = 0;
  virtual void setTimerPeriod(TimerId id, int periodMs) = 0;
  virtual int timerPeriod(TimerId id) const = 0;

  // Lets pending window messages (input, timers, painting) run now.
  virtual void processPendingMessages() = 0;
  // Runs `f` on the GUI thread soon; callable from any thread.
  virtual void post(std::function<void()> f) = 0;

  // ------------------------------------------------------------ windows
  virtual std::unique_ptr<HostWindow> createWindow(const WindowOptions& options) = 0;
  virtual Point screenSize() = 0;
  virtual Point cursorPosition() = 0;
  // Confines the pointer to the screen rectangle; nullopt releases it.
  virtual void clipCursor(std::optional<Bounds> screenRect) = 0;
  // The whole screen as it is now, scaled to width x height (opaque); an
  // empty picture when the screen cannot be read.
  virtual canvas::Picture screenSnapshot(int width, int height) = 0;
  virtual canvas::TextRasterizer& textRasterizer() = 0;

  // ------------------------------------------------------------ shell
  // Adds the notification-area icon. It is added again whenever the
  // taskbar is recreated (the shell restarted), and retried while the shell
  // refuses it. False when the first try failed (the retries go on).
  virtual bool addTrayIcon(std::string_view icoBytes, const std::string& tooltip,
                           std::function<void(TrayEvent)> onEvent) = 0;
  virtual void removeTrayIcon() = 0;
  // A balloon tip pointing at a screen point; it closes itself after
  // `timeoutMs` (0 = the system's default).
  virtual void showBalloon(Point at, const std::string& text, int timeoutMs) = 0;
  // A task-modal message box with one OK button; returns when it is closed.
  virtual void messageBox(const std::string& text, const std::string& title) = 0;
  // Plays a WAV held in memory, without waiting for it to finish.
  virtual void playSound(std::string_view wavBytes) = 0;

  // ------------------------------------------------------------ processes
  // Starts a program with the command line; does not wait. False when it
  // could not be started.
  virtual bool launch(const std::string& commandLine) = 0;
  // The default value of HKEY_CLASSES_ROOT "http\shell\open\command"
  // (empty when missing).
  virtual std::string httpOpenCommand() = 0;
  // The executable's first icon drawn at 32 x 32 over white (empty picture
  // when it has none).
  virtual canvas::Picture executableIcon(const std::string& path) = 0;
  virtual void trimWorkingSet() = 0;
  [[noreturn]] virtual void exitProcess(int code) = 0;
  // The directory of the running executable, no trailing separator (GBK).
  virtual std::string runDirectory() = 0;
  // One running copy per `key` (a data folder's path; letter case does not
  // matter). True for the first copy: `onShowRequest` runs on the GUI thread
  // whenever a later copy starts. False when another copy holds the key: it
  // has been asked to show its window, and this copy should end.
  virtual bool claimSingleInstance(const std::string& key, std::function<void()> onShowRequest) = 0;
  // Gives the key up (the copy ends; the process's end does it as well).
  virtual void releaseSingleInstance(const std::string& key) = 0;

  // A system-wide hot key: `onPressed` runs on the GUI thread whenever it is
  // pressed in any program. `keyCode` is a virtual-key code, `modifiers`
  // kCtrl | kShift | kAlt. False when another program holds the key. A new
  // registration replaces the previous one; keyCode 0 only removes it.
  virtual bool registerHotKey(int keyCode, int modifiers, std::function<void()> onPressed) = 0;

  // ------------------------------------------------------------ other windows
  // The object that answers for other programs' windows. It lives as long
  // as its last holder: a read abandoned on a thread of its own (runBounded)
  // holds it and may go on after the platform itself is gone.
  virtual std::shared_ptr<ForeignWindows> foreignWindows() = 0;
  ForeignWindow windowAt(Point screen) final { return foreignWindows()->windowAt(screen); }
  ForeignWindow parentOf(ForeignWindow w) final { return foreignWindows()->parentOf(w); }
  std::string classNameOf(ForeignWindow w) final { return foreignWindows()->classNameOf(w); }
  std::string textOf(ForeignWindow w) final { return foreignWindows()->textOf(w); }
  std::vector<ForeignWindow> childrenOf(ForeignWindow w) final { return foreignWindows()->childrenOf(w); }
  std::string processPathOf(ForeignWindow w) final { return foreignWindows()->processPathOf(w); }
  std::string processFileNameOf(ForeignWindow w) final { return foreignWindows()->processFileNameOf(w); }
  std::unique_ptr<ForeignAccessible> accessibleOf(ForeignWindow w) final { return foreignWindows()->accessibleOf(w); }

  // ------------------------------------------------------------ network
  // One TCP connect, closed at once; waits at most `timeoutMs`.
  virtual bool tcpConnect(const std::string& host, int port, int timeoutMs) = 0;

  // ------------------------------------------------------------ clipboard
  // Joins the clipboard viewer chain with the window and hooks its window
  // procedure; `onChange` runs for every clipboard change while the pointer
  // is not over the program's column (the caller decides) and returns
  // whether the change was handled. Nothing happens when already installed.
  virtual void installClipboardWatcher(HostWindow& w, std::function<void()> onChange) = 0;
  virtual bool clipboardWatcherInstalled() const = 0;
  // Gives the window back its previous window procedure.
  virtual void restoreWindowProcedure() = 0;
  // Leaves the viewer chain (ChangeClipboardChain, then WM_CHANGECBCHAIN to
  // the next viewer).
  virtual void leaveClipboardChain() = 0;
  virtual std::string clipboardText() = 0;
  virtual void setClipboardText(const std::string& text) = 0;

  // ============================================================ work off the GUI thread,
  // HTTP, file dialogs, bounded sends to other programs

  // ------------------------------------------------------------ worker
  // A worker thread whose deliveries run on this GUI thread (worker.h).
  // Destroy it before the platform.
  virtual std::unique_ptr<Worker> createWorker() = 0;

  // ------------------------------------------------------------ HTTP
  // Shared by every thread; each call is bounded by its limits (http.h).
  virtual Http& http() = 0;

  // ------------------------------------------------------------ files
  // Shows the system's open or save dialog (modal to the request's owner)
  // and returns the chosen path (GBK), or nullopt when the user cancels.
  virtual std::optional<std::string> chooseFile(const FileDialogRequest& request) = 0;
  // The user's desktop directory (GBK) with a trailing "\"; empty when the
  // system has none.
  virtual std::string desktopFolder() = 0;

  // ------------------------------------------------------------ sends to other programs
  // Every message the program sends to another program's window (textOf's
  // WM_GETTEXTLENGTH and WM_GETTEXT, the clipboard viewer chain) waits at
  // most this long, and not at all for a window the system already knows to
  // be hung: a hung browser or clipboard viewer reads as an empty text and
  // never hangs the program.
  static constexpr int kForeignSendTimeoutMs = 1000;
};

}  // namespace lh::platform
