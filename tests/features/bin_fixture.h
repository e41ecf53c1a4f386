// The program in the simulator with the recycle bin in reach: rows by
// number, right-drags over them, the bin window and restore mode's line and
// badge.
#pragma once

#include <string>
#include <vector>

#include "../app/app_fixture.h"
#include "store/codec.h"

namespace lh::app::simtest {

class BinTest : public StartUp {
 protected:
  void startAndWait() {
    start();
    sim.advance(300);
  }
  SimWindow& main() { return host(app->mainWindow()); }
  // The middle of row r's band on screen (the list's top moves with the bars).
  int rowY(int r) { return app->listTop() + layout::kRowHeight * (r - 1) + 5; }
  // A right-drag from row `from` to row `to`, released there.
  void rightDrag(int from, int to) {
    main().move(120, rowY(from));
    main().press(120, rowY(from), platform::MouseButton::Right);
    const int step = to < from ? -1 : 1;
    for (int r = from; r != to;) {
      r += step;
      main().move(120, rowY(r));
    }
    main().release(120, rowY(to), platform::MouseButton::Right);
  }
  std::vector<store::EntryId> members(store::EntryId c) { return app->store().members(c); }
  features::RecycleBin& bin() { return app->recycleBin(); }
  ui::Window& binWindow() { return app->recycleBinWindow(); }
  canvas::AnimationBox& box() { return app->listCanvas().box(); }
  std::string binRowText(int k) { return bin().binCanvas().getText(bin().binTexts()[static_cast<std::size_t>(k)]); }
  const list::BookmarkList::Slot& slotOfRow(int r) {
    for (const auto& s : app->list().slots()) {
      if (s.row == r) return s;
    }
    ADD_FAILURE() << "no slot shows row " << r;
    return app->list().slots()[0];
  }
  int topOfRow(int r) { return box().getTop(slotOfRow(r).background); }
  int badgeTop() { return box().getTop(app->list().insertBadge()); }
  int lineTop() { return box().getTop(app->list().insertionLine()); }
  // The bin window's top when it stands at list position y.
  int binTopAt(int y) { return app->listTop() + app->mainWindow().top() + y - binWindow().height() / 2; }
  // The hover band shows (not in restore mode).
  bool bandShown() {
    const auto h = app->list().hoverHighlight();
    return box().hasPicture(h) && box().getTagNumber(h) != 0;
  }
  std::vector<store::LogRecord> log() { return store::decodeLog(fs.files[kData + "\\bein"]); }
};

}  // namespace lh::app::simtest
