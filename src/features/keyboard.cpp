#include "features/keyboard.h"

namespace lh::features {

namespace keys = platform::keys;
using Step = list::ListInteraction::KeyStep;

Keyboard::Keyboard(Parts parts) : parts_(parts) {
  auto& events = parts_.main.host().events;
  events.keyDown = [this](int key, int modifiers) { keyDown(key, modifiers); };
  events.character = [this](const std::string& c) { character(c); };
  parts_.searchBox.edit().onKeyDown = [this](int key, int modifiers) { return searchBoxKey(key, modifiers); };
}

bool Keyboard::listTakesKeys() const { return !parts_.busy.busy() && parts_.pages.shown() == -1; }

void Keyboard::focusList() {
  parts_.main.host().setForeground();
  parts_.main.host().takeFocus();
}

void Keyboard::keyDown(int key, int modifiers) {
  if (!listTakesKeys() || (modifiers & (platform::kCtrl | platform::kAlt)) != 0) return;
  auto& list = parts_.interaction;
  switch (key) {
    case keys::kDown: list.moveHighlight(Step::Down); break;
    case keys::kUp: list.moveHighlight(Step::Up); break;
    case keys::kPageDown: list.moveHighlight(Step::PageDown); break;
    case keys::kPageUp: list.moveHighlight(Step::PageUp); break;
    case keys::kHome: list.moveHighlight(Step::Home); break;
    case keys::kEnd: list.moveHighlight(Step::End); break;
    case keys::kEnter: list.openHighlighted(); break;
    case keys::kBack: parts_.breadcrumb.backOneBar(); break;
    case keys::kEscape:
      // Leaves a search shown in the list too.
      if (parts_.search.active() || !parts_.searchBox.text().empty()) parts_.searchBox.setText("");
      break;
    default: break;
  }
}

void Keyboard::character(const std::string& c) {
  // The start page and the panels cover the list: typing there searches
  // nothing (their own boxes take their typing themselves).
  if (parts_.pages.shown() != -1 || c.empty()) return;
  // The search runs on the box's change (later, when long work is going on).
  parts_.searchBox.setText(parts_.searchBox.text() + c);
  parts_.searchBox.edit().focus();
  parts_.searchBox.edit().caretToEnd();
}

bool Keyboard::searchBoxKey(int key, int modifiers) {
  if (modifiers != 0) return false;
  if (key == keys::kEscape) {
    if (parts_.searchBox.text().empty()) {
      focusList();
    } else {
      parts_.searchBox.setText("");
    }
    return true;
  }
  if (key == keys::kDown && listTakesKeys()) {
    // On to the results.
    focusList();
    parts_.interaction.moveHighlight(Step::Down);
    return true;
  }
  // Keys a one-line box has no use for move the list's highlight; the box
  // keeps the focus (Home and End stay the caret's).
  if ((key == keys::kUp || key == keys::kPageUp || key == keys::kPageDown) && listTakesKeys()) {
    parts_.interaction.moveHighlight(key == keys::kUp ? Step::Up : key == keys::kPageUp ? Step::PageUp : Step::PageDown);
    return true;
  }
  return false;
}

void Keyboard::pointerOverList() {
  if (!listTakesKeys()) return;
  if (parts_.searchBox.edit().hasFocus() && !parts_.searchBox.text().empty()) return;
  parts_.main.host().takeFocus();
}

}  // namespace lh::features
