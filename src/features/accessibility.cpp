#include "features/accessibility.h"

#include <algorithm>

#include "features/view_tabs.h"
#include "text/gbk.h"

namespace lh::features {

namespace {

using platform::AccessibleNode;
using platform::AccessibleRole;

AccessibleNode node(AccessibleRole role, std::string name, const canvas::Rect& r) {
  AccessibleNode n;
  n.role = role;
  n.name = std::move(name);
  n.bounds = {r.left, r.top, r.right - r.left, r.bottom - r.top};
  return n;
}

}  // namespace

Accessibility::Accessibility(Parts parts, std::vector<HeaderButton> headerButtons)
    : parts_(parts), headerButtons_(std::move(headerButtons)) {
  parts_.main.host().events.accessibleTree = [this] { return tree(); };
}

Accessibility::~Accessibility() {
  // The window may outlive this object (and be asked while it goes).
  parts_.main.host().events.accessibleTree = nullptr;
}

std::vector<int> Accessibility::itemRows() const {
  const list::BookmarkList& list = parts_.list;
  std::vector<int> rows;
  if (parts_.busy.busy() || (list.inFlatView() && list.empty())) return rows;
  if (parts_.pages.shown() != -1) return rows;  // under a panel or the start page
  // Where the list is or is heading for (a scroll ends on whole rows); the
  // row at the bottom may be shown in part.
  const int top = std::max(1, list.firstRow());
  const int bottom = std::min(list.rowCount(), top + (list.listHeight() - 1) / kRowHeight);
  for (int r = top; r <= bottom; ++r) {
    if (parts_.interaction.keyboardRow(r)) rows.push_back(r);
  }
  return rows;
}

AccessibleNode Accessibility::listNode() const {
  const list::BookmarkList& list = parts_.list;
  const canvas::Rect area = parts_.listCanvas.windowRect();
  AccessibleNode l = node(AccessibleRole::List, "书签", area);
  const int highlighted = parts_.interaction.highlightedRow();
  for (int r : itemRows()) {
    const store::Entry& e = parts_.store.entry(list.idAtRow(r));
    const int y = area.top + kRowHeight * (r - list.firstRow());
    AccessibleNode item = node(AccessibleRole::ListItem, e.title.empty() && e.isBookmark() ? e.url : e.title,
                               {area.left, std::max(area.top, y), area.left + 320, std::min(area.bottom, y + kRowHeight)});
    if (e.isBookmark()) item.value = e.url;
    item.focused = item.selected = r == highlighted;
    l.children.push_back(std::move(item));
  }
  return l;
}

void Accessibility::addBars(AccessibleNode& root) const {
  const canvas::AnimationBox& h = parts_.header.box();
  const canvas::Rect origin = parts_.header.windowRect();
  const list::BookmarkList& list = parts_.list;
  for (canvas::ObjectId bar : parts_.breadcrumb.bars()) {
    const std::string tag = h.getTagText(bar);
    std::string name = "视图";  // the flat-view bar holds no category
    if (!tag.empty()) {
      const long long id = text::parseDecimal(tag, 0);
      if (id > 0 && parts_.store.valid(static_cast<store::EntryId>(id))) {
        name = parts_.store.entry(static_cast<store::EntryId>(id)).title;
      }
    }
    const int x = origin.left + h.getLeft(bar), y = origin.top + h.getTop(bar);
    root.children.push_back(node(AccessibleRole::PushButton, name, {x, y, x + h.getWidth(bar), y + h.getHeight(bar)}));
    if (tag.empty() && list.inFlatView()) {
      // The four view tabs on it (20 pixels high, 22 below the bar's top).
      for (const ViewTab& t : kViewTabs) {
        AccessibleNode tab = node(AccessibleRole::PageTab, t.name,
                                  {origin.left + t.from, y + 22, origin.left + t.to, y + 42});
        tab.selected = list.view() == t.view;
        root.children.push_back(std::move(tab));
      }
    }
  }
  for (const HeaderButton& b : headerButtons_) {
    if (b.object <= 0 || !h.getVisible(b.object)) continue;
    const int x = origin.left + h.getLeft(b.object), y = origin.top + h.getTop(b.object);
    root.children.push_back(
        node(AccessibleRole::PushButton, b.name, {x, y, x + h.getWidth(b.object), y + h.getHeight(b.object)}));
  }
}

void Accessibility::addLabels(const ui::Control& c, AccessibleNode& root, bool onPage) const {
  if (!c.visible()) return;
  onPage = onPage || &c == &parts_.pages.control();
  if (const auto* label = dynamic_cast<const ui::Label*>(&c); label && !label->caption().empty()) {
    AccessibleNode n = node(label->onClick ? AccessibleRole::PushButton : AccessibleRole::StaticText,
                            label->caption(), label->windowRect());
    if (onPage || !covered(n.bounds)) root.children.push_back(std::move(n));
  }
  for (const auto& child : c.children()) addLabels(*child, root, onPage);
}

bool Accessibility::covered(const platform::Bounds& b) const {
  if (parts_.pages.shown() == -1) return false;
  return parts_.pages.control().windowRect().contains(b.left + b.width / 2, b.top + b.height / 2);
}

AccessibleNode Accessibility::tree() const {
  AccessibleNode root = node(AccessibleRole::Client, "Linkhoard", {0, 0, parts_.main.width(), parts_.main.height()});
  root.children.push_back(listNode());  // kListContainer
  addBars(root);
  // The bars and buttons a page covers are gone (the list stays, empty: it
  // is container 0).
  std::erase_if(root.children, [&](const AccessibleNode& n) { return n.role != AccessibleRole::List && covered(n.bounds); });
  addLabels(parts_.main.root(), root, false);
  return root;
}

void Accessibility::rowFocused(int r) {
  const std::vector<int> rows = itemRows();
  const auto at = std::find(rows.begin(), rows.end(), r);
  if (at == rows.end()) return;
  parts_.main.host().accessibleFocus(kListContainer, static_cast<int>(at - rows.begin()));
}

}  // namespace lh::features
