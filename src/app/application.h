// The program: its windows, its store, and the start-up, load and exit
// sequences; the browser choice; the edge windows and the slides.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "canvas/animation_box.h"
#include "list/bookmark_list.h"
#include "list/list_interaction.h"
#include "platform/platform.h"
#include "store/bookmark_store.h"
#include "store/data_paths.h"
#include "text/filesystem.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace lh::app {

#ifndef LH_SERVER_HOST
#define LH_SERVER_HOST "127.0.0.1"
#endif

struct Settings {
  std::string serverHost = LH_SERVER_HOST;  // the start-up ping's server (a build setting)
  int serverPort = 333;
  int connectTimeoutMs = 3000;
  std::string productLabel = "Linkhoard v1.6";
};

// Fonts of the program.
canvas::FontSpec fontA();  // 新宋体 11 pt
canvas::FontSpec fontB();  // 新宋体 9 pt
canvas::FontSpec fontC();  // 新宋体 9 pt bold

class Application {
 public:
  Application(platform::Platform& platform, text::FileSystem& fs, Settings settings = {});
  ~Application();

  // The main window's creation handler: every step from the server ping to
  // the start-up sound.
  void startUp();
  // Loading the store and everything that follows it (also run by the start
  // page's "开始" label; never nested).
  void runLoadSequence();
  // Restores the window procedure, leaves the clipboard chain, removes the
  // tray icon, hides the windows and ends the process.
  [[noreturn]] void exitProgram();
  // Repaints what changed in every window (the message loop's idle work).
  void paintAll();

  // Browser choice.
  void initBrowser();
  void detectSystemBrowser();
  void pickBrowserAtPoint();
  void showBrowserBadge(const canvas::Picture& icon32);
  const std::string& browserPath() const { return browserPath_; }

  // Edge docking.
  void slideIn();
  void slideOut();
  void hideAll();
  void placeCompanions();
  void layoutWindows();
  bool windowShown() const { return windowShown_; }
  platform::Point capturePoint() const;

  // Parts, for the program's other layers and for tests.
  platform::Platform& platform() { return platform_; }
  store::BookmarkStore& store() { return *store_; }
  const store::DataPaths& paths() const { return paths_; }
  ui::Window& mainWindow() { return *main_; }
  ui::Window& rightEdgeWindow() { return *rightEdge_; }
  ui::Window& leftEdgeWindow() { return *leftEdge_; }
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
  int currentCategory() const { return list_ ? list_->currentCategory : 0; }
  list::BookmarkList& list() { return *list_; }
  list::ListInteraction& interaction() { return *interaction_; }
  ui::CanvasControl& listCanvas() { return *listControl_; }
  ui::Control& positionIndicator() { return *indicator_; }
  ui::Label& firstRowLabel() { return *firstRowLabel_; }
  ui::Label& rowCountLabel() { return *rowCountLabel_; }
  // Breadcrumb: show category `id` as level `level`, pushing its bar or not.
  void openCategory(store::EntryId id, int level, bool push);
  const std::vector<canvas::ObjectId>& breadcrumb() const { return breadcrumb_; }
  int listTop() const { return listControl_->top(); }

  // Header objects (ids on the header canvas).
  struct HeaderObjects {
    canvas::ObjectId pinStrip = 0, toolbarStrip = 0, addButton = 0, newCategoryButton = 0, searchFieldFrame = 0,
                     browserBadge = 0, barTemplate = 0, viewTabMarker = 0;
    canvas::ObjectId badgeIcon = 0, badgeFrame = 0;  // on the badge canvas
  };
  const HeaderObjects& headerObjects() const { return objects_; }

  // Row height and the other start-up defaults.
  static constexpr int kRowHeight = 20;
  static constexpr int kBinTitleLength = 42;
  static constexpr int kMainWidth = 350;
  static constexpr int kDockedLeft = 6;

 private:
  void buildWindows();
  void recoverFromCrash();
  void ensureDataFiles();
  void loadIconStrip();
  void createHeaderObjects();
  void openRoot();
  void buildList();
  void pushCategoryBar(store::EntryId id);
  void pushViewBar(bool animate);
  void startBarAnimation(canvas::ObjectId bar);
  void placeViewTabMarker(int listTop);
  void headerObjectReleased(canvas::ObjectId o);
  void headerReleasedAt(int x, int y);
 public:
  void backToLevel(int level);
  // The category panel (page 1 of 选择夹3).
  void showCreatePanel();
  void showRenamePanel(store::EntryId id);
  void confirmCategoryPanel();
  void cancelCategoryPanel();
  ui::Label& categoryPrompt() { return *categoryPrompt_; }
  ui::EditControl& categoryEdit() { return *categoryEdit_; }
 private:
  void buildCategoryPanel();
  void placePanel(int page);
  void barTick();
  void setListTop(int top);
  void onTrayEvent(platform::TrayEvent e);
  void startSlide(int target);
  void slideTick();
  void dragTick();
  void writeBrowser(const std::string& path, const std::string& exeName);
  void presentAll();
  std::shared_ptr<const canvas::Picture> picture(int resource);

  platform::Platform& platform_;
  text::FileSystem& fs_;
  Settings settings_;
  store::DataPaths paths_;
  std::unique_ptr<store::BookmarkStore> store_;

  std::unique_ptr<ui::Window> main_, rightEdge_, leftEdge_, bin_, sideList_;
  ui::CanvasControl* header_ = nullptr;
  ui::CanvasControl* listControl_ = nullptr;
  std::unique_ptr<list::BookmarkList> list_;
  std::unique_ptr<list::ListInteraction> interaction_;
  std::vector<canvas::ObjectId> breadcrumb_;  // BreadcrumbStack, bottom first
  platform::Platform::TimerId barTimer_ = 0;  // 时钟2
  int barFrame_ = 0, barTarget_ = 0;
  canvas::ObjectId pushedBar_ = 0;
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
  ui::PictureBox* indicator_ = nullptr;      // 位置外形框
  ui::Label* firstRowLabel_ = nullptr;       // 标签16
  ui::Label* rowCountLabel_ = nullptr;       // 标签17
  ui::PictureBox* categoryPanel_ = nullptr;  // 图片框2
  ui::Label* categoryPrompt_ = nullptr;      // 标签12
  ui::EditControl* categoryEdit_ = nullptr;  // yy分类标题编辑框
  store::EntryId renameTarget_ = 0;

  std::vector<std::string> iconRecords_;
  std::map<int, std::shared_ptr<const canvas::Picture>> pictures_;
  std::string browserPath_;
  bool loading_ = false;
  bool loadedOnce_ = false;
  int screenW_ = 0, screenH_ = 0;

  // Slides and the drag along the top edge.
  bool windowShown_ = true;
  platform::Platform::TimerId slideTimer_ = 0;  // 时钟13
  platform::Platform::TimerId dragTimer_ = 0;   // 时钟14
  std::vector<int> slideFrames_;
  std::size_t slideFrame_ = 0;
  int dragOffset_ = 0;
};

}  // namespace lh::app
