#include "platform/sim/sim_platform.h"

#include <thread>

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include <algorithm>

#include "text/codepage.h"
#include "text/gbk.h"

namespace lh::platform::sim {

// ------------------------------------------------------------ edit boxes

void SimEditBox::setText(const std::string& t) {
  // As the native box, which cuts on every change, a text set by the
  // program included: whole characters only.
  text_ = options.maxBytes > 0 && t.size() > static_cast<std::size_t>(options.maxBytes)
              ? std::string(text::cutAtBoundary(t, static_cast<std::size_t>(options.maxBytes)))
              : t;
  if (onChange) onChange();
}

void SimEditBox::type(const std::string& t) {
  if (options.readOnly) return;
  setText(text_ + t);
}

SimEditBox::~SimEditBox() {
  if (platform_ && platform_->focusedEdit == this) platform_->focusedEdit = nullptr;
}

void SimEditBox::focus() {
  focused_ = true;
  if (!platform_) return;
  platform_->focusedEdit = this;
  platform_->focused = owner_;
}

bool SimEditBox::hasFocus() const { return platform_ ? platform_->focusedEdit == this : focused_; }

bool SimEditBox::pressKey(int keyCode, int modifiers) {
  if (onKeyDown && onKeyDown(keyCode, modifiers)) return true;
  if (keyCode == 13 && options.multiLine) type("\r\n");
  return false;
}

// ------------------------------------------------------------ windows

SimWindow::SimWindow(SimPlatform& p, const WindowOptions& o)
    : options(o), platform_(p), id_(p.nextWindowId_++), bounds_(o.bounds) {
  platform_.windows.push_back(this);
  framebuffer.assign(static_cast<std::size_t>(std::max(0, bounds_.width)) * std::max(0, bounds_.height), 0);
}

SimWindow::~SimWindow() {
  auto& w = platform_.windows;
  w.erase(std::remove(w.begin(), w.end(), this), w.end());
  if (platform_.foreground == this) platform_.foreground = nullptr;
  if (platform_.focused == this) platform_.focused = nullptr;
}

void SimWindow::setBounds(const Bounds& b) {
  const bool moved = b.left != bounds_.left || b.top != bounds_.top;
  if (b.width != bounds_.width || b.height != bounds_.height) {
    framebuffer.assign(static_cast<std::size_t>(std::max(0, b.width)) * std::max(0, b.height), 0);
  }
  bounds_ = b;
  // Like the window manager: a move raises the position-changed event.
  if (moved && events.moved) events.moved(b.left, b.top);
}

void SimWindow::setVisible(bool v) {
  if (v != visible_) platform_.note((v ? "show " : "hide ") + options.title);
  visible_ = v;
}

void SimWindow::present(const std::uint32_t* pixels, int width, int height, const std::vector<canvas::Rect>& dirty) {
  ++presentCount;
  if (width != bounds_.width || height != bounds_.height) {
    framebuffer.assign(static_cast<std::size_t>(width) * height, 0);
  }
  for (const canvas::Rect& r : dirty) {
    const canvas::Rect c = r.intersect({0, 0, width, height});
    for (int y = c.top; y < c.bottom; ++y) {
      std::copy(pixels + static_cast<std::size_t>(y) * width + c.left, pixels + static_cast<std::size_t>(y) * width + c.right,
                framebuffer.begin() + static_cast<std::ptrdiff_t>(y) * width + c.left);
    }
  }
}

void SimWindow::presentLayered(const canvas::Picture& premultiplied, int alpha) {
  ++presentCount;
  layered = premultiplied;
  layeredAlpha = alpha;
}

void SimWindow::raise(bool activate) {
  auto& w = platform_.windows;
  w.erase(std::remove(w.begin(), w.end(), this), w.end());
  w.push_back(this);
  if (activate) platform_.foreground = this;
}

void SimWindow::setForeground() {
  raise(true);
}

void SimWindow::takeFocus() {
  platform_.focused = this;
  platform_.focusedEdit = nullptr;
}

void SimWindow::press(int x, int y, MouseButton b) {
  if (b == MouseButton::Left) {
    const std::int64_t now = platform_.monotonicMs();
    const bool second = pairOpen_ && now - lastPressMs_ <= kDoubleClickMs && std::abs(x - lastPress_.x) <= 4 &&
                        std::abs(y - lastPress_.y) <= 4;
    lastPressMs_ = now;
    lastPress_ = {x, y};
    pairOpen_ = !second;
    if (second) {
      if (events.doubleClick) events.doubleClick(x, y);
      return;
    }
  }
  if (events.buttonDown) events.buttonDown(b, x, y);
}

void SimWindow::release(int x, int y, MouseButton b) {
  if (events.buttonUp) events.buttonUp(b, x, y);
}

void SimWindow::move(int x, int y, bool leftHeld) {
  if (events.pointerMove) events.pointerMove(x, y, leftHeld);
}

void SimWindow::click(int x, int y, MouseButton b) {
  move(x, y);
  press(x, y, b);
  release(x, y, b);
}

void SimWindow::doubleClick(int x, int y) {
  click(x, y);
  click(x, y);
}

void SimWindow::leave() {
  if (events.pointerLeave) events.pointerLeave();
}

void SimWindow::requestClose() {
  if (events.closeRequested) events.closeRequested();
}

// ------------------------------------------------------------ platform

SimPlatform::SimPlatform() = default;

void SimPlatform::advance(std::int64_t ms) {
  const std::int64_t target = now_ + ms;
  for (;;) {
    // The earliest due timer; ties go to the one created first.
    int next = -1;
    for (std::size_t i = 0; i < timers_.size(); ++i) {
      const Timer& t = timers_[i];
      if (t.period > 0 && t.due <= target && (next < 0 || t.due < timers_[static_cast<std::size_t>(next)].due)) {
        next = static_cast<int>(i);
      }
    }
    if (next < 0) break;
    Timer& t = timers_[static_cast<std::size_t>(next)];
    now_ = t.due;
    t.due += t.period;
    auto tick = t.tick;  // the tick may create timers (reallocating the list)
    tick();
    processPendingMessages();
  }
  now_ = target;
}

Platform::TimerId SimPlatform::createTimer(std::function<void()> tick) {
  timers_.push_back(Timer{std::move(tick), 0, 0});
  return static_cast<TimerId>(timers_.size());
}

void SimPlatform::setTimerPeriod(TimerId id, int periodMs) {
  if (id < 1 || static_cast<std::size_t>(id) > timers_.size()) return;
  Timer& t = timers_[static_cast<std::size_t>(id - 1)];
  t.period = std::max(0, periodMs);
  t.due = now_ + t.period;
}

int SimPlatform::timerPeriod(TimerId id) const {
  if (id < 1 || static_cast<std::size_t>(id) > timers_.size()) return 0;
  return timers_[static_cast<std::size_t>(id - 1)].period;
}

void SimPlatform::processPendingMessages() {
  ++processPendingCalls;
  if (eachPump) eachPump();
  while (!posted_.empty()) {
    auto batch = std::move(posted_);
    posted_.clear();
    for (auto& f : batch) f();
  }
}

std::unique_ptr<HostWindow> SimPlatform::createWindow(const WindowOptions& options) {
  note("create " + options.title);
  return std::make_unique<SimWindow>(*this, options);
}

void SimPlatform::clipCursor(std::optional<Bounds> r) {
  cursorClip = r;
  if (r) {
    cursor.x = std::clamp(cursor.x, r->left, r->left + r->width - 1);
    cursor.y = std::clamp(cursor.y, r->top, r->top + r->height - 1);
  }
}

bool SimPlatform::addTrayIcon(std::string_view icoBytes, const std::string& tooltip,
                              std::function<void(TrayEvent)> onEvent) {
  note("tray add");
  tray = Tray{traySucceeds, tooltip, icoBytes.size(), std::move(onEvent)};
  trayIcon_ = std::string(icoBytes);
  return traySucceeds;
}

void SimPlatform::recreateTaskbar() {
  tray.present = false;
  // As the Windows platform does on "TaskbarCreated": the icon the program
  // added (and did not remove) is added again.
  if (!trayIcon_.empty()) {
    note("tray add");
    tray.present = traySucceeds;
  }
}

void SimPlatform::removeTrayIcon() {
  note("tray remove");
  tray.present = false;
  trayIcon_.clear();
}

char16_t upperCasedCharacter(char16_t c) {
  // The letters GBK holds that have a capital: ASCII and the Latin-1 ones,
  // full-width Latin, Greek, Cyrillic and small Roman numerals by their
  // fixed distance, the pinyin vowels with tone marks in pairs, and two IPA
  // letters.
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0xFF41 && c <= 0xFF5A) ||
      (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F)) {
    return static_cast<char16_t>(c - 0x20);
  }
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  if (c >= 0x2170 && c <= 0x217F) return static_cast<char16_t>(c - 0x10);
  switch (c) {
    case 0x3C2: return 0x3A3;
    case 0x101: case 0x113: case 0x11B: case 0x12B: case 0x14D: case 0x16B:
    case 0x144: case 0x148: case 0x1CE: case 0x1D0: case 0x1D2: case 0x1D4:
    case 0x1D6: case 0x1D8: case 0x1DA: case 0x1DC:
      return static_cast<char16_t>(c - 1);
    case 0x251: return 0x2C6D;
    case 0x261: return 0xA7AC;
    default: return c;
  }
}

