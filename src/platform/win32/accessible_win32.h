// What a host window tells screen readers through MSAA: the answer to
// WM_GETOBJECT, built from the tree the program gives
// (WindowEvents::accessibleTree).
//
// Object ids: OBJID_CLIENT is the tree's root; a positive id c + 1 is the
// root's child c when it is a container (it has children, or it is a list).
// Child ids: 1..n are an object's children in the tree's order. A container
// child of the root is its own object (get_accChild gives it); every other
// element is a simple element that its parent object answers for by child id.
//
// The objects run on the window's thread (its single-threaded apartment);
// other apartments and processes reach them through COM's proxies. They may
// outlive the window: once it is gone every call fails with E_FAIL.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/platform.h"

namespace lh::platform::win32 {

struct AccessibleSource;

class WindowAccessibility {
 public:
  // `events` belongs to the window and must outlive this object or its
  // detach(), whichever comes first.
  WindowAccessibility(HWND hwnd, const WindowEvents& events);
  ~WindowAccessibility();
  WindowAccessibility(const WindowAccessibility&) = delete;
  WindowAccessibility& operator=(const WindowAccessibility&) = delete;

  // WM_GETOBJECT: true, with the message's result, when the window answers
  // this object id itself; false leaves it to DefWindowProc.
  bool getObject(WPARAM wp, LPARAM lp, LRESULT* result);
  // The window is being destroyed: objects handed out fail from now on.
  void detach();

 private:
  std::shared_ptr<AccessibleSource> source_;
};

// How many accessible objects of this process are alive (for tests of the
// reference counting).
long liveAccessibleObjects();

}  // namespace lh::platform::win32
