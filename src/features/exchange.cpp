#include "features/exchange.h"

#include <cstdio>

#include "store/bookmark_file.h"
#include "text/oledate.h"

namespace lh::features {

namespace {

constexpr const char* kFilter = "html|*.html;*.htm";

// Long work that lets the window's messages through at each step and
// shows no progress of its own.
class Pumping : public store::LoadObserver {
 public:
  explicit Pumping(platform::Platform& platform) : platform_(platform) {}
  void progress(int) override { platform_.processPendingMessages(); }

 private:
  platform::Platform& platform_;
};

}  // namespace

std::string proposedExportName(double oleNow) {
  const text::CalendarTime t = text::calendarFromOle(oleNow);
  char buf[128];
  std::string name = "ULinkhoard-";
  std::snprintf(buf, sizeof buf, "%d年%d月%d日", t.year, t.month, t.day);
  name += buf;
  if (t.second != 0) {
    std::snprintf(buf, sizeof buf, "%d时%d分%d秒", t.hour, t.minute, t.second);
    name += buf;
  } else if (t.minute != 0) {
    std::snprintf(buf, sizeof buf, "%d时%d分", t.hour, t.minute);
    name += buf;
  } else if (t.hour != 0) {
    std::snprintf(buf, sizeof buf, "%d时", t.hour);
    name += buf;
  }
  return name + ".html";
}

Exchange::Exchange(platform::Platform& platform, ui::Busy& busy, store::BookmarkStore& store, text::FileSystem& fs,
                   OverlayPages& pages, ui::Control& bottomBar, ui::Window& main, Pictures& pictures, Hooks hooks)
    : platform_(platform),
      busy_(busy),
      store_(store),
      fs_(fs),
      pages_(pages),
      main_(main),
      hooks_(std::move(hooks)) {
  auto& raster = platform.textRasterizer();
  import_ = &addLabel(bottomBar, "标签1", "导入", 0x808080, boundsOf(layout::kImportLabel), raster);
  export_ = &addLabel(bottomBar, "标签24", "导出", 0x808080, boundsOf(layout::kExportLabel), raster);
  import_->onClick = [this] { importBookmarks(); };
  export_->onClick = [this] { exportBookmarks(); };
  // The exchange page: two captions that do nothing, the status line, and
  // the close button.
  auto& page = pages_.page(OverlayPages::Import);
  // A plain page: the bookmark panel's background carries its own boxes'
  // captions and frames.
  auto& box = page.add<ui::PictureBox>("图片框5");
  box.setBounds(0, 60, kMainWidth, 200);
  box.setBackground(0xFFFFFF);
  addLabel(box, "标签18", "导入html文件", 0x515151, {59, 40, 120, 16}, raster);
  addLabel(box, "标签21", "导出html文件", 0x515151, {59, 64, 120, 16}, raster);
  status_ = &addLabel(box, "标签2", "", 0x515151, {59, 96, 232, 16}, raster);
  auto& close = box.add<ui::ImageButton>("fl图形按钮c3");
  close.setBounds(140, 151, 70, 20);
  close.setPictures(pictures(resources::Resource::CancelButton), pictures(resources::Resource::CancelButtonHover));
  close.onClick = [this] {
    if (!importing_) pages_.hide();
  };
}

platform::FileDialogRequest Exchange::request(platform::FileDialogRequest::Kind kind) const {
  platform::FileDialogRequest r;
  r.kind = kind;
  r.filter = kFilter;
  r.initialFolder = platform_.desktopFolder();
  r.owner = main_.host().nativeId();
  if (kind == platform::FileDialogRequest::Kind::Save) {
    r.proposedName = proposedExportName(platform_.oleNow());
    r.defaultExtension = "html";
  }
  return r;
}

void Exchange::exportBookmarks() {
  if (importing_ || busy_.busy()) return;
  const auto path = platform_.chooseFile(request(platform::FileDialogRequest::Kind::Save));
  if (!path) return;
  // Written whole through a temporary file: a failure leaves any old file.
  const bool written = fs_.replace(*path, store::exportBookmarkFile(store_));
  status_->setCaption(written ? "导出成功" : "导出失败");
}

void Exchange::importBookmarks() {
  if (importing_ || busy_.busy()) return;
  const auto path = platform_.chooseFile(request(platform::FileDialogRequest::Kind::Open));
  if (!path) return;
  addBookmarkFile([this, path] { return fs_.readAll(*path); }, {OverlayPages::Import, status_, "导入...", "导入成功", "导入失败"});
}

bool Exchange::addBookmarkFile(const std::function<std::optional<std::string>()>& bytesOf, const Showing& showing) {
  if (importing_ || busy_.busy()) return false;
  importing_ = true;
  bool imported = false;
  {
    // The import lets messages through once per line: the list and the
    // header take no input, and every change from the window waits, until
    // it is done.
    ui::Busy::Scope scope(&busy_);
    pages_.show(showing.page);
    LabelProgress progress(*showing.status, main_, platform_, showing.working);
    progress.show(showing.working);
    const auto bytes = bytesOf();
    // The compaction lets messages through too, but the percentage shown is
    // the file's lines read: until they start, the page says "导入...".
    Pumping compacting(platform_);
    if (hooks_.beforeMassChange) hooks_.beforeMassChange();
    if (store_.compact(&compacting) && hooks_.renumbered) hooks_.renumbered();
    imported =
        bytes && store::importBookmarkFile(store_, *bytes, [&progress](int percent) { progress.progress(percent); }).saved;
    showing.status->setCaption(imported ? showing.done : showing.failed);
  }
  importing_ = false;
  if (hooks_.redrawList) hooks_.redrawList();
  if (imported) queueIconFetches();
  pages_.hide();
  return imported;
}

void Exchange::queueIconFetches() {
  if (!hooks_.queueIcons) return;
  std::vector<store::EntryId> ids;
  // The tree from the root, depth first, each category once.
  std::vector<char> seen(static_cast<std::size_t>(store_.count()) + 1, 0);
  store::walkMembers(store_, store::kRootCategory, [&](store::EntryId k) {
    if (!store_.exists(k) || seen[static_cast<std::size_t>(k)]) return false;
    seen[static_cast<std::size_t>(k)] = 1;
    const store::Entry& e = store_.entry(k);
    if (e.isBookmark() && !(hooks_.hasIcon && hooks_.hasIcon(e.url))) ids.push_back(k);
    return e.isCategory();
  });
  hooks_.queueIcons(std::move(ids));
}

}  // namespace lh::features
