#include "features/category_panel.h"

#include "text/rules.h"

namespace lh::features {

CategoryPanel::CategoryPanel(platform::Platform& platform, store::BookmarkStore& store, list::BookmarkList& list,
                             OverlayPages& pages, ui::Window& main, Pictures& pictures)
    : platform_(platform), store_(store), list_(list), pages_(pages) {
  auto& raster = platform_.textRasterizer();
  auto& page = pages_.page(OverlayPages::Category);
  panel_ = &page.add<ui::PictureBox>("图片框2");
  panel_->setBounds(0, 69, kMainWidth, 240);
  prompt_ = &addLabel(*panel_, "标签12", "请输入分类标题", 0x515151, {51, 89 - 69, 217, 16}, raster);
  platform::EditOptions o;
  o.bounds = {51, 114 - 69, 251, 20};
  o.maxBytes = 200;
  edit_ = &panel_->add<ui::EditControl>("yy分类标题编辑框", main.host(), o);
  edit_->edit().onKeyDown = [this](int key, int) {
    if (key == 13) {
      confirm();
      return true;
    }
    if (key == 27) {
      cancel();
      return true;
    }
    return false;
  };
  auto& ok = panel_->add<ui::ImageButton>("fl图形按钮k1");
  ok.setBounds(139, 176 - 69, 70, 20);
  ok.setPictures(pictures(Resource::OkButton), pictures(Resource::OkButtonHover));
  ok.onClick = [this] { confirm(); };
  auto& back = panel_->add<ui::ImageButton>("fl图形按钮c1");
  back.setBounds(228, 176 - 69, 70, 20);
  back.setPictures(pictures(Resource::CancelButton), pictures(Resource::CancelButtonHover));
  back.onClick = [this] { cancel(); };
}

void CategoryPanel::createHeaderButton(canvas::AnimationBox& header, Pictures& pictures) {
  button_ = addHeaderButton(header, pictures, 61, 118, Resource::NewCategoryButtonHover, [this] {
    if (!list_.inFlatView()) showCreate();
  });
}

void CategoryPanel::showCreate() {
  prompt_->setCaption("请输入分类标题");
  edit_->setText("");
  pages_.show(OverlayPages::Category);
  edit_->edit().focus();
}

void CategoryPanel::showRename(store::EntryId id) {
  if (id < 11 || !store_.valid(id)) return;  // the fixed entries are never renamed
  renameTarget_ = id;
  prompt_->setCaption("标题");
  edit_->setText(store_.entry(id).title);
  pages_.show(OverlayPages::Category);
  edit_->edit().focus();
}

void CategoryPanel::cancel() { pages_.hide(); }

void CategoryPanel::deferWhileBusy(ui::Busy& busy) {
  busy_ = &busy;
  busy.onChange.push_back([this](bool nowBusy) {
    if (nowBusy || !confirmPending_) return;
    confirmPending_ = false;
    platform_.post([this] {
      if (pages_.shown() == OverlayPages::Category) confirm();
    });
  });
}

void CategoryPanel::confirm() {
  if (busy_ && busy_->busy()) {
    confirmPending_ = true;
    return;
  }
  const std::string name = edit_->text();
  if (name.empty()) return;  // refused silently; the panel stays
  bool changed = false;
  if (prompt_->caption() == "标题") {
    changed = store_.editCategory(renameTarget_, text::cleanTitle(name), 1, 0, false);
  } else {
    // A search begun while the panel was open shows a flat view: the new
    // category goes into the category shown before it, as a typed
    // bookmark does, instead of being dropped.
    const store::EntryId parent = list_.categoryBelow();
    changed = store_.isCategory(parent) && store_.addCategory(parent, platform_.oleNow(), name) != 0;
  }
  pages_.hide();
  if (!changed) return;  // the store took no change: nothing to show
  if (const auto shown = list_.category(); shown && showCategory) showCategory(*shown, list_.firstRow());
}

}  // namespace lh::features
