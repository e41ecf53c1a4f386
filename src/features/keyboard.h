// The main window by keyboard: the arrows, Page Up/Down, Home and End move
// the list's highlight; Enter opens the highlighted row; Backspace goes back
// one breadcrumb bar; a printable character starts a search with it. In the
// search box, Esc empties the box (a second Esc, or Down, goes to the list),
// and Up, Page Up and Page Down move the list's highlight.
//
// The pointer moving over the list gives it the keyboard focus, so that the
// keys act on what the pointer shows, except while a search is being typed:
// a search box with the focus and text in it keeps the focus, so that a
// pointer passing by takes no typing (its Page keys reach the list anyway).
#pragma once

#include <functional>
#include <string>

#include "features/breadcrumb.h"
#include "features/overlay_pages.h"
#include "features/search.h"
#include "list/list_interaction.h"
#include "ui/busy.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace lh::features {

class Keyboard {
 public:
  struct Parts {
    ui::Window& main;
    ui::Busy& busy;
    list::ListInteraction& interaction;
    Breadcrumb& breadcrumb;
    OverlayPages& pages;
    Search& search;
    ui::EditControl& searchBox;
  };
  explicit Keyboard(Parts parts);

  // Keys and characters reaching the main window itself (not an edit box).
  void keyDown(int key, int modifiers);
  void character(const std::string& c);
  // Keys in the search box; true when consumed.
  bool searchBoxKey(int key, int modifiers);
  // The pointer moved over the list.
  void pointerOverList();

 private:
  // The list takes keys: nothing covers it and no long work walks it.
  bool listTakesKeys() const;
  // The main window (not the search box) takes the focus.
  void focusList();

  Parts parts_;
};

}  // namespace lh::features
