// Reading the page of the browser beside the window: the window at the
// capture point, its top-level window and title, and the address. Old
// browsers are known by their window class and keep the address in a child
// window of a known class; today's browsers draw their address bars
// themselves, and the address is read from their accessible tree, the way
// screen readers and automation tools read it: breadth first through the
// containers of the browser's own interface (never into a page), to an
// editable text whose value looks like an address.
//
// Everything here asks another program and may wait for it: it runs off
// the GUI thread, under the caller's bound, and stops early once `stop` is
// raised.
#pragma once

#include <string>

#include "platform/platform.h"
#include "platform/worker.h"

namespace lh::capture {

// The top-level window above `w` (GetParent until there is none); `w`
// itself when it has no parent.
platform::ForeignWindow topLevelOf(platform::ForeignWindows& platform, platform::ForeignWindow w);

// The text of the first descendant of `parent`, depth first in the order
// the system lists children, whose class is `wanted`; empty when none is
// (also when the match's own text is empty). Any depth, no recursion.
std::string findText(platform::ForeignWindows& platform, platform::ForeignWindow parent, const std::string& wanted,
                     const platform::CancelFlag* stop = nullptr);

// The class of the address window for a top-level class, by the table of
// browsers (the last matching row wins); empty when the class is unknown.
// `configured` is the settings' class for "Chrome_WidgetWin_1".
std::string addressWindowClass(const std::string& topClass, const std::string& configured);

// How far a walk of an accessible tree goes: a browser's own interface has a
// few hundred objects; a tree beyond these is not walked further.
struct TreeBudget {
  int nodes = 3000;     // objects asked about
  int depth = 12;       // levels below the root
  int children = 1000;  // children taken of one object
};

// The address bar found in an accessible tree.
struct AddressBar {
  bool found = false;
  std::string value;         // as the bar shows it (Chromium leaves out the scheme)
  bool focused = false;      // it holds the keyboard focus: the user is typing in it
  bool notSecure = false;    // the browser marks the page as not secure
  int visited = 0;           // objects asked about
};

// A bar value that can be a page's address: no spaces, and a scheme, or a
// host with a dot (or localhost) before any path.
bool looksLikeBarAddress(const std::string& value);

// The address bar among the editable texts of the tree: the one with the
// keyboard shortcut "Ctrl+L" first (Chromium gives its bar that shortcut in
// every language), then one with a known address-bar name, then the first
// in breadth-first order.
AddressBar findAddressBar(platform::ForeignAccessible& root, const TreeBudget& budget,
                          const platform::CancelFlag& stop);

// What was read of the browser beside the window.
struct BrowserPage {
  enum class From { Nothing, ClassTable, AccessibleTree };
  std::string pointClass;  // the class of the window at the capture point
  std::string title;       // the top-level window's text
  std::string address;     // as read
  From from = From::Nothing;
  bool barFocused = false, notSecure = false;
};

// The window at `at`, its top-level window and title; the address by the
// class table, and when that gives none (or the class is not in it) from the
// accessible tree.
BrowserPage readBrowserPage(platform::ForeignWindows& platform, platform::Point at, const std::string& configuredClass,
                            const platform::CancelFlag& stop, const TreeBudget& budget = {});

// The title of the top-level window at `at` (the clipboard's captures).
std::string titleAt(platform::ForeignWindows& platform, platform::Point at);

// The address a user means by what was read; empty when nothing can be
// bookmarked (no address, a scheme alone, or a bar being typed in).
// Addresses of the class table follow the old rule (a window at the point of
// a Chromium class without "http://" or "https://" in address and title gets
// "http://"); a bar's value without a scheme gets "https://", or "http://"
// when the browser says the page is not secure.
std::string pageAddress(const BrowserPage& page);

}  // namespace lh::capture
