#include "app/application.h"

#include "list/launch.h"
#include "resources/resources.h"
#include "store/codec.h"
#include "text/gbk.h"
#include "text/ini.h"
#include "text/rules.h"
#include "ui/layout.h"

namespace lh::app {

using features::addLabel;
using resources::Resource;

namespace {

constexpr std::uint32_t kListBackground = 0xF7F7F7;  // RGB (247, 247, 247)

// Titles of the ten fixed entries a first run creates.
const char* const kFixedTitles[10] = {"我的收藏", "回收站", "保留3", "保留4", "保留5",
                                       "保留6",   "保留7",  "保留8", "保留9", "保留10"};

}  // namespace

Application::Application(platform::Platform& platform, text::FileSystem& fs, Settings settings)
    : platform_(platform), fs_(fs), settings_(std::move(settings)) {}

Application::~Application() {
  if (claimed_) platform_.releaseSingleInstance(paths_.dataDir);
}

// ------------------------------------------------------------ start-up

void Application::startUp() {
  // 0. One copy per data folder: a second start shows the first copy and
  // ends before it touches a file.
  paths_ = store::DataPaths::fromRunDir(platform_.runDirectory());
  if (!platform_.claimSingleInstance(paths_.dataDir, [this] { showFromAnotherCopy(); })) platform_.exitProcess(0);
  claimed_ = true;
  // 1. The server ping: connect, close, whatever the outcome.
  platform_.tcpConnect(settings_.serverHost, settings_.serverPort, settings_.connectTimeoutMs);
  // 2. Paths (and, on a first run, the data directory and its store file).
  store_ = std::make_unique<store::BookmarkStore>(fs_, paths_.storeFile, paths_.changeLog);
  watchUnsavedChanges();
  backups_ = std::make_unique<store::Backups>(fs_, paths_.dataDir);
  backupWorker_ = platform_.createWorker();
  ensureDataFiles();
  // 3. A start marker left by a start that never finished.
  skipLogReplay_ = !recoverFromCrash();
  // 4. The start marker, until the windows are up.
  fs_.write(paths_.startMarker, "");
  // 5. Defaults are the constants of the rooms and the fonts.
  // 6. The tray icon.
  addTrayIcon();
  // 7. The screen.
  const platform::Point screen = platform_.screenSize();
  screenW_ = screen.x;
  screenH_ = screen.y;
  // 8. The windows, hidden.
  buildWindows();
  // 9. The icon strip.
  loadIconStrip();
  // 10. Geometry.
  header_->setHeight(screenH_);
  main_->setBounds({screenW_ / 2 - kMainWidth / 2, 0, kMainWidth, screenH_});
  // 11. The start page.
  overlay_->showWholeWindow(features::OverlayPages::Start);
  startPage_->setTop(screenH_ / 2 - startPage_->height());
  // 12-13.
  header_->setWidth(main_->width());
  bottomBar_->setTop(main_->height() - bottomBar_->height());
  docking_->placeCompanions();
  sideList_->moveTo(main_->left() + main_->width() + 10, sideList_->top());
  docking_->showAll();
  paintAll();
  // 14.
  fs_.remove(paths_.startMarker);
  // 15.
  runLoadSequence();
  // 16.
  platform_.playSound(resources::bytes(Resource::StartupSound));
}

void Application::addTrayIcon() {
  trayShown_ = platform_.addTrayIcon(resources::bytes(Resource::TrayIcon), settings_.productLabel,
                                     [this](platform::TrayEvent e) { onTrayEvent(e); });
}

void Application::showFromAnotherCopy() {
  if (!loadedOnce_ || !docking_) return;  // still starting: it shows itself
  docking_->slideIn();
  main_->host().raise(true);
  main_->host().setForeground();
}

void Application::ensureDataFiles() {
  if (!fs_.isDirectory(paths_.dataDir)) fs_.makeDirectory(paths_.dataDir);
  if (fs_.exists(paths_.storeFile)) return;
  // A first run: the ten fixed entries, all empty categories.
  std::string file;
  for (int i = 0; i < store::kLastFixedEntry; ++i) {
    store::Entry e;
    e.title = kFixedTitles[i];
    e.members() = "u";
    e.kind = store::kCategory;
    e.added = platform_.oleNow();
    file += store::serializeLine(e) + "\r\n";
  }
  fs_.replace(paths_.storeFile, file);
}

bool Application::recoverFromCrash() {
  if (!fs_.exists(paths_.startMarker)) return true;
  // The store loads from the store file alone; the change log is kept aside
  // (never deleted) so that no change is destroyed.
  bool setAside = true;
  if (fs_.exists(paths_.changeLog)) {
    const std::string backup = store::freeBackupName(fs_, paths_.changeLog);
    if (!fs_.rename(paths_.changeLog, backup)) {
      // A log held open elsewhere: copy it aside, then empty it.
      const auto bytes = fs_.readAll(paths_.changeLog);
      setAside = bytes && fs_.write(backup, *bytes) && (fs_.remove(paths_.changeLog) || fs_.write(paths_.changeLog, ""));
      // Whatever happened, this start does not replay it: the message says
      // the changes since the last good start were discarded.
    }
  }
  fs_.remove(paths_.startMarker);
  platform_.messageBox("有错误，数据恢复", "信息：");
  return setAside && fs_.readAll(paths_.changeLog).value_or(std::string()).empty();
}

void Application::loadIconStrip() {
  capture::IconCache::Hooks hooks;
  const auto refreshRows = [this] {
    if (list_) list_->refreshIcons();
    if (recycleBin_) recycleBin_->refreshIcons();
  };
  hooks.refreshRows = [this, refreshRows] {
    // Long work that lets messages through may hold the list between two
    // states (a sort has left the category but not yet built its rows):
    // the rows on screen are refreshed once it has ended.
    if (busy_.busy()) {
      refreshIconsWhenIdle_ = true;
      return;
    }
    refreshRows();
  };
  busy_.onChange.push_back([this, refreshRows](bool busy) {
    if (busy || !refreshIconsWhenIdle_) return;
    refreshIconsWhenIdle_ = false;
    refreshRows();
  });
  hooks.showInPanel = [this](store::EntryId id, const list::Pic& picture) {
    // Only into the panel still showing that bookmark.
    if (editPanel_ && overlay_->shown() == features::OverlayPages::Bookmark && editPanel_->modeMarker() == "0" &&
        editPanel_->editedEntryId() == id) {
      editPanel_->iconBox().setPicture(picture);
    }
  };
  icons_ = std::make_unique<capture::IconCache>(platform_, fs_, paths_, *store_,
                                                std::string(resources::bytes(Resource::DefaultSiteIcon)),
                                                pictures_(Resource::DefaultSiteIcon), std::move(hooks));
  icons_->loadStrip();
}

void Application::buildCaptures() {
  thumbnail_ = std::make_unique<features::CaptureThumbnail>(platform_, [this] { return main_->left(); });
  capture::BrowserCapture::Hooks hooks;
  hooks.pointToCapture = [this] { return docking_->capturePoint(); };
  hooks.balloonPoint = [this] {
    // Right of the edge tab, which would cover the balloon's first
    // characters (the tray icon's point is far from it).
    const platform::Point cursor = platform_.cursorPosition();
    return platform::Point{std::max(cursor.x, docking_->capturePoint().x + layout::kBalloonClearance), cursor.y};
  };
  hooks.configuredClass = [this] {
    return text::readProfileString(fs_, paths_.settingsFile, store::kBrowserSection, store::kAddressControlKey);
  };
  hooks.recycleExisting = [this](const std::string& address) { return editPanel_->recycleExisting(address); };
  hooks.addBookmark = [this](const std::string& title, const std::string& address, const std::string& note) {
    return editPanel_->addTypedBookmark(title, address, note);
  };
  hooks.showThumbnail = [this] { thumbnail_->show(); };
  browserCapture_ = std::make_unique<capture::BrowserCapture>(platform_, busy_, std::move(hooks));
  docking_->onRightEdgeRightClick = [this] { browserCapture_->captureFromBrowser(); };
  capture::ClipboardCapture::Hooks clip;
  clip.columnLeft = [this] { return main_->left(); };
  clip.pointToCapture = [this] { return docking_->capturePoint(); };
  clip.closeAddPanel = [this] {
    if (editPanel_->modeMarker() != "1") return;
    editPanel_->setModeMarker("0");
    overlay_->hide();
  };
  clip.resetPointer = [this] {
    interaction_->pointAtVisibleRow(1);
    bin_->moveTo(bin_->left(), main_->top() + listTop());
  };
  clipboardCapture_ = std::make_unique<capture::ClipboardCapture>(platform_, *browserCapture_, std::move(clip));
}

void Application::buildWindows() {
  auto& raster = platform_.textRasterizer();
  const int h = screenH_;
  main_ = std::make_unique<ui::Window>(
      platform_, platform::WindowOptions{{0, 0, kMainWidth, h}, true, false, false, "Linkhoard"}, kListBackground);
  header_ = &main_->add<ui::CanvasControl>("顶框", raster, kMainWidth, h);
  header_->box().setBackground(kListBackground);
  const int listHeight = std::max(0, h - features::listTopFor(1) - features::kBottomBarHeight);
  listControl_ = &main_->add<ui::CanvasControl>("超级列表框", raster, kMainWidth, listHeight);
  listControl_->setBounds(0, features::listTopFor(1), kMainWidth, listHeight);
  listControl_->box().setBackground(kListBackground);
  busy_.guard(*header_);
  busy_.guard(*listControl_);

  auto& bar = main_->add<ui::PictureBox>("底边栏");
  bar.setBounds(0, h - features::kBottomBarHeight, kMainWidth, features::kBottomBarHeight);
  bar.setBackground(0xF0F0F0);
  bottomBar_ = &bar;
  exitLabel_ = &addLabel(bar, "标签25", "退出", 0x808080, {300, 12, 30, 14}, raster);
  exitLabel_->onClick = [this] { exitProgram(); };

  // The position indicator, 20 pixels above the list: first row / rows.
  // Under the pages (added before them): a page shown covers it, as it
  // covers the list it tells of.
  indicator_ = &main_->add<ui::PictureBox>("位置外形框");
  indicator_->setBounds(layout::kIndicator.left, features::listTopFor(1) + layout::kIndicator.top, layout::kIndicator.width,
                        layout::kIndicator.height);
  firstRowLabel_ = &addLabel(*indicator_, "标签16", "1", 0xA0A0A0, {20, 4, 40, 14}, raster);
  rowCountLabel_ = &addLabel(*indicator_, "标签17", "0", 0xA0A0A0, {66, 4, 40, 14}, raster);

  pages_ = &main_->add<ui::TabControl>(
      "选择夹3", std::vector<std::string>{"收藏", "分类", "登陆", "选项", "关于", "导入", "同步", "备份"});
  pages_->setBounds(0, 160, kMainWidth, std::max(0, h - 160));
  pages_->setVisible(false);
  overlay_ = std::make_unique<features::OverlayPages>(*pages_, bar);
  startPage_ = &pages_->page(2).add<ui::PictureBox>("图片框6");
  startPage_->setBounds(0, 0, kMainWidth, 160);
  progress_ = &addLabel(*startPage_, "标签27", "zovo", 0x808080, {150, 60, 60, 14}, raster);
  versionLabel_ = &addLabel(*startPage_, "标签13", settings_.productLabel, 0xA0A0A0, {130, 90, 120, 14}, raster);
  startLabel_ = &addLabel(*startPage_, "透明标签1", "开始", 0x404040, {120, 130, 30, 14}, raster);
  startLabel_->onClick = [this] {
    if (loading_) return;  // never a nested load
    startLabel_->setVisible(false);
    runLoadSequence();
  };
  closeLabel_ = &addLabel(*startPage_, "透明标签2", "关闭", 0x404040, {200, 130, 30, 14}, raster);
  closeLabel_->onClick = [this] { exitProgram(); };

  // The search box over its frame.
  platform::EditOptions search;
  search.bounds = features::boundsOf(layout::kSearchBox);
  search.maxBytes = 200;
  searchBox_ = &main_->add<ui::EditControl>("查找编辑框", main_->host(), search);

  // The badge canvas: composes the browser badge, never shown.
  bow_ = &main_->add<ui::CanvasControl>("bow", raster, 36, 22);
  bow_->setBounds(0, 0, 36, 22);
  bow_->setVisible(false);
  bow_->box().setBackground(0xFFFFFF);

  auto& hostEvents = main_->host().events;
  hostEvents.closeRequested = [this] {
    exitProgram();
    return true;
  };
  hostEvents.deactivated = [this] {
    if (interaction_) interaction_->deactivated();
    if (docking_) docking_->endDrag();
  };

  bin_ = std::make_unique<ui::Window>(
      platform_, platform::WindowOptions{{0, 0, 300, 400}, true, false, false, "RecycleBinWindow"}, 0xFFFFFF);
  sideList_ = std::make_unique<ui::Window>(
      platform_, platform::WindowOptions{{0, 0, kMainWidth, 20}, true, true, false, "SideListWindow"}, 0xFFFFFF);

  docking_ = std::make_unique<features::Docking>(platform_, *main_, *bin_, screenW_, screenH_);
  docking_->buildEdgeWindows();
  browser_ = std::make_unique<BrowserChoice>(platform_, fs_, paths_, *bow_, pictures_);
}

void Application::showBinWindow() { recycleBin_->showBin(); }

void Application::paintAll() {
  if (!main_) return;
  main_->paint();
  bin_->paint();
  sideList_->paint();
}

// ------------------------------------------------------------ loading


void Application::runLoadSequence() {
  if (loading_) return;
  loading_ = true;
  {
    // The load lets messages through: the list and the header take no
    // pointer input until it is done.
    ui::Busy::Scope busy(&busy_);
    features::LabelProgress observer(*progress_, *main_, platform_);
    store_->readStoreFile(&observer);
    if (!loadedOnce_) {
      buildList();
      buildRooms();
      buildCaptures();
      createHeaderObjects();
    }
    if (!skipLogReplay_) store_->replayLog(&observer);
    // A store without its fixed entries gets them now, before anything can
    // change it.
    store_->ensureFixedEntries(kFixedTitles, platform_.oleNow());
    breadcrumb_->openRoot();
  }
  // A store file or change log that is there but could not be read: the
  // store takes no change this run (nothing is written over data not read),
  // and the user is told so instead of seeing changes silently vanish.
  if (store_->readOnly()) platform_.messageBox("数据文件无法读取，本次运行中的修改不会保存", "信息：");
  if (store_->count() >= store::kRecycleBin && store_->entry(store::kRecycleBin).members() != "u") showBinWindow();
  platform_.processPendingMessages();
  browser_->init();
  platform_.trimWorkingSet();
  overlay_->hide();
  docking_->slideIn();
  // 15b: the clipboard watcher.
  platform_.installClipboardWatcher(main_->host(), [this] { clipboardCapture_->clipboardChanged(); });
  if (!loadedOnce_) hotKey_->start(fs_, paths_.settingsFile);
  // Hosts without a picture are tried again in the background.
  if (!loadedOnce_) icons_->planRetry();
  // The day's copy of the store file, as folded, off the GUI thread.
  if (!loadedOnce_ && !store_->readOnly()) copyStoreInTheBackground();
  // Conflict copies of a synced data folder: said once, offered on the
  // backup page.
  if (!loadedOnce_) tellOfConflictCopies();
  loadedOnce_ = true;
  loading_ = false;
  paintAll();
}

void Application::buildList() {
  list_ = std::make_unique<list::BookmarkList>(listControl_->box(), *store_, platform_, features::listLook(pictures_),
                                               screenH_);
  list_->setBusy(&busy_);
  list_->setIconSource([this](const std::string& url) { return icons_->iconPictureOf(url); });
  list_->buildSlots();
  list_->setIndicator([this](bool shown) { indicator_->setVisible(shown); },
                      [this](int first, int count) {
                        firstRowLabel_->setCaption(std::to_string(first));
                        rowCountLabel_->setCaption(std::to_string(count));
                      });
  list_->setThumbConfinement([this](bool confine) {
    if (!confine) {
      platform_.clipCursor(std::nullopt);
      return;
    }
    // The thumb's column of the list, in screen coordinates.
    platform_.clipCursor(platform::Bounds{main_->left() + layout::kThumbX, main_->top() + listTop(), layout::kThumbWidth,
                                          list_->listHeight()});
  });
  list::ListInteraction::Hooks hooks;
  hooks.activateWindow = [this] {
    main_->host().setForeground();
    main_->host().takeFocus();
  };
  hooks.pointerMoved = [this] {
    if (keyboard_) keyboard_->pointerOverList();
  };
  hooks.openCategory = [this](store::EntryId id, int level, bool push) {
    breadcrumb_->openCategory(id, level, push);
  };
  hooks.barCount = [this] { return static_cast<int>(breadcrumb_->bars().size()); };
  hooks.browserPath = [this] { return browser_->path(); };
  hooks.showRenamePanel = [this](store::EntryId id) { categoryPanel_->showRename(id); };
  hooks.openEditPanel = [this](store::EntryId id) { editPanel_->openEditPanel(id); };
  hooks.keyboardMoved = [this](int r) {
    if (accessibility_) accessibility_->rowFocused(r);
  };
  hooks.separatorSound = [this] { platform_.playSound(resources::bytes(Resource::SeparatorSound)); };
  hooks.removalSound = [this] { platform_.playSound(resources::bytes(Resource::RemovalSound)); };
  interaction_ = std::make_unique<list::ListInteraction>(*list_, listControl_->box(), *store_, platform_, hooks);
}

void Application::buildRooms() {
  breadcrumb_ = std::make_unique<features::Breadcrumb>(features::Breadcrumb::Parts{
      platform_, *store_, header_->box(), *listControl_, *indicator_, *bottomBar_, *list_, pictures_});
  breadcrumb_->cancelOnNavigation.push_back([this] { list_->cancelAnimations(); });
  breadcrumb_->cancelOnNavigation.push_back([this] { interaction_->cancelAnimations(); });
  search_ = std::make_unique<features::Search>(platform_, busy_, *store_, *list_, *breadcrumb_, *searchBox_);
  breadcrumb_->leftFlatView = [this] { search_->clear(); };
  // The bin and the list's pointer see each other through list/bin_link.h.
  recycleBin_ = std::make_unique<features::RecycleBin>(features::RecycleBin::Parts{
      platform_, *store_, *list_, *interaction_, listControl_->box(), *main_, *bin_, *sideList_, pictures_,
      [this](const std::string& url) { return icons_->iconPictureOf(url); }, [this] { return listTop(); }, screenH_});
  recycleBin_->build();
  recycleBin_->beforeEmptyingMany = [this] { copyStoreBeforeMassChange(); };
  interaction_->linkBin(recycleBin_.get());
  busy_.guard(recycleBin_->strip());
  breadcrumb_->cancelOnNavigation.push_back([this] { recycleBin_->settle(); });
  breadcrumb_->listMoved = [this] { recycleBin_->listMoved(); };
  categoryPanel_ = std::make_unique<features::CategoryPanel>(platform_, *store_, *list_, *overlay_, *main_, pictures_);
  auto showCategory = [this](store::EntryId id, int firstRow) {
    breadcrumb_->settle();
    list_->showCategory(id, firstRow);
  };
  categoryPanel_->showCategory = showCategory;
  categoryPanel_->deferWhileBusy(busy_);
  capture::EditPanel::Hooks panelHooks;
  panelHooks.iconOf = [this](const std::string& url) { return icons_->iconPictureOf(url); };
  panelHooks.refreshIcon = [this](store::EntryId id) { icons_->panelIconClick(id); };
  panelHooks.newBookmark = [this](store::EntryId id) { icons_->iconForNewBookmark(id); };
  panelHooks.showCategory = showCategory;
  panelHooks.showBin = [this] { showBinWindow(); };
  panelHooks.slidOut = [this] { return main_->left() < 21 - main_->width(); };
  panelHooks.slideIn = [this] { docking_->slideIn(); };
  about_ = std::make_unique<features::About>(platform_, *overlay_, *bottomBar_, pictures_, settings_.productLabel, [this] {
    platform_.launch(list::browserCommandLine(browser_->path(), settings_.productSite));
  });
  editPanel_ = std::make_unique<capture::EditPanel>(platform_, busy_, *store_, *list_, *overlay_, *main_, pictures_,
                                                    std::move(panelHooks));
  features::Exchange::Hooks exchangeHooks;
  exchangeHooks.renumbered = [this] {
    // Every id the window holds is stale: the list starts again at the root.
    icons_->queueIconFetches({});
    icons_->idsChanged();
    // A search shown goes with its stale results; a word in the box (typed
    // meanwhile, too) is searched again once the import has ended.
    const std::string typed = searchBox_->text();
    search_->clear();
    breadcrumb_->openRoot();
    if (!typed.empty()) searchBox_->setText(typed);
    if (recycleBin_->binShown()) recycleBin_->fillBin();
  };
  exchangeHooks.redrawList = [this] {
    if (const auto shown = list_->category()) list_->showCategory(*shown, list_->firstRow());
  };
  exchangeHooks.queueIcons = [this](std::vector<store::EntryId> ids) { icons_->queueIconFetches(std::move(ids)); };
  exchangeHooks.hasIcon = [this](const std::string& url) { return icons_->iconIndexOf(text::hostOf(url)) != 0; };
  exchangeHooks.beforeMassChange = [this] { copyStoreBeforeMassChange(); };
  exchange_ = std::make_unique<features::Exchange>(platform_, busy_, *store_, fs_, *overlay_, *bottomBar_, *main_,
                                                   pictures_, std::move(exchangeHooks));
  backupPage_ = std::make_unique<features::BackupPage>(platform_, fs_, paths_.dataDir, *backups_, *overlay_,
                                                       *bottomBar_, *exchange_, pictures_);
  keyboard_ = std::make_unique<features::Keyboard>(
      features::Keyboard::Parts{*main_, busy_, *interaction_, *breadcrumb_, *overlay_, *search_, *searchBox_});
  features::HotKey::Hooks hotKeyHooks;
  hotKeyHooks.windowIn = [this] { return docking_->windowShown() && main_->visible(); };
  hotKeyHooks.bringIn = [this] {
    docking_->turnSlideIn();
    // As the tray icon does: the bin window comes back when it was in use
    // (hiding the windows hid it).
    if (recycleBin_->binShown()) bin_->setVisible(true);
    main_->host().raise(true);
    main_->host().setForeground();
    main_->host().takeFocus();
  };
  hotKeyHooks.sendOut = [this] { docking_->turnSlideOut(); };
  hotKeyHooks.tell = [this](const std::string& text) {
    platform_.showBalloon({main_->left() + layout::kBalloonX, layout::kBalloonY}, text, 5000);
  };
  hotKey_ = std::make_unique<features::HotKey>(platform_, std::move(hotKeyHooks));
}

void Application::createHeaderObjects() {
  // In start-up order; each room gives its objects their handlers.
  auto& h = header_->box();
  auto plain = [&h](double x, double y, int layer, std::shared_ptr<const canvas::Picture> p, bool visible = true) {
    const canvas::ObjectId id = h.createObject(x, y, visible);
    if (p) h.setPicture(id, std::move(p));
    h.setLayer(id, layer);
    return id;
  };
  docking_->createTopStrip(h, pictures_);
  objects_.pinStrip = docking_->topStrip();
  objects_.toolbarStrip = plain(0, 87, 8, pictures_(Resource::ToolbarStrip));
  editPanel_->createHeaderButton(h, pictures_);
  objects_.addButton = editPanel_->headerButton();
  categoryPanel_->createHeaderButton(h, pictures_);
  objects_.newCategoryButton = categoryPanel_->headerButton();
  objects_.searchFieldFrame = plain(112, 118, 8, pictures_(Resource::SearchFieldFrame));
  browser_->createBadge(
      h, [this] { return docking_->capturePoint(); }, [this] { return main_->left(); });
  objects_.browserBadge = browser_->badge();
  breadcrumb_->createHeaderObjects();
  objects_.barTemplate = breadcrumb_->barTemplate();
  objects_.viewTabMarker = breadcrumb_->viewTabMarker();
  // Six objects without a picture.
  plain(300, 120, 7, nullptr);
  plain(0, -100, 0, nullptr, false);
  for (int layer : {2, 3, 6, 7}) plain(0, 0, layer, nullptr);
  objects_.badgeIcon = browser_->badgeIcon();
  accessibility_ = std::make_unique<features::Accessibility>(
      features::Accessibility::Parts{*main_, *store_, *list_, *interaction_, *breadcrumb_, *listControl_, *header_,
                                     busy_, *overlay_},
      std::vector<features::Accessibility::HeaderButton>{{"添加收藏", objects_.addButton},
                                                         {"新建分类", objects_.newCategoryButton},
                                                         {"选择浏览器", objects_.browserBadge}});
}

// ------------------------------------------------------------ copies of the store

void Application::copyStoreInTheBackground() {
  const double now = platform_.oleNow();
  const std::string file = paths_.storeFile;
  store::Backups* backups = backups_.get();
  text::FileSystem* fs = &fs_;
  backupWorker_->start([backups, fs, file, now](const platform::CancelFlag&) {
    if (const std::optional<std::string> bytes = fs->readAll(file)) backups->write(*bytes, now, true);
    return platform::Worker::Delivery();
  });
}

void Application::tellOfConflictCopies() {
  const std::size_t n = store::findConflictCopies(fs_, paths_.dataDir).size();
  if (n == 0) return;
  platform_.showBalloon({main_->left() + layout::kBalloonX, layout::kBalloonY},
                        "发现 " + std::to_string(n) + " 个同步冲突副本，可在“备份”页恢复", 8000);
}

void Application::copyStoreBeforeMassChange() {
  // Whatever the day: what memory holds now, the log's changes included
  // (after the day's copy, should that still be on its way).
  if (!store_->readOnly()) backups_->write(store_->fileBytes(), platform_.oleNow(), false);
}

// ------------------------------------------------------------ changes the log could not take

void Application::watchUnsavedChanges() {
  // An append to the log failed: the change stays in memory with the ones
  // after it, the user is told once (after the event at hand, never inside
  // a change), and the store is folded every kUnsavedRetryMs until that
  // writes them all.
  saveRetryTimer_ = platform_.createTimer([this] {
    if (!store_->unsaved() || store_->loading() || busy_.busy()) return;
    if (store_->saveAll()) platform_.setTimerPeriod(saveRetryTimer_, 0);
  });
  store_->onCannotSave([this](const std::string& reason) {
    platform_.setTimerPeriod(saveRetryTimer_, kUnsavedRetryMs);
    platform_.post([this, reason] { platform_.messageBox(std::string(kCannotSave) + reason, "信息："); });
  });
}

// ------------------------------------------------------------ exit

void Application::exitProgram() {
  // What the log could not take is written now, if it can be.
  if (store_ && store_->unsaved() && !store_->loading()) static_cast<void>(store_->saveAll());
  platform_.restoreWindowProcedure();
  platform_.leaveClipboardChain();
  platform_.removeTrayIcon();
  main_->setVisible(false);
  if (docking_) {
    docking_->endDrag();
    docking_->rightEdge().setVisible(false);
    docking_->leftEdge().setVisible(false);
  }
  platform_.exitProcess(0);
}

void Application::onTrayEvent(platform::TrayEvent e) {
  if (e == platform::TrayEvent::LeftUp) {
    docking_->showAll();
    main_->host().raise(false);
    // The bin window comes back when it was in use.
    if (recycleBin_ && recycleBin_->binShown()) bin_->setVisible(true);
  }
  // A double click does nothing.
  if (e == platform::TrayEvent::RightUp && browserCapture_) browserCapture_->captureFromBrowser();
}

}  // namespace lh::app