namespace {

// The key as the system compares names of its objects: upper-cased as
// CharUpperBuffW does, for every character GBK holds. Kept in UTF-16 (many
// capitals, such as that of á, are not in GBK), written out as hex digits.
std::string instanceKey(const std::string& key) {
  std::string out;
  for (char16_t c : text::gbkToUtf16(key)) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "%04x", static_cast<unsigned>(upperCasedCharacter(c)));
    out += hex;
  }
  return out;
}

}  // namespace

void SimPlatform::releaseSingleInstance(const std::string& key) { instances.erase(instanceKey(key)); }

bool SimPlatform::claimSingleInstance(const std::string& key, std::function<void()> onShowRequest) {
  const std::string k = instanceKey(key);
  note("instance " + k);
  auto it = instances.find(k);
  if (it != instances.end()) {
    if (it->second) it->second();
    return false;
  }
  instances[k] = std::move(onShowRequest);
  return true;
}

void SimPlatform::showBalloon(Point at, const std::string& text, int timeoutMs) {
  note("balloon " + text);
  balloons.push_back({at, text, timeoutMs});
}

void SimPlatform::messageBox(const std::string& text, const std::string& title) {
  note("message " + text);
  messageBoxes.emplace_back(text, title);
  if (onMessageBox) onMessageBox();
}

