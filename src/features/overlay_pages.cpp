#include "features/overlay_pages.h"

#include <algorithm>

#include "features/look.h"

namespace lh::features {

void OverlayPages::leaving(int next) {
  const int was = shown();
  if (was < 0 || was == next) return;
  for (auto& f : onLeave) f(was);
}

void OverlayPages::show(Page p) {
  leaving(p);
  tabs_.setBounds(0, 160, kMainWidth, std::max(0, bottomBar_.top() - 160));
  tabs_.select(p);
  tabs_.setVisible(true);
}

void OverlayPages::showWholeWindow(Page p) {
  leaving(p);
  const ui::Control* parent = tabs_.parent();
  tabs_.setBounds(0, 0, kMainWidth, parent ? parent->height() : tabs_.height());
  tabs_.select(p);
  tabs_.setVisible(true);
}

void OverlayPages::hide() {
  leaving(-1);
  tabs_.setVisible(false);
}

}  // namespace lh::features
