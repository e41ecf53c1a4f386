// The program's composition root: it builds the windows and the rooms of the
// program in start-up order, hands each the few others it calls, and runs the
// start-up, load and exit sequences. The behaviour itself lives in the rooms:
// features/docking, features/breadcrumb, features/category_panel,
// app/browser_choice, list/.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/browser_choice.h"
#include "capture/browser_capture.h"
#include "capture/clipboard_capture.h"
#include "capture/edit_panel.h"
#include "capture/icons.h"
#include "canvas/animation_box.h"
#include "features/about.h"
#include "features/backup_page.h"
#include "features/breadcrumb.h"
#include "features/category_panel.h"
#include "features/docking.h"
#include "features/exchange.h"
#include "features/accessibility.h"
#include "features/hot_key.h"
#include "features/keyboard.h"
#include "features/look.h"
#include "features/overlay_pages.h"
#include "features/recycle_bin.h"
#include "store/backups.h"
#include "features/search.h"
#include "features/thumbnail.h"
#include "list/bookmark_list.h"
#include "list/list_interaction.h"
#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "store/data_paths.h"
#include "text/filesystem.h"
#include "ui/busy.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace lh::app {

// Told when an append to the change log fails, before the system's reason.
inline constexpr const char* kCannotSave = "数据无法保存：";
// How often the store is folded again while changes wait in memory only.
inline constexpr int kUnsavedRetryMs = 30000;

#ifndef LH_SERVER_HOST
#define LH_SERVER_HOST "127.0.0.1"
#endif
#ifndef LH_PRODUCT_SITE
#define LH_PRODUCT_SITE "https://linkhoard.example.org/"
#endif

struct Settings {
  std::string serverHost = LH_SERVER_HOST;  // the start-up ping's server (a build setting)
  int serverPort = 333;
  int connectTimeoutMs = 3000;
  std::string productLabel = "Linkhoard v1.6";
  std::string productSite = LH_PRODUCT_SITE;  // opened by the about page's text
};

using features::fontA;
using features::fontB;
using features::fontC;

class Application {
 public:
  Application(platform::Platform& platform, text::FileSystem& fs, Settings settings = {});
  ~Application();

  // The main window's creation handler: every step from the server ping to
  // the start-up sound. A second copy on the same data folder shows the
  // first one's window and ends here, before touching any file.
  void startUp();
  // Loading the store and everything that follows it (also run by the start
  // page's "开始" label; never nested).
  void runLoadSequence();
  // Restores the window procedure, leaves the clipboard chain, removes the
  // tray icon, hides the windows and ends the process.
  [[noreturn]] void exitProgram();
  void watchUnsavedChanges();
  void copyStoreInTheBackground();
  void copyStoreBeforeMassChange();
  void tellOfConflictCopies();
  // Repaints what changed in every window (the message loop's idle work).
  void paintAll();

  // The rooms.
  features::Docking& docking() { return *docking_; }
  features::Breadcrumb& breadcrumbs() { return *breadcrumb_; }
  features::CategoryPanel& categoryPanel() { return *categoryPanel_; }
  features::OverlayPages& overlay() { return *overlay_; }
  features::Search& search() { return *search_; }
  features::Accessibility& accessibility() { return *accessibility_; }
  features::HotKey& hotKey() { return *hotKey_; }
  capture::EditPanel& editPanel() { return *editPanel_; }
  features::About& about() { return *about_; }
  capture::IconCache& icons() { return *icons_; }
  capture::BrowserCapture& browserCapture() { return *browserCapture_; }
  capture::ClipboardCapture& clipboardCapture() { return *clipboardCapture_; }
  features::CaptureThumbnail& thumbnail() { return *thumbnail_; }
  features::RecycleBin& recycleBin() { return *recycleBin_; }
  features::Exchange& exchange() { return *exchange_; }
  features::BackupPage& backupPage() { return *backupPage_; }
  ui::EditControl& searchBox() { return *searchBox_; }
  BrowserChoice& browser() { return *browser_; }
  ui::Busy& busy() { return busy_; }

  // Parts, for the program's other layers and for tests.
  platform::Platform& platform() { return platform_; }
  store::BookmarkStore& store() { return *store_; }
  const store::DataPaths& paths() const { return paths_; }
  ui::Window& mainWindow() { return *main_; }
  ui::Window& rightEdgeWindow() { return docking_->rightEdge(); }
  ui::Window& leftEdgeWindow() { return docking_->leftEdge(); }
  ui::Window& recycleBinWindow() { return *bin_; }
  ui::Window& sideListWindow() { return *sideList_; }
  canvas::AnimationBox& header() { return header_->box(); }
  canvas::AnimationBox& badgeCanvas() { return bow_->box(); }
  ui::TabControl& pages() { return *pages_; }
  ui::Label& progressLabel() { return *progress_; }
  ui::Label& startLabel() { return *startLabel_; }
  ui::Label& closeLabel() { return *closeLabel_; }
  ui::Label& exitLabel() { return *exitLabel_; }
  ui::Control& bottomBar() { return *bottomBar_; }
  bool loading() const { return loading_; }
  // The category shown; none in a flat view or before the list exists.
  std::optional<store::EntryId> currentCategory() const {
    return list_ ? list_->category() : std::nullopt;
  }
  list::BookmarkList& list() { return *list_; }
  list::ListInteraction& interaction() { return *interaction_; }
  ui::CanvasControl& listCanvas() { return *listControl_; }
  ui::Control& positionIndicator() { return *indicator_; }
  ui::Label& firstRowLabel() { return *firstRowLabel_; }
  ui::Label& rowCountLabel() { return *rowCountLabel_; }
  const std::vector<canvas::ObjectId>& breadcrumb() const { return breadcrumb_->bars(); }
  int listTop() const { return listControl_->top(); }
  const std::string& browserPath() const { return browser_->path(); }
  bool trayIconShown() const { return trayShown_; }