void SimPlatform::playSound(std::string_view wavBytes) {
  note("sound");
  sounds.push_back(wavBytes.size());
}

bool SimPlatform::launch(const std::string& commandLine) {
  note("launch " + commandLine);
  launches.push_back(commandLine);
  return launchSucceeds;
}

std::string SimPlatform::httpOpenCommand() {
  note("registry");
  return registryHttpCommand;
}

canvas::Picture SimPlatform::executableIcon(const std::string& path) {
  const auto it = icons.find(path);
  return it == icons.end() ? canvas::Picture{} : it->second;
}

void SimPlatform::trimWorkingSet() { ++trimCalls; }

void SimPlatform::exitProcess(int code) {
  note("exit");
  throw ProcessExit(code);
}

std::uint64_t SimPlatform::addForeignWindow(const FakeWindow& w) {
  const std::uint64_t id = nextWindowId_++;
  foreign[id] = w;
  return id;
}

ForeignWindow SimForeignWindows::windowAt(Point p) {
  // The deepest fake window containing the point, the last added winning.
  std::uint64_t best = 0;
  int bestDepth = -1;
  for (const auto& [id, w] : windows) {
    const Bounds& b = w.screenBounds;
    if (p.x < b.left || p.y < b.top || p.x >= b.left + b.width || p.y >= b.top + b.height) continue;
    int depth = 0;
    for (std::uint64_t a = w.parent; a && windows.count(a); a = windows[a].parent) ++depth;
    if (depth >= bestDepth) {
      best = id;
      bestDepth = depth;
    }
  }
  return ForeignWindow{best};
}

