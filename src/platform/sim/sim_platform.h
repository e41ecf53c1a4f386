// A headless, deterministic Platform for tests. Time is virtual and moves
// only when the test advances it (timers fire exactly on their periods);
// the screen, the cursor, the registry, other programs' windows, the
// clipboard and the network are fakes the test sets up; launches, sounds,
// balloons and message boxes are recorded. Every call that matters for the
// order of start-up and exit is written to `journal`.
#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <set>
#include <stdexcept>

#include "platform/platform.h"
#include "platform/sim/sim_web.h"
#include "platform/sim/sim_worker.h"

namespace lh::platform::sim {

// exitProcess() throws this, so a test can watch the process "end".
struct ProcessExit : std::runtime_error {
  int code;
  explicit ProcessExit(int c) : std::runtime_error("process exit"), code(c) {}
};

class SimPlatform;
class SimWindow;

// A character's capital as the system's CharUpperBuffW gives it, for the
// characters GBK holds (the rest stay as they are). The simulator compares
// single-instance keys with it, as Windows compares the names of objects.
char16_t upperCasedCharacter(char16_t c);

// An edit box the test types into. One box or one window of the platform
// holds the keyboard focus at a time (SimPlatform::focused,
// SimPlatform::focusedEdit).
class SimEditBox : public EditBox {
 public:
  explicit SimEditBox(const EditOptions& o, SimPlatform* platform = nullptr, SimWindow* owner = nullptr)
      : options(o), bounds_(o.bounds), platform_(platform), owner_(owner) {}
  ~SimEditBox() override;
  std::string text() const override { return text_; }
  void setText(const std::string& t) override;
  void setReadOnly(bool r) override { options.readOnly = r; }
  void setVisible(bool v) override { visible_ = v; }
  bool visible() const override { return visible_; }
  void setBounds(const Bounds& b) override { bounds_ = b; }
  Bounds bounds() const override { return bounds_; }
  void focus() override;
  bool hasFocus() const override;
  void caretToEnd() override {}  // typing always appends here
  // Typing: each key goes through onKeyDown first; Enter in a multi-line box
  // inserts CR LF unless consumed; the byte limit is applied.
  void type(const std::string& t);
  bool pressKey(int keyCode, int modifiers = 0);
  EditOptions options;

 private:
  std::string text_;
  Bounds bounds_;
  bool visible_ = true;
  SimPlatform* platform_;
  SimWindow* owner_;
  bool focused_ = false;  // a box of no platform keeps its own
};

class SimWindow : public HostWindow {
 public:
  SimWindow(SimPlatform& p, const WindowOptions& o);
  ~SimWindow() override;

  void setBounds(const Bounds& b) override;
  Bounds bounds() const override { return bounds_; }
  void setVisible(bool v) override;
  bool visible() const override { return visible_; }
  void present(const std::uint32_t* pixels, int width, int height, const std::vector<canvas::Rect>& dirty) override;
  void presentLayered(const canvas::Picture& premultiplied, int alpha) override;
  void setWindowAlpha(int alpha) override { windowAlpha = alpha; }
  void raise(bool activate) override;
  void setForeground() override;
  void takeFocus() override;
  std::uint64_t nativeId() const override { return id_; }
  std::unique_ptr<EditBox> createEditBox(const EditOptions& options) override {
    return std::make_unique<SimEditBox>(options, &platform_, this);
  }
  void accessibleFocus(int container, int item) override { accessibleFocusEvents.push_back({container, item}); }
  // Every focus event told to assistive programs: (container, item).
  std::vector<std::pair<int, int>> accessibleFocusEvents;

  // What the screen shows of the window (opaque pixels, or the layered
  // picture), for tests.
  std::vector<std::uint32_t> framebuffer;
  canvas::Picture layered;
  int layeredAlpha = 255;
  int windowAlpha = 255;
  int presentCount = 0;
  const WindowOptions options;

  // Input, as the window manager would deliver it. A left press within
  // kDoubleClickMs of the previous left press and at most 4 pixels from it
  // (virtual time, same window) is reported as a double click instead of a
  // press, as the system does; the press after that starts a new pair.
  static constexpr int kDoubleClickMs = 500;
  void press(int x, int y, MouseButton b = MouseButton::Left);
  void release(int x, int y, MouseButton b = MouseButton::Left);
  void move(int x, int y, bool leftHeld = false);
  // A move to the point, a press and a release.
  void click(int x, int y, MouseButton b = MouseButton::Left);
  // Two clicks at the point with no time between them.
  void doubleClick(int x, int y);
  // The pointer leaves the window.
  void leave();
  // Another window takes the pointer's capture (a button may be held).
  void loseCapture() {
    if (events.captureLost) events.captureLost();
  }
  void requestClose();
  // A key pressed while the window (not one of its edit boxes) has the
  // focus: the key-down, then the character it types, if any (as
  // TranslateMessage makes one: printable ASCII without Ctrl or Alt).
  void key(int keyCode, int modifiers = 0);
  // A character typed (from an input method, for example) with no key.
  void typeCharacter(const std::string& gbkCharacter) {
    if (events.character) events.character(gbkCharacter);
  }
  // What an assistive program reads now.
  AccessibleNode accessibleTree() const { return events.accessibleTree ? events.accessibleTree() : AccessibleNode{}; }

