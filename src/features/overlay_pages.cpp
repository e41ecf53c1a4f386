#include "features/overlay_pages.h"

#include <algorithm>

#include "features/look.h"

namespace lh::features {

void OverlayPages::show(Page p) {
  tabs_.setBounds(0, 160, kMainWidth, std::max(0, bottomBar_.top() - 160));
  tabs_.select(p);
  tabs_.setVisible(true);
}

void OverlayPages::showWholeWindow(Page p) {
  const ui::Control* parent = tabs_.parent();
  tabs_.setBounds(0, 0, kMainWidth, parent ? parent->height() : tabs_.height());
  tabs_.select(p);
  tabs_.setVisible(true);
}

void OverlayPages::hide() {
  tabs_.setVisible(false);
}

}  // namespace lh::features