ForeignWindow SimForeignWindows::parentOf(ForeignWindow w) {
  const auto it = windows.find(w.id);
  return ForeignWindow{it == windows.end() ? 0 : it->second.parent};
}

std::string SimForeignWindows::classNameOf(ForeignWindow w) {
  const auto it = windows.find(w.id);
  return it == windows.end() ? std::string() : it->second.className;
}

std::string SimForeignWindows::textOf(ForeignWindow w) {
  const auto it = windows.find(w.id);
  if (it == windows.end()) return {};
  if (it->second.hung) {
    ++sendTimeouts;  // WM_GETTEXTLENGTH timed out: WM_GETTEXT is not sent
    return {};
  }
  // (Copied: the map may change while the send waits.)
  const std::shared_ptr<std::atomic<bool>> stuck = it->second.stuckUntil;
  std::string text = it->second.text;
  while (stuck && !*stuck) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return text;
}

std::vector<ForeignWindow> SimForeignWindows::childrenOf(ForeignWindow w) {
  std::vector<ForeignWindow> out;
  for (const auto& [id, f] : windows) {
    if (f.parent == w.id && w.id != 0) out.push_back(ForeignWindow{id});
  }
  return out;
}

std::string SimForeignWindows::processPathOf(ForeignWindow w) {
  const auto it = windows.find(w.id);
  return it == windows.end() ? std::string() : it->second.processPath;
}

std::string SimForeignWindows::processFileNameOf(ForeignWindow w) {
  const auto it = windows.find(w.id);
  return it == windows.end() ? std::string() : it->second.processFileName;
}

namespace {

class SimAccessible : public ForeignAccessible {
 public:
  SimAccessible(std::shared_ptr<SimForeignWindows> windows, std::shared_ptr<FakeAccessible> node)
      : windows_(std::move(windows)), node_(std::move(node)) {}
  int role() override { return answers() ? node_->role : 0; }
  std::uint32_t state() override { return answers() ? node_->state : 0; }
  std::string name() override { return answers() ? node_->name : std::string(); }
  std::string value() override { return answers() ? node_->value : std::string(); }
  std::string keyboardShortcut() override { return answers() ? node_->shortcut : std::string(); }
  std::vector<std::unique_ptr<ForeignAccessible>> children(int most) override {
    std::vector<std::unique_ptr<ForeignAccessible>> out;
    if (!answers()) return out;
    for (const auto& c : node_->children) {
      if (static_cast<int>(out.size()) >= most) break;
      out.push_back(std::make_unique<SimAccessible>(windows_, c));
    }
    return out;
  }

 private:
  bool answers() {
    ++windows_->accessibleCalls;
    if (!node_->hangs) return true;
    ++windows_->accessibleHangs;
    return false;
  }
  std::shared_ptr<SimForeignWindows> windows_;
  std::shared_ptr<FakeAccessible> node_;
};

}  // namespace

std::unique_ptr<ForeignAccessible> SimForeignWindows::accessibleOf(ForeignWindow w) {
  const auto it = windows.find(w.id);
  if (it == windows.end()) return nullptr;
  if (it->second.hung) {
    ++sendTimeouts;  // WM_GETOBJECT timed out
    return nullptr;
  }
  if (!it->second.accessible) return nullptr;
  return std::make_unique<SimAccessible>(shared_from_this(), it->second.accessible);
}

bool SimPlatform::tcpConnect(const std::string& host, int port, int timeoutMs) {
  note("connect " + host + ":" + std::to_string(port));
  now_ += std::min(tcpDelayMs, timeoutMs);
  return tcpSucceeds;
}

