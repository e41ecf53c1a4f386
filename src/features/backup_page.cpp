#include "features/backup_page.h"

#include <cstdio>

#include "store/bookmark_file.h"
#include "store/bookmark_store.h"
#include "text/memory_filesystem.h"
#include "ui/layout.h"

namespace lh::features {

std::string backupRowText(const store::BackupCopy& c) {
  if (!c.readable) return c.date() + "  已损坏";
  char size[32];
  if (c.size >= 1024 * 1024) {
    std::snprintf(size, sizeof size, "%.1f MB", static_cast<double>(c.size) / (1024.0 * 1024.0));
  } else {
    std::snprintf(size, sizeof size, "%llu KB", static_cast<unsigned long long>((c.size + 1023) / 1024));
  }
  return c.date() + "  " + std::to_string(c.counts.bookmarks) + " 个书签  " + std::to_string(c.counts.categories) +
         " 个分类  " + size;
}

std::string restoreFileOf(const std::string& storeBytes, const std::string& folder) {
  text::MemoryFileSystem fs;
  fs.files["udb"] = storeBytes;
  store::BookmarkStore copy(fs, "udb", "bein");
  copy.load();
  // The copy's root tree as the export writes it, inside one more folder.
  constexpr std::string_view kOpen = "<DL><P>", kClose = "</DL><P>";
  const std::string tree = store::exportBookmarkFile(copy);
  const std::size_t open = tree.find(kOpen);
  const std::size_t close = tree.rfind(kClose);
  const std::string inner = open == std::string::npos || close == std::string::npos || close < open
                                ? std::string()
                                : tree.substr(open + kOpen.size(), close - open - kOpen.size());
  return "<DL><P>\r\n<DT><H3>" + folder + "</H3>\r\n<DL><P>" + inner + "</DL><P>\r\n</DL><P>\r\n";
}

BackupPage::BackupPage(platform::Platform& platform, text::FileSystem& fs, std::string dataDir,
                       store::Backups& backups, OverlayPages& pages, ui::Control& bottomBar, Exchange& exchange,
                       Pictures& pictures)
    : fs_(fs), dataDir_(std::move(dataDir)), backups_(backups), pages_(pages), exchange_(exchange) {
  auto& raster = platform.textRasterizer();
  open_ = &addLabel(bottomBar, "标签备份", "备份", 0x808080, boundsOf(layout::kBackupLabel), raster);
  open_->onClick = [this] { show(); };
  auto& page = pages_.page(OverlayPages::Backups);
  auto& box = page.add<ui::PictureBox>("图片框备份");
  box.setBounds(0, 60, kMainWidth, 80 + kBackupRows * layout::kBackupRowHeight);
  box.setBackground(0xFFFFFF);
  addLabel(box, "标签备份说明", "选择一个备份，把它的书签放入新分类", 0x515151, {20, 14, 300, 16}, raster);
  for (int i = 0; i < kBackupRows; ++i) {
    ui::Label& row = addLabel(box, "标签备份行", "", 0xA06030,
                              {20, layout::kBackupRowsTop + i * layout::kBackupRowHeight, 300, 16}, raster);
    row.onClick = [this, i] { restore(i); };
    rows_.push_back(&row);
  }
  status_ = &addLabel(box, "标签备份状态", "", 0x515151,
                      {20, layout::kBackupRowsTop + kBackupRows * layout::kBackupRowHeight + 6, 300, 16}, raster);
  auto& close = box.add<ui::ImageButton>("fl图形按钮备份");
  close.setBounds(250, 10, 70, 20);
  close.setPictures(pictures(resources::Resource::CancelButton), pictures(resources::Resource::CancelButtonHover));
  close.onClick = [this] {
    if (!exchange_.importing()) pages_.hide();
  };
}

void BackupPage::show() {
  if (exchange_.importing()) return;
  conflicts_ = store::findConflictCopies(fs_, dataDir_);
  if (conflicts_.size() > static_cast<std::size_t>(kBackupRows)) conflicts_.resize(static_cast<std::size_t>(kBackupRows));
  copies_ = backups_.list();
  const std::size_t room = static_cast<std::size_t>(kBackupRows) - conflicts_.size();
  if (copies_.size() > room) copies_.resize(room);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    std::string text;
    if (i < conflicts_.size()) {
      text = "冲突副本 " + conflicts_[i].shownName();
    } else if (i - conflicts_.size() < copies_.size()) {
      text = backupRowText(copies_[i - conflicts_.size()]);
    }
    rows_[i]->setCaption(text);
    rows_[i]->setVisible(!text.empty());
  }
  status_->setCaption(copies_.empty() && conflicts_.empty() ? "还没有备份" : "");
  pages_.show(OverlayPages::Backups);
}

bool BackupPage::restoreConflict(const store::ConflictCopy& copy) {
  const std::optional<std::string> bytes = store::conflictStoreBytes(fs_, dataDir_, copy);
  if (!bytes) {
    status_->setCaption(copy.shownName() + " 无法读取，未作修改");
    return false;
  }
  const std::string file = restoreFileOf(*bytes, "冲突副本 " + copy.shownName());
  if (!exchange_.addBookmarkFile([&file] { return std::optional<std::string>(file); },
                                 {OverlayPages::Backups, status_, "恢复...", "恢复成功", "恢复失败"})) {
    return false;
  }
  // Restored: out of the data folder, kept among the backups.
  store::moveConflictAside(fs_, dataDir_, copy);
  return true;
}

bool BackupPage::restore(int row) {
  if (row < 0 || exchange_.importing()) return false;
  if (static_cast<std::size_t>(row) < conflicts_.size()) {
    return restoreConflict(conflicts_[static_cast<std::size_t>(row)]);
  }
  row -= static_cast<int>(conflicts_.size());
  if (static_cast<std::size_t>(row) >= copies_.size()) return false;
  const store::BackupCopy copy = copies_[static_cast<std::size_t>(row)];
  const std::optional<std::string> bytes = backups_.read(copy.name);
  if (!bytes) {
    status_->setCaption(copy.date() + " 的备份已损坏，未作修改");
    return false;
  }
  const std::string file = restoreFileOf(*bytes, "恢复 " + copy.date());
  return exchange_.addBookmarkFile([&file] { return std::optional<std::string>(file); },
                                   {OverlayPages::Backups, status_, "恢复...", "恢复成功", "恢复失败"});
}

}  // namespace lh::features
