#include "capture/page_reader.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "text/gbk.h"
#include "text/rules.h"

namespace lh::capture {

using platform::ForeignAccessible;

namespace {

// Window trees are finite, but another program's windows can change while
// they are walked: bounds keep a walk from going on for ever.
constexpr int kMaxParents = 256;
constexpr int kMaxWindowsWalked = 20000;

bool stopped(const platform::CancelFlag* stop) { return stop && stop->raised(); }

// The roles a walk goes into: the browser's own interface. A document (the
// page) is never entered.
bool isContainer(int role) {
  switch (role) {
    case ForeignAccessible::kRoleApplication:
    case ForeignAccessible::kRoleWindow:
    case ForeignAccessible::kRoleClient:
    case ForeignAccessible::kRolePane:
    case ForeignAccessible::kRoleGrouping:
    case ForeignAccessible::kRoleToolBar:
    case ForeignAccessible::kRoleComboBox:
      return true;
    default:
      return false;
  }
}

// ASCII letters compared without case; other bytes as they are.
bool equalsCaseless(std::string_view a, std::string_view b) {
  return a.size() == b.size() && text::matchesCaselessAt(a, 0, b);
}

// The names browsers give their address bars (Chromium's in English and
// Chinese, Firefox's, the older ones').
bool isAddressBarName(std::string_view name) {
  static constexpr std::string_view kNames[] = {
      "Address and search bar", "地址和搜索栏", "Search or enter address", "搜索或输入网址",
      "Search with Google or enter address", "使用 Google 搜索，或者输入网址", "Address bar", "地址栏",
      "Address", "地址",
  };
  for (std::string_view n : kNames) {
    if (equalsCaseless(name, n)) return true;
  }
  return false;
}

// The site-information button beside the bar says so of a page without
// https ("Not secure", or the mark followed by more words).
bool saysNotSecure(std::string_view name) {
  for (std::string_view mark : {std::string_view("Not secure"), std::string_view("不安全")}) {
    if (name.size() >= mark.size() && equalsCaseless(name.substr(0, mark.size()), mark)) return true;
  }
  return false;
}

struct Candidate {
  std::string value;
  bool focused = false;
  int rank = 0;  // 0: "Ctrl+L", 1: a known name, 2: any other
  int container = 0;
};

}  // namespace

platform::ForeignWindow topLevelOf(platform::ForeignWindows& platform, platform::ForeignWindow w) {
  platform::ForeignWindow top = w;
  for (int i = 0; top && i < kMaxParents; ++i) {
    const platform::ForeignWindow parent = platform.parentOf(top);
    if (!parent || parent == top) break;
    top = parent;
  }
  return top;
}

std::string findText(platform::ForeignWindows& platform, platform::ForeignWindow parent, const std::string& wanted,
                     const platform::CancelFlag* stop) {
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
  while (!stack.empty() && walked < kMaxWindowsWalked && !stopped(stop)) {
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

// "scheme://" at the very start (an address in a query, "?next=https://",
// is no scheme of the value's own).
bool startsWithScheme(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size() && (std::isalnum(static_cast<unsigned char>(value[i])) || value[i] == '+' ||
                              value[i] == '-' || value[i] == '.')) {
    ++i;
  }
  return i > 0 && std::isalpha(static_cast<unsigned char>(value[0])) && value.substr(i, 3) == "://";
}

// Schemes that run code instead of naming a page.
bool isScriptScheme(std::string_view value) {
  for (std::string_view s : {"javascript:", "vbscript:", "data:"}) {
    if (value.size() >= s.size() && equalsCaseless(value.substr(0, s.size()), s)) return true;
  }
  return false;
}

bool looksLikeBarAddress(const std::string& value) {
  if (value.empty() || value.size() > 8192 || isScriptScheme(value)) return false;
  for (char c : value) {
    if (static_cast<unsigned char>(c) <= ' ') return false;  // white space, control bytes
  }
  if (startsWithScheme(value)) return true;
  // The host: before the first "/", "?" or "#", without a port.
  std::string host = value.substr(0, value.find_first_of("/?#"));
  host = host.substr(0, host.find(':'));
  if (host.empty()) return false;
  if (equalsCaseless(host, "localhost")) return true;
  const std::size_t dot = host.find('.');
  return dot != std::string::npos && dot > 0 && dot + 1 < host.size();
}

AddressBar findAddressBar(ForeignAccessible& root, const TreeBudget& budget, const platform::CancelFlag& stop) {
  AddressBar bar;
  struct Queued {
    std::unique_ptr<ForeignAccessible> node;
    int depth;
    int container;  // which container it is a child of (in the order they were opened)
  };
  std::deque<Queued> queue;
  std::vector<Candidate> candidates;
  std::vector<int> notSecureIn;  // the containers holding a "Not secure" button
  int containers = 0;
  // Never more objects fetched than can still be asked about: a container
  // of 100,000 children costs no more than the budget.
  const auto room = [&] {
    return std::min<int>(budget.children, budget.nodes - bar.visited - static_cast<int>(queue.size()));
  };
  // The root itself is the client area; it is walked, not asked about.
  for (auto& c : root.children(room())) queue.push_back({std::move(c), 1, containers});
  ++containers;
  while (!queue.empty() && bar.visited < budget.nodes && !stop.raised()) {
    Queued q = std::move(queue.front());
    queue.pop_front();
    ForeignAccessible& n = *q.node;
    ++bar.visited;
    const std::uint32_t state = n.state();
    if (state & (ForeignAccessible::kStateInvisible | ForeignAccessible::kStateOffscreen)) continue;
    const int role = n.role();
    if (role == ForeignAccessible::kRoleText) {
      const bool focused = (state & ForeignAccessible::kStateFocused) != 0;
      std::string value = n.value();
      const bool address = looksLikeBarAddress(value);
      // Another field (a find box) is never asked about its name; the bar
      // being typed in is taken whatever it holds, so that the typing ends
      // the read instead of some other field's text.
      if (!address && !focused) continue;
      const bool ctrlL = equalsCaseless(n.keyboardShortcut(), "Ctrl+L");
      const int rank = ctrlL ? 0 : isAddressBarName(n.name()) ? 1 : 2;
      if (!address && rank == 2) continue;
      candidates.push_back({std::move(value), focused, rank, q.container});
      continue;
    }
    if (role == ForeignAccessible::kRolePushButton) {
      if (saysNotSecure(n.name())) notSecureIn.push_back(q.container);
      continue;
    }
    if (!isContainer(role) || q.depth >= budget.depth) continue;
    const int more = room();
    if (more <= 0) continue;
    for (auto& c : n.children(more)) queue.push_back({std::move(c), q.depth + 1, containers});
    ++containers;
  }
  // The best rank, the first of it in breadth-first order.
  const auto best = std::min_element(candidates.begin(), candidates.end(),
                                     [](const Candidate& a, const Candidate& b) { return a.rank < b.rank; });
  if (best == candidates.end()) return bar;
  bar.found = true;
  bar.value = best->value;
  bar.focused = best->focused;
  // The mark is the site-information button's, beside the bar in the same
  // container; a button elsewhere (a bookmark named so) says nothing.
  bar.notSecure = std::find(notSecureIn.begin(), notSecureIn.end(), best->container) != notSecureIn.end();
  return bar;
}

BrowserPage readBrowserPage(platform::ForeignWindows& platform, platform::Point at, const std::string& configuredClass,
                            const platform::CancelFlag& stop, const TreeBudget& budget) {
  BrowserPage page;
  const platform::ForeignWindow w = platform.windowAt(at);
  if (!w) return page;
  page.pointClass = platform.classNameOf(w);
  const platform::ForeignWindow top = topLevelOf(platform, w);
  page.title = platform.textOf(top);
  const std::string topClass = platform.classNameOf(top);
  const std::string wanted = addressWindowClass(topClass, configuredClass);
  if (!wanted.empty()) {
    page.address = findText(platform, top, wanted, &stop);
    if (!page.address.empty()) {
      page.from = BrowserPage::From::ClassTable;
      return page;
    }
  }
  if (stop.raised()) return page;
  const std::unique_ptr<ForeignAccessible> root = platform.accessibleOf(top);
  if (!root) return page;
  const AddressBar bar = findAddressBar(*root, budget, stop);
  if (!bar.found) return page;
  page.from = BrowserPage::From::AccessibleTree;
  page.address = bar.value;
  page.barFocused = bar.focused;
  page.notSecure = bar.notSecure;
  return page;
}

std::string titleAt(platform::ForeignWindows& platform, platform::Point at) {
  const platform::ForeignWindow top = topLevelOf(platform, platform.windowAt(at));
  return top ? platform.textOf(top) : std::string();
}

std::string pageAddress(const BrowserPage& page) {
  std::string address;
  switch (page.from) {
    case BrowserPage::From::Nothing: return {};
    case BrowserPage::From::ClassTable: {
      std::string text = page.address + "\r\n" + page.title;
      // A Chromium address bar shows addresses without their scheme.
      if (page.pointClass.find("Chrome") != std::string::npos) text = text::completeScheme(text);
      address = text.substr(0, text.find("\r\n"));
      break;
    }
    case BrowserPage::From::AccessibleTree:
      // The bar being typed in shows the typing, not the page.
      if (page.barFocused) return {};
      address = page.address;
      if (!startsWithScheme(address)) address = (page.notSecure ? "http://" : "https://") + address;
      break;
  }
  // A scheme alone is no page.
  const std::size_t scheme = address.find("://");
  if (scheme != std::string::npos && scheme + 3 == address.size()) return {};
  return address;
}

}  // namespace lh::capture