void SimPlatform::installClipboardWatcher(HostWindow& w, std::function<void()> onChange) {
  if (watcherInstalled_) return;
  note("clipboard watcher");
  watcherInstalled_ = true;
  onClipboardChange_ = std::move(onChange);
}

void SimPlatform::restoreWindowProcedure() { note("restore window procedure"); }

void SimPlatform::leaveClipboardChain() {
  note("leave clipboard chain");
  watcherInstalled_ = false;
  onClipboardChange_ = nullptr;
}

void SimPlatform::setClipboardText(const std::string& text) { clipboard_ = text; }

void SimPlatform::copyText(const std::string& text) {
  clipboard_ = text;
  if (watcherInstalled_ && onClipboardChange_) onClipboardChange_();
}

// ------------------------------------------------------------ worker, file dialogs

std::unique_ptr<Worker> SimPlatform::createWorker() {
  auto w = std::make_unique<SimWorker>([this](std::function<void()> f) { post(std::move(f)); },
                                       [this](SimWorker* gone) {
                                         workers.erase(std::remove(workers.begin(), workers.end(), gone),
                                                       workers.end());
                                       });
  workers.push_back(w.get());
  return w;
}

int SimPlatform::runWorkers() {
  int ran = 0;
  // A job may start another worker's job: take a copy of the list first.
  const std::vector<SimWorker*> now = workers;
  for (SimWorker* w : now) {
    if (std::find(workers.begin(), workers.end(), w) != workers.end() && w->runPending()) ++ran;
  }
  return ran;
}

std::optional<std::string> SimPlatform::chooseFile(const FileDialogRequest& request) {
  note(request.kind == FileDialogRequest::Kind::Save ? "save dialog" : "open dialog");
  fileDialogs.push_back(request);
  if (fileDialogAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(fileDialogAnswers.front());
  fileDialogAnswers.pop_front();
  return answer;
}

canvas::Picture SimPlatform::screenSnapshot(int width, int height) {
  ++snapshots;
  canvas::Picture p;
  if (width <= 0 || height <= 0) return p;
  p.width = width;
  p.height = height;
  p.alpha = canvas::Alpha::Premultiplied;
  p.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0xFF808080u);
  return p;
}


// The character a key types (as TranslateMessage makes one: printable
// ASCII without Ctrl or Alt); 0 for none.
static char typedCharacter(int keyCode, int modifiers) {
  if ((modifiers & (kCtrl | kAlt)) != 0) return 0;
  if (keyCode == ' ' || (keyCode >= '0' && keyCode <= '9')) return static_cast<char>(keyCode);
  if (keyCode >= 'A' && keyCode <= 'Z') return static_cast<char>((modifiers & kShift) ? keyCode : keyCode + ('a' - 'A'));
  return 0;
}

void SimPlatform::pressKey(int keyCode, int modifiers) {
  if (focusedEdit) {
    const char c = typedCharacter(keyCode, modifiers);
    if (!focusedEdit->pressKey(keyCode, modifiers) && c != 0) focusedEdit->type(std::string(1, c));
    return;
  }
  if (focused) focused->key(keyCode, modifiers);
}

void SimWindow::key(int keyCode, int modifiers) {
  if (events.keyDown) events.keyDown(keyCode, modifiers);
  const char c = typedCharacter(keyCode, modifiers);
  if (c != 0 && events.character) events.character(std::string(1, c));
}

bool SimPlatform::registerHotKey(int keyCode, int modifiers, std::function<void()> onPressed) {
  hotKey = {0, 0};
  onHotKey_ = nullptr;
  if (keyCode == 0) return true;
  if (hotKeysTaken.count({keyCode, modifiers}) != 0) return false;
  hotKey = {keyCode, modifiers};
  onHotKey_ = std::move(onPressed);
  return true;
}

bool SimPlatform::pressHotKey(int keyCode, int modifiers) {
  if (hotKey != std::pair<int, int>{keyCode, modifiers} || !onHotKey_) return false;
  onHotKey_();
  return true;
}

}  // namespace lh::platform::sim
