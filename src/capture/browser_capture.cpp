#include "capture/browser_capture.h"

#include <utility>
#include <vector>

#include "text/gbk.h"
#include "text/rules.h"

namespace lh::capture {

namespace {

// Window trees are finite, but another program's windows can change while
// they are walked: bounds keep a walk from going on for ever.
constexpr int kMaxParents = 256;
constexpr int kMaxWindowsWalked = 20000;

}  // namespace

platform::ForeignWindow topLevelOf(platform::Platform& platform, platform::ForeignWindow w) {
  platform::ForeignWindow top = w;
  for (int i = 0; top && i < kMaxParents; ++i) {
    const platform::ForeignWindow parent = platform.parentOf(top);
    if (!parent || parent == top) break;
    top = parent;
  }
  return top;
}

std::string findText(platform::Platform& platform, platform::ForeignWindow parent, const std::string& wanted) {
  if (!parent || wanted.empty()) return {};
  // An explicit stack of (children, next index): depth first, in the order
  // the system lists each window's children.
  struct Frame {
    std::vector<platform::ForeignWindow> children;
    std::size_t next = 0;
  };
  std::vector<Frame> stack;
  stack.push_back({platform.childrenOf(parent), 0});
  int walked = 0;
  while (!stack.empty() && walked < kMaxWindowsWalked) {
    Frame& f = stack.back();
    if (f.next >= f.children.size()) {
      stack.pop_back();
      continue;
    }
    const platform::ForeignWindow child = f.children[f.next++];
    ++walked;
    if (platform.classNameOf(child) == wanted) return platform.textOf(child);
    stack.push_back({platform.childrenOf(child), 0});  // `f` is not used after this
  }
  return {};
}

std::string addressWindowClass(const std::string& topClass, const std::string& configured) {
  static const std::pair<const char*, const char*> kTable[] = {
      {"Chrome_WidgetWin_1", nullptr},  // the settings' class
      {"Chrome_WidgetWin_0", "Chrome_OmniboxView"},
      {"SE_SogouExplorerFrame", "SE_TuotuoAddressBarEditCtrl"},
      {"IEFrame", "Edit"},
      {"QQBrowserMainFrame", "QQBrowserCoreRichEdit"},
  };
  std::string wanted;
  for (const auto& [top, address] : kTable) {
    if (topClass == top) wanted = address ? address : configured;
  }
  return wanted;
}

BrowserCapture::BrowserCapture(platform::Platform& platform, ui::Busy& busy, Hooks hooks)
    : platform_(platform), busy_(busy), hooks_(std::move(hooks)) {
  busy_.onChange.push_back([this](bool busy) {
    if (busy || waiting_.empty()) return;
    auto waiting = std::move(waiting_);
    waiting_.clear();
    for (auto& f : waiting) f();
  });
}

void BrowserCapture::whenIdle(std::function<void()> f) {
  if (busy_.busy()) {
    waiting_.push_back(std::move(f));
  } else {
    f();
  }
}

void BrowserCapture::noBrowser() { platform_.showBalloon(platform_.cursorPosition(), "未检测到浏览器", 0); }

void BrowserCapture::captureFromBrowser() {
  // The browser is read now, as the user sees it; only the store change may
  // have to wait.
  const platform::ForeignWindow w = platform_.windowAt(hooks_.pointToCapture());
  const std::string pointClass = w ? platform_.classNameOf(w) : std::string();
  const platform::ForeignWindow top = topLevelOf(platform_, w);
  const std::string title = top ? platform_.textOf(top) : std::string();
  const std::string topClass = top ? platform_.classNameOf(top) : std::string();
  const std::string wanted = addressWindowClass(topClass, hooks_.configuredClass ? hooks_.configuredClass() : "");
  const std::string address = wanted.empty() ? std::string() : findText(platform_, top, wanted);
  std::string text = address + "\r\n" + title;
  // A Chromium address bar shows addresses without their scheme.
  if (pointClass.find("Chrome") != std::string::npos) text = text::completeScheme(text);
  const std::vector<std::string> pieces = text::split(text, "\r\n");
  whenIdle([this, pieces] {
    if (!pieces.empty() && hooks_.recycleExisting && hooks_.recycleExisting(pieces[0])) return;
    if (pieces.size() == 2) {
      addCapturedBookmark(pieces[1], pieces[0], "");
    } else {
      noBrowser();  // the title was empty or held a line break itself
    }
  });
}

void BrowserCapture::captureAddress(const std::string& title, const std::string& address) {
  whenIdle([this, title, address] {
    if (hooks_.recycleExisting && hooks_.recycleExisting(address)) return;
    addCapturedBookmark(title, address, "");
  });
}

void BrowserCapture::addCapturedBookmark(const std::string& title, const std::string& address,
                                         const std::string& note) {
  if (address.empty()) {
    noBrowser();
    return;
  }
  whenIdle([this, title, address, note] {
    if (hooks_.addBookmark && hooks_.addBookmark(title, address, note) > 0 && hooks_.showThumbnail) {
      hooks_.showThumbnail();
    }
  });
}

}  // namespace lh::capture