 private:
  SimPlatform& platform_;
  std::uint64_t id_;
  Bounds bounds_;
  bool visible_ = false;
  std::int64_t lastPressMs_ = -1000000;
  Point lastPress_{-100, -100};
  bool pairOpen_ = false;
};

// An accessible object of a fake window's tree, shaped as browsers shape
// theirs.
struct FakeAccessible {
  int role = 0;
  std::uint32_t state = 0;
  std::string name, value, shortcut;
  std::vector<std::shared_ptr<FakeAccessible>> children;
  // Its program stops answering once it is asked anything of this object:
  // every call fails (the read's bound ends it).
  bool hangs = false;
};

struct FakeWindow {
  std::uint64_t parent = 0;
  std::string className, text, processPath, processFileName;
  Bounds screenBounds;  // where it answers windowAt
  // A window whose thread does not answer: messages sent to it time out and
  // its text reads as empty.
  bool hung = false;
  // A window whose program is stuck without the system noticing: a send to
  // it (its text) blocks, whatever the time-out, until this is set.
  std::shared_ptr<std::atomic<bool>> stuckUntil;
  // What it answers WM_GETOBJECT with (none: no accessible tree).
  std::shared_ptr<FakeAccessible> accessible;
};

// Other programs' windows as the simulator plays them. Shared with the reads
// that run on threads of their own, which may outlive the platform.
class SimForeignWindows final : public ForeignWindows, public std::enable_shared_from_this<SimForeignWindows> {
 public:
  std::map<std::uint64_t, FakeWindow> windows;
  std::atomic<int> sendTimeouts{0}, accessibleCalls{0}, accessibleHangs{0};

  ForeignWindow windowAt(Point screen) override;
  ForeignWindow parentOf(ForeignWindow w) override;
  std::string classNameOf(ForeignWindow w) override;
  std::string textOf(ForeignWindow w) override;
  std::vector<ForeignWindow> childrenOf(ForeignWindow w) override;
  std::string processPathOf(ForeignWindow w) override;
  std::string processFileNameOf(ForeignWindow w) override;
  std::unique_ptr<ForeignAccessible> accessibleOf(ForeignWindow w) override;
};


class SimPlatform : public Platform {
 public:
  SimPlatform();

  // ------------------------------------------------ test controls
  std::vector<std::string> journal;
  // Called with every journal line as it is written.
  std::function<void(const std::string&)> onJournal;
  void note(const std::string& line) {
    journal.push_back(line);
    if (onJournal) onJournal(line);
  }
  // Advances the virtual clock, firing timers in order of their due times.
  void advance(std::int64_t ms);
  double oleEpoch = 46000.0;  // the OLE date at virtual time 0
  Point screen{1920, 1080};
  Point cursor{0, 0};
  std::optional<Bounds> cursorClip;
  std::string registryHttpCommand;
  std::map<std::string, canvas::Picture> icons;  // executable path -> icon
  std::string runDir = "C:\\Linkhoard";
  bool tcpSucceeds = false;
  int tcpDelayMs = 1;
  bool launchSucceeds = true;
  std::vector<std::string> launches;
  std::vector<std::size_t> sounds;  // sizes of the WAVs played
  struct Balloon {
    Point at;
    std::string text;
    int timeoutMs;
  };
  std::vector<Balloon> balloons;
  std::vector<std::pair<std::string, std::string>> messageBoxes;  // text, title
  std::function<void()> onMessageBox;  // runs while the box is "open"
  int processPendingCalls = 0;
  // Runs at the start of every processPendingMessages (as a message
  // arriving while long work lets them through): a test watches or acts
  // in the middle of the work.
  std::function<void()> eachPump;
  int trimCalls = 0;
  struct Tray {
    bool present = false;
    std::string tooltip;
    std::size_t iconBytes = 0;
    std::function<void(TrayEvent)> onEvent;
  } tray;
  std::vector<SimWindow*> windows;  // z-order, bottom first
  SimWindow* foreground = nullptr;
  // The window holding the keyboard focus, and the edit box of it that
  // does (none: the window itself).
  SimWindow* focused = nullptr;
  SimEditBox* focusedEdit = nullptr;
  // A key pressed where the keyboard focus is: into the focused edit box
  // (a printable character the box does not consume is typed), or to the
  // focused window.
  void pressKey(int keyCode, int modifiers = 0);

