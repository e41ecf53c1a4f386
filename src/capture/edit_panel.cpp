#include "capture/edit_panel.h"

#include "store/members.h"
#include "text/gbk.h"
#include "text/oledate.h"
#include "text/rules.h"

namespace lh::capture {

using features::Resource;

namespace {

constexpr int kEnter = platform::keys::kEnter, kEscape = platform::keys::kEscape;

std::string lineBreaksToCarets(const std::string& s) { return text::replaceAll(s, "\r\n", "^"); }

}  // namespace

std::string panelDateLine(const std::string& prefix, double oleDate, const std::string& never) {
  const text::CalendarTime t = text::calendarFromOle(oleDate);
  if (t.year == 1899) return prefix + never;
  return prefix + std::to_string(t.year) + "年/" + std::to_string(t.month) + "月" + std::to_string(t.day) + "日/" +
         std::to_string(t.hour) + "点" + std::to_string(t.minute) + "分" + std::to_string(t.second) + "秒";
}

EditPanel::EditPanel(platform::Platform& platform, ui::Busy& busy, store::BookmarkStore& store,
                     list::BookmarkList& list, features::OverlayPages& pages, ui::Window& main,
                     features::Pictures& pictures, Hooks hooks)
    : platform_(platform),
      busy_(busy),
      store_(store),
      list_(list),
      pages_(pages),
      main_(main),
      hooks_(std::move(hooks)) {
  // A confirm (Enter or the OK button) that arrives while a sort or a load
  // walks the rows runs once that work is done: adding appends to the very
  // results being sorted.
  busy_.onChange.push_back([this](bool busy) {
    if (busy || !confirmPending_) return;
    confirmPending_ = false;
    platform_.post([this] { confirmPanel(); });
  });
  auto& raster = platform_.textRasterizer();
  auto& page = pages_.page(features::OverlayPages::Bookmark);
  panel_ = &page.add<ui::PictureBox>("图片框1");
  panel_->tagText = "0";  // the mode marker
  panel_->setBounds(0, 80, features::kMainWidth, 500);
  panel_->setPicture(pictures(Resource::PanelBackground));
  // A right-button release anywhere on the panel hides it, nothing else.
  panel_->onButtonUp = [this](platform::MouseButton b, int, int) {
    if (b == platform::MouseButton::Right) pages_.hide();
  };
  heading_ = &features::addLabel(*panel_, "标签8", "添加新的收藏", 0x515151, {49, 80, 230, 16}, raster);

  auto edit = [&](const char* name, platform::Bounds b, int maxBytes, bool multiLine) {
    platform::EditOptions o;
    o.bounds = b;
    o.maxBytes = maxBytes;
    o.multiLine = multiLine;
    o.readOnly = std::string(name) == "地址编辑框";  // read-only is the address box's first state
    return &panel_->add<ui::EditControl>(name, main.host(), o);
  };
  title_ = edit("标题编辑框", {49, 148, 251, 20}, 200, false);
  address_ = edit("地址编辑框", {49, 202, 251, 20}, 512, false);
  note_ = edit("备注编辑框", {49, 258, 251, 60}, 300, true);
  title_->edit().onKeyDown = [this](int k, int m) { return keyDown(k, m, false); };
  address_->edit().onKeyDown = [this](int k, int m) { return keyDown(k, m, false); };
  note_->edit().onKeyDown = [this](int k, int m) { return keyDown(k, m, true); };

  icon_ = &panel_->add<ui::PictureBox>("图片框4");
  icon_->setBounds(167, 62, 16, 16);
  icon_->onButtonUp = [this](platform::MouseButton b, int, int) {
    if (b == platform::MouseButton::Left && editedId_ >= 11 && hooks_.refreshIcon) hooks_.refreshIcon(editedId_);
  };
  copy_ = &features::addLabel(*panel_, "标签5", "复制", 0x00AA00, {244, 179, 56, 16}, raster);
  copy_->onClick = [this] { copyTitleAndAddress(); };
  hint_ = &features::addLabel(*panel_, "标签14", "提示：复制网址可自动添加", 0x808080, {49, 335, 251, 70}, raster);
  lastVisit_ = &features::addLabel(*panel_, "标签6", "", 0x808080, {49, 335, 230, 16}, raster);
  added_ = &features::addLabel(*panel_, "标签9", "", 0x808080, {49, 356, 230, 16}, raster);
  visits_ = &features::addLabel(*panel_, "标签4", "", 0x808080, {49, 378, 230, 16}, raster);

  auto& ok = panel_->add<ui::ImageButton>("fl图形按钮k2");
  ok.setBounds(139, 426, 70, 20);
  ok.setPictures(pictures(Resource::OkButton), pictures(Resource::OkButtonHover));
  ok.onClick = [this] { confirmPanel(); };
  auto& back = panel_->add<ui::ImageButton>("fl图形按钮c8");
  back.setBounds(228, 426, 70, 20);
  back.setPictures(pictures(Resource::CancelButton), pictures(Resource::CancelButtonHover));
  back.onClick = [this] { cancelPanel(); };
}

void EditPanel::createHeaderButton(canvas::AnimationBox& header, features::Pictures& pictures) {
  button_ = features::addHeaderButton(header, pictures, 11, 118, Resource::AddButtonHover, [this] {
    panel_->tagText = "1";
    openAddPanel();
  });
}

bool EditPanel::keyDown(int key, int modifiers, bool note) {
  if (key == kEscape) {
    cancelPanel();
    return true;
  }
  // Enter confirms in the title and address boxes whatever the modifiers;
  // in the note box only with Ctrl alone (a plain Enter breaks the line).
  if (key == kEnter && (!note || modifiers == platform::kCtrl)) {
    confirmPanel();
    return true;
  }
  return false;
}

void EditPanel::placeOverlay() { pages_.show(features::OverlayPages::Bookmark); }

void EditPanel::openAddPanel() {
  panel_->setTop(80);
  title_->edit().focus();
  placeOverlay();
  title_->setText("");
  address_->setText("");
  note_->setText("");
  lastVisit_->setCaption("");
  added_->setCaption("");
  visits_->setCaption("");
  copy_->setVisible(false);
  icon_->setVisible(false);
  heading_->setCaption("添加新的收藏");
  heading_->setVisible(true);
  hint_->setCaption("提示：复制网址可自动添加");
  hint_->setVisible(true);
  address_->edit().setReadOnly(false);
}

void EditPanel::openEditPanel(store::EntryId id) {
  if (id < 11 || !store_.valid(id) || store_.entry(id).kind == store::kCategory) return;
  editedId_ = id;
  placeOverlay();
  title_->edit().focus();
  panel_->tagText = "0";
  copy_->setVisible(true);
  icon_->setVisible(true);
  address_->edit().setReadOnly(true);
  heading_->setVisible(false);
  hint_->setVisible(false);
  const store::Entry& e = store_.entry(id);
  title_->setText(e.title);
  address_->setText(e.url);
  note_->setText(text::replaceAll(e.note, "^", "\r\n"));
  added_->setCaption(panelDateLine("添加日期: ", e.added, "未知"));
  lastVisit_->setCaption(panelDateLine("最近访问: ", e.lastVisit, "没访问过"));
  visits_->setCaption("访问次数: " + std::to_string(e.visitCount));
  icon_->setPicture(hooks_.iconOf ? hooks_.iconOf(e.url) : list_.look().defaultSiteIcon);
  panel_->setTop(80);
}

void EditPanel::confirmPanel() {
  // Only the panel on screen confirms: a key or click that arrives after it
  // closed (a second Enter) must neither add twice nor save a bookmark
  // edited earlier with this panel's texts.
  if (pages_.shown() != features::OverlayPages::Bookmark) return;
  if (busy_.busy()) {
    confirmPending_ = true;
    return;
  }
  if (panel_->tagText == "0") {
    saveEditedBookmark();
    pages_.hide();
    return;
  }
  if (panel_->tagText != "1") return;
  if (title_->text().empty()) {
    heading_->setCaption("请输入标题");
    return;
  }
  if (address_->text().empty()) {
    heading_->setCaption("请输入地址");
    return;
  }
  if (!recycleExisting(address_->text())) addTypedBookmark(title_->text(), address_->text(), note_->text());
  panel_->tagText = "0";
  pages_.hide();
}

void EditPanel::cancelPanel() {
  panel_->tagText = "0";
  pages_.hide();
}

store::EntryId EditPanel::addTypedBookmark(const std::string& title, const std::string& address,
                                           const std::string& note) {
  const bool searching = list_.inFlatView();
  const store::EntryId parent = list_.categoryBelow();
  if (!store_.valid(parent) || !store_.entry(parent).isCategory()) return 0;
  const store::EntryId id = store_.addBookmark(text::cutBrowserSuffix(text::cleanTitle(title)), address,
                                               lineBreaksToCarets(note), parent, platform_.oleNow(), -1);
  if (id <= 0) return id;
  if (hooks_.newBookmark) hooks_.newBookmark(id);
  if (searching) {
    list_.addToResults(id);  // no redraw
  } else if (hooks_.showCategory) {
    hooks_.showCategory(parent, list_.firstRow());
  }
  return id;
}

void EditPanel::saveEditedBookmark() {
  if (!store_.valid(editedId_) || store_.entry(editedId_).kind != store::kBookmark) return;
  if (!store_.editBookmark(editedId_, text::cleanTitle(title_->text()), lineBreaksToCarets(note_->text()),
                           store_.entry(editedId_).url)) {
    return;  // refused: the row as it was
  }
  list_.showFrom(list_.firstRow(), false);
}

bool EditPanel::recycleExisting(const std::string& address) {
  store::EntryId match = 0;
  for (store::EntryId id = 1; id <= store_.count() && !match; ++id) {
    const store::Entry& e = store_.entry(id);
    // A purged entry keeps its fields in memory but is gone: never a match.
    if (e.kind == store::kBookmark && !e.deleted && e.url == address && store_.exists(id)) match = id;
  }
  if (!match) return false;
  // Saved before either way; the bin shows it only when it went there.
  if (!store_.moveEntries(std::to_string(match) + "u", store::kRecycleBin, -2, false)) return true;
  if (const auto shown = list_.category(); shown && hooks_.showCategory) hooks_.showCategory(*shown, list_.firstRow());
  if (hooks_.showBin) hooks_.showBin();
  if (hooks_.slidOut && hooks_.slidOut() && hooks_.slideIn) hooks_.slideIn();
  return true;
}

void EditPanel::copyTitleAndAddress() {
  platform_.setClipboardText(title_->text() + "\r\n" + address_->text());
  platform_.showBalloon(platform_.cursorPosition(), "复制成功", 0);
}

}  // namespace lh::capture