  // Header objects (ids on the header canvas).
  struct HeaderObjects {
    canvas::ObjectId pinStrip = 0, toolbarStrip = 0, addButton = 0, newCategoryButton = 0, searchFieldFrame = 0,
                     browserBadge = 0, barTemplate = 0, viewTabMarker = 0;
    canvas::ObjectId badgeIcon = 0, badgeFrame = 0;  // on the badge canvas
  };
  const HeaderObjects& headerObjects() const { return objects_; }

  static constexpr int kRowHeight = features::kRowHeight;
  // The capture's balloon points this far right of the edge tab.
  static constexpr int kBinTitleLength = 42;
  static constexpr int kMainWidth = features::kMainWidth;
  static constexpr int kDockedLeft = features::kDockedLeft;

 private:
  void buildWindows();
  void buildRooms();
  bool recoverFromCrash();
  void ensureDataFiles();
  void loadIconStrip();
  void buildCaptures();
  void createHeaderObjects();
  void buildList();
  void addTrayIcon();
  void onTrayEvent(platform::TrayEvent e);
  void showFromAnotherCopy();
  void showBinWindow();

  platform::Platform& platform_;
  text::FileSystem& fs_;
  Settings settings_;
  store::DataPaths paths_;
  std::unique_ptr<store::BookmarkStore> store_;
  features::Pictures pictures_;
  ui::Busy busy_;
  platform::Platform::TimerId saveRetryTimer_ = 0;
  std::unique_ptr<store::Backups> backups_;
  std::unique_ptr<platform::Worker> backupWorker_;

  std::unique_ptr<ui::Window> main_, bin_, sideList_;
  ui::CanvasControl* header_ = nullptr;
  ui::CanvasControl* listControl_ = nullptr;
  std::unique_ptr<list::BookmarkList> list_;
  std::unique_ptr<list::ListInteraction> interaction_;
  std::unique_ptr<features::OverlayPages> overlay_;
  std::unique_ptr<features::Docking> docking_;
  std::unique_ptr<features::Breadcrumb> breadcrumb_;
  std::unique_ptr<features::CategoryPanel> categoryPanel_;
  std::unique_ptr<features::Search> search_;
  std::unique_ptr<capture::EditPanel> editPanel_;
  std::unique_ptr<features::About> about_;
  std::unique_ptr<capture::IconCache> icons_;
  std::unique_ptr<capture::BrowserCapture> browserCapture_;
  std::unique_ptr<capture::ClipboardCapture> clipboardCapture_;
  std::unique_ptr<features::CaptureThumbnail> thumbnail_;
  std::unique_ptr<features::RecycleBin> recycleBin_;
  std::unique_ptr<features::Exchange> exchange_;
  std::unique_ptr<features::BackupPage> backupPage_;
  std::unique_ptr<features::Keyboard> keyboard_;
  std::unique_ptr<features::Accessibility> accessibility_;
  std::unique_ptr<features::HotKey> hotKey_;
  ui::EditControl* searchBox_ = nullptr;  // 查找编辑框
  std::unique_ptr<BrowserChoice> browser_;
  ui::CanvasControl* bow_ = nullptr;
  ui::Control* bottomBar_ = nullptr;
  ui::TabControl* pages_ = nullptr;
  ui::PictureBox* startPage_ = nullptr;
  ui::Label* progress_ = nullptr;
  ui::Label* versionLabel_ = nullptr;
  ui::Label* startLabel_ = nullptr;
  ui::Label* closeLabel_ = nullptr;
  ui::Label* exitLabel_ = nullptr;
  HeaderObjects objects_;
  ui::PictureBox* indicator_ = nullptr;  // 位置外形框
  ui::Label* firstRowLabel_ = nullptr;   // 标签16
  ui::Label* rowCountLabel_ = nullptr;   // 标签17

  bool refreshIconsWhenIdle_ = false;  // a picture arrived during long work
  bool loading_ = false;
  bool loadedOnce_ = false;
  bool skipLogReplay_ = false;  // the change log of a crashed start could not be set aside
  bool trayShown_ = false;
  bool claimed_ = false;  // this copy holds its data folder
  int screenW_ = 0, screenH_ = 0;
};

}  // namespace lh::app