  std::uint64_t addForeignWindow(const FakeWindow& w);
  // (First: the references below are into it.)
  std::shared_ptr<SimForeignWindows> foreignWindows_ = std::make_shared<SimForeignWindows>();
  std::map<std::uint64_t, FakeWindow>& foreign = foreignWindows_->windows;
  void copyText(const std::string& text);  // as another program copying

  // ------------------------------------------------ Platform
  double oleNow() override { return oleEpoch + static_cast<double>(now_) / 86400000.0; }
  std::int64_t monotonicMs() override { return now_; }
  TimerId createTimer(std::function<void()> tick) override;
  void setTimerPeriod(TimerId id, int periodMs) override;
  int timerPeriod(TimerId id) const override;
  void processPendingMessages() override;
  void post(std::function<void()> f) override { posted_.push_back(std::move(f)); }

  std::unique_ptr<HostWindow> createWindow(const WindowOptions& options) override;
  Point screenSize() override { return screen; }
  Point cursorPosition() override { return cursor; }
  // The fake screen is one grey; each snapshot is counted.
  canvas::Picture screenSnapshot(int width, int height) override;
  int snapshots = 0;
  void clipCursor(std::optional<Bounds> r) override;
  canvas::TextRasterizer& textRasterizer() override { return raster_; }

  bool addTrayIcon(std::string_view icoBytes, const std::string& tooltip,
                   std::function<void(TrayEvent)> onEvent) override;
  // The shell restarted: the icon is gone until the program adds it again.
  void recreateTaskbar();
  bool traySucceeds = true;
  void removeTrayIcon() override;
  void showBalloon(Point at, const std::string& text, int timeoutMs) override;
  void messageBox(const std::string& text, const std::string& title) override;
  void playSound(std::string_view wavBytes) override;

  bool launch(const std::string& commandLine) override;
  std::string httpOpenCommand() override;
  canvas::Picture executableIcon(const std::string& path) override;
  void trimWorkingSet() override;
  [[noreturn]] void exitProcess(int code) override;
  std::string runDirectory() override { return runDir; }
  bool claimSingleInstance(const std::string& key, std::function<void()> onShowRequest) override;
  void releaseSingleInstance(const std::string& key) override;
  // The copies running on this machine, by key (upper case).
  std::map<std::string, std::function<void()>> instances;

  std::shared_ptr<ForeignWindows> foreignWindows() override { return foreignWindows_; }
  // Calls made on other programs' accessible objects, and those that met a
  // program that stopped answering.
  std::atomic<int>& accessibleCalls = foreignWindows_->accessibleCalls;
  std::atomic<int>& accessibleHangs = foreignWindows_->accessibleHangs;

  bool tcpConnect(const std::string& host, int port, int timeoutMs) override;

  void installClipboardWatcher(HostWindow& w, std::function<void()> onChange) override;
  bool clipboardWatcherInstalled() const override { return watcherInstalled_; }
  void restoreWindowProcedure() override;
  void leaveClipboardChain() override;
  std::string clipboardText() override { return clipboard_; }
  void setClipboardText(const std::string& text) override;

  bool registerHotKey(int keyCode, int modifiers, std::function<void()> onPressed) override;
  // Hot keys other programs hold ((key, modifiers)), and the one held here.
  std::set<std::pair<int, int>> hotKeysTaken;
  std::pair<int, int> hotKey{0, 0};
  // The hot key pressed in some program: false when it is not ours.
  bool pressHotKey(int keyCode, int modifiers);

  // ------------------------------------------------ worker, web, file dialogs, hung windows
  SimWeb web;
  std::vector<SimWorker*> workers;  // alive, in order of creation
  // Runs the waiting job of every worker (in order of creation); their
  // deliveries arrive at the next processPendingMessages. Returns how many ran.
  int runWorkers();
  // The answers the dialogs give, in order: a path, or nullopt for Cancel.
  // A dialog with no answer left is cancelled.
  std::deque<std::optional<std::string>> fileDialogAnswers;
  std::vector<FileDialogRequest> fileDialogs;  // every dialog shown
  std::string desktop = "C:\\Users\\user\\Desktop\\";
  // Sends to hung windows (each cost kForeignSendTimeoutMs).
  std::atomic<int>& foreignSendTimeouts = foreignWindows_->sendTimeouts;

  std::unique_ptr<Worker> createWorker() override;
  Http& http() override { return web; }
  std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
  std::string desktopFolder() override { return desktop; }

 private:
  friend class SimWindow;
  struct Timer {
    std::function<void()> tick;
    int period = 0;
    std::int64_t due = 0;
  };
  std::vector<Timer> timers_;
  std::vector<std::function<void()>> posted_;
  std::int64_t now_ = 0;
  canvas::FixedWidthRasterizer raster_;
  std::uint64_t nextWindowId_ = 0x1000;
  bool watcherInstalled_ = false;
  std::function<void()> onClipboardChange_;
  std::string clipboard_;
  std::string trayIcon_;
  std::function<void()> onHotKey_;
};

}  // namespace lh::platform::sim
