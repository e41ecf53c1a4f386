#include "app/application.h"

#include <cmath>

#include "canvas/bmp_encode.h"
#include "canvas/decode.h"
#include "resources/resources.h"
#include "store/codec.h"
#include "text/gbk.h"
#include "text/ini.h"
#include "text/rules.h"

namespace lh::app {

using resources::Resource;

namespace {

constexpr std::uint32_t kListBackground = 0xF7F7F7;  // RGB (247, 247, 247)
constexpr int kBottomBarHeight = 36;
constexpr int kEdgeWidth = 20;

canvas::FontSpec font(int size, bool bold) {
  canvas::FontSpec f;
  f.size = size;
  f.bold = bold;
  f.face = "新宋体";
  return f;
}

// Titles of the ten fixed entries a first run creates.
const char* const kFixedTitles[10] = {"我的收藏", "回收站", "保留3", "保留4", "保留5",
                                       "保留6",   "保留7",  "保留8", "保留9", "保留10"};

// A label in font B: caption, colour (COLORREF) and bounds within its parent.
ui::Label& label(ui::Control& parent, const char* name, std::string caption, std::uint32_t colour,
                 const platform::Bounds& b, canvas::TextRasterizer& raster) {
  auto& l = parent.add<ui::Label>(name, raster, std::move(caption));
  l.setFont(fontB());
  l.setColour(colour);
  l.setBounds(b.left, b.top, b.width, b.height);
  return l;
}

// The display name of a browser: the file name without its extension.
std::string displayName(const std::string& path) {
  const std::size_t slash = text::findLast(path, "\\");
  const std::string file = slash == text::npos ? path : path.substr(slash + 1);
  const std::size_t dot = text::findLast(file, ".");
  return dot == text::npos ? file : file.substr(0, dot);
}

// The executable of an HTTP open command: the text inside the leading pair
// of quotes. A command that does not start with a quote is read up to the
// end of its ".exe", or else its first space.
std::string commandPath(const std::string& command) {
  if (!command.empty() && command[0] == '"') {
    const std::size_t q = command.find('"', 1);
    return q == std::string::npos ? std::string() : command.substr(1, q - 1);
  }
  const std::size_t exe = text::findCaseless(command, ".exe");
  if (exe != text::npos) return command.substr(0, exe + 4);
  return command.substr(0, command.find(' '));
}

}  // namespace

canvas::FontSpec fontA() { return font(11, false); }
canvas::FontSpec fontB() { return font(9, false); }
canvas::FontSpec fontC() { return font(9, true); }

Application::Application(platform::Platform& platform, text::FileSystem& fs, Settings settings)
    : platform_(platform), fs_(fs), settings_(std::move(settings)) {}

Application::~Application() = default;

std::shared_ptr<const canvas::Picture> Application::picture(int resource) {
  // Decoded once: hover pictures are set on every pointer enter and leave.
  auto& cached = pictures_[resource];
  if (!cached) {
    cached = std::make_shared<const canvas::Picture>(
        canvas::decodePicture(resources::bytes(static_cast<Resource>(resource)), canvas::Alpha::Premultiplied));
  }
  return cached;
}

// ------------------------------------------------------------ start-up

void Application::startUp() {
  // 1. The server ping: connect, close, whatever the outcome.
  platform_.tcpConnect(settings_.serverHost, settings_.serverPort, settings_.connectTimeoutMs);
  // 2. Paths (and, on a first run, the data directory and its store file).
  paths_ = store::DataPaths::fromRunDir(platform_.runDirectory());
  store_ = std::make_unique<store::BookmarkStore>(fs_, paths_.storeFile, paths_.changeLog);
  ensureDataFiles();
  // 3. A start marker left by a start that never finished.
  recoverFromCrash();
  // 4. The start marker, until the windows are up.
  fs_.write(paths_.startMarker, "");
  // 5. Defaults are the constants of this class and the fonts above.
  // 6. The tray icon.
  platform_.addTrayIcon(resources::bytes(Resource::TrayIcon), settings_.productLabel,
                        [this](platform::TrayEvent e) { onTrayEvent(e); });
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
  pages_->select(2);
  pages_->setBounds(0, 0, kMainWidth, screenH_);
  pages_->setVisible(true);
  startPage_->setTop(screenH_ / 2 - startPage_->height());
  // 12-13.
  layoutWindows();
  main_->setVisible(true);
  rightEdge_->setVisible(true);
  leftEdge_->setVisible(true);
  presentAll();
  // 14.
  fs_.remove(paths_.startMarker);
  // 15.
  runLoadSequence();
  // 16.
  platform_.playSound(resources::bytes(Resource::StartupSound));
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

void Application::recoverFromCrash() {
  if (!fs_.exists(paths_.startMarker)) return;
  // The store loads from the store file alone; the change log is kept aside
  // (never deleted) so that no change is destroyed.
  if (fs_.exists(paths_.changeLog)) {
    std::string backup = paths_.changeLog + ".bak";
    for (int n = 2; fs_.exists(backup); ++n) backup = paths_.changeLog + "." + std::to_string(n) + ".bak";
    fs_.rename(paths_.changeLog, backup);
  }
  fs_.remove(paths_.startMarker);
  platform_.messageBox("有错误，数据恢复", "信息：");
}

void Application::loadIconStrip() {
  const std::string strip = fs_.readAll(paths_.iconStrip).value_or(std::string());
  iconRecords_.clear();
  for (std::size_t at = 0; at + 822 <= strip.size(); at += 822) iconRecords_.push_back(strip.substr(at, 822));
  fs_.append(paths_.iconStrip, "");  // created when missing, contents kept
}

void Application::buildWindows() {
  auto& raster = platform_.textRasterizer();
  const int h = screenH_;
  main_ = std::make_unique<ui::Window>(platform_, platform::WindowOptions{{0, 0, kMainWidth, h}, true, false, false, "Linkhoard"},
                                       kListBackground);
  header_ = &main_->add<ui::CanvasControl>("顶框", raster, kMainWidth, h);
  header_->box().setBackground(kListBackground);
  listControl_ = &main_->add<ui::CanvasControl>("超级列表框", raster, kMainWidth, std::max(0, h - 202 - kBottomBarHeight));
  listControl_->setBounds(0, 202, kMainWidth, std::max(0, h - 202 - kBottomBarHeight));
  listControl_->box().setBackground(kListBackground);

  auto& bar = main_->add<ui::PictureBox>("底边栏");
  bar.setBounds(0, h - kBottomBarHeight, kMainWidth, kBottomBarHeight);
  bar.setBackground(0xF0F0F0);
  bottomBar_ = &bar;
  exitLabel_ = &label(bar, "标签25", "退出", 0x808080, {300, 12, 30, 14}, raster);
  exitLabel_->onClick = [this] { exitProgram(); };
  label(bar, "标签26", "关于", 0x808080, {262, 12, 30, 14}, raster);

  pages_ = &main_->add<ui::TabControl>(
      "选择夹3", std::vector<std::string>{"收藏", "分类", "登陆", "选项", "关于", "导入", "同步"});
  pages_->setBounds(0, 160, kMainWidth, std::max(0, h - 160));
  pages_->setVisible(false);
  startPage_ = &pages_->page(2).add<ui::PictureBox>("图片框6");
  startPage_->setBounds(0, 0, kMainWidth, 160);
  progress_ = &label(*startPage_, "标签27", "zovo", 0x808080, {150, 60, 60, 14}, raster);
  versionLabel_ = &label(*startPage_, "标签13", settings_.productLabel, 0xA0A0A0, {130, 90, 120, 14}, raster);
  startLabel_ = &label(*startPage_, "透明标签1", "开始", 0x404040, {120, 130, 30, 14}, raster);
  startLabel_->onClick = [this] {
    if (loading_) return;  // never a nested load
    startLabel_->setVisible(false);
    runLoadSequence();
  };
  closeLabel_ = &label(*startPage_, "透明标签2", "关闭", 0x404040, {200, 130, 30, 14}, raster);
  closeLabel_->onClick = [this] { exitProgram(); };

  // The position indicator, 20 pixels above the list: first row / rows.
  indicator_ = &main_->add<ui::PictureBox>("位置外形框");
  indicator_->setBounds(118, 202 - 20, 113, 20);
  firstRowLabel_ = &label(*indicator_, "标签16", "1", 0xA0A0A0, {20, 4, 40, 14}, raster);
  rowCountLabel_ = &label(*indicator_, "标签17", "0", 0xA0A0A0, {66, 4, 40, 14}, raster);

  buildCategoryPanel();

  // The search box over its frame (the search itself comes later).
  platform::EditOptions search;
  search.bounds = {146, 121, 147, 16};
  search.maxBytes = 200;
  main_->add<ui::EditControl>("查找编辑框", main_->host(), search);

  // The badge canvas: composes the browser badge, never shown.
  bow_ = &main_->add<ui::CanvasControl>("bow", raster, 36, 22);
  bow_->setBounds(0, 0, 36, 22);
  bow_->setVisible(false);
  bow_->box().setBackground(0xFFFFFF);

  auto& hostEvents = main_->host().events;
  hostEvents.moved = [this](int, int) { placeCompanions(); };
  hostEvents.closeRequested = [this] {
    exitProgram();
    return true;
  };
  hostEvents.deactivated = [this] {
    if (interaction_) interaction_->deactivated();
  };

  // The edge windows: layered shadows, also the pull tabs.
  auto edge = [&](const char* title, Resource shadow) {
    auto w = std::make_unique<ui::Window>(
        platform_, platform::WindowOptions{{0, 0, kEdgeWidth, h}, true, false, true, title}, 0xFFFFFF);
    // Paint the shadow stretched to the screen height, at the screen centre
    // until the layout moves it beside the main window.
    const canvas::Picture src = canvas::decodePicture(resources::bytes(shadow), canvas::Alpha::Premultiplied);
    canvas::Picture tall;
    tall.width = src.width;
    tall.height = h;
    tall.alpha = canvas::Alpha::Premultiplied;
    tall.pixels.resize(static_cast<std::size_t>(tall.width) * std::max(0, h));
    for (int y = 0; y < h && src.height > 0; ++y) {
      const int sy = static_cast<int>(static_cast<long long>(y) * src.height / h);
      for (int x = 0; x < tall.width; ++x) tall.at(x, y) = src.at(x, sy);
    }
    w->setBounds({screenW_ / 2 - tall.width / 2, screenH_ / 2 - h / 2, tall.width, h});
    w->host().presentLayered(tall, 255);
    return w;
  };
  rightEdge_ = edge("RightEdgeTabWindow", Resource::RightEdgeShadow);
  leftEdge_ = edge("LeftEdgeTabWindow", Resource::LeftEdgeShadow);

  auto& right = rightEdge_->root();
  right.onPointerMove = [this](int, int y, bool) {
    if (y < 20 && !bin_->visible() && rightEdge_->left() == 0) slideIn();
  };
  right.onButtonUp = [this](platform::MouseButton b, int, int) {
    if (b == platform::MouseButton::Left) {
      if (main_->left() <= 10) {
        slideIn();
      } else {
        slideOut();
      }
    }
    // The right button captures from the browser (not built yet).
  };
  auto& left = leftEdge_->root();
  auto toggle = [this] {
    if (main_->left() < 0) {
      slideIn();
    } else {
      slideOut();
    }
  };
  left.onButtonUp = [toggle](platform::MouseButton b, int, int) {
    if (b == platform::MouseButton::Left) toggle();
  };
  left.onPointerMove = [this, toggle](int, int y, bool) {
    const int band = screenH_ * 3 / 4;
    if (y > band && y < band + 30) toggle();
  };

  bin_ = std::make_unique<ui::Window>(
      platform_, platform::WindowOptions{{0, 0, 300, 400}, true, false, false, "RecycleBinWindow"}, 0xFFFFFF);
  sideList_ = std::make_unique<ui::Window>(
      platform_, platform::WindowOptions{{0, 0, kMainWidth, 20}, true, true, false, "SideListWindow"}, 0xFFFFFF);

  slideTimer_ = platform_.createTimer([this] { slideTick(); });
  barTimer_ = platform_.createTimer([this] { barTick(); });
  dragTimer_ = platform_.createTimer([this] { dragTick(); });
}

void Application::buildCategoryPanel() {
  auto& raster = platform_.textRasterizer();
  auto& page = pages_->page(1);
  categoryPanel_ = &page.add<ui::PictureBox>("图片框2");
  categoryPanel_->setBounds(0, 69, kMainWidth, 240);
  categoryPrompt_ = &label(*categoryPanel_, "标签12", "请输入分类标题", 0x515151, {51, 89 - 69, 217, 16}, raster);
  platform::EditOptions o;
  o.bounds = {51, 114 - 69, 251, 20};
  o.maxBytes = 200;
  categoryEdit_ = &categoryPanel_->add<ui::EditControl>("yy分类标题编辑框", main_->host(), o);
  categoryEdit_->edit().onKeyDown = [this](int key, int) {
    if (key == 13) {
      confirmCategoryPanel();
      return true;
    }
    if (key == 27) {
      cancelCategoryPanel();
      return true;
    }
    return false;
  };
  auto& ok = categoryPanel_->add<ui::ImageButton>("fl图形按钮k1");
  ok.setBounds(139, 176 - 69, 70, 20);
  ok.setPictures(picture(static_cast<int>(Resource::OkButton)), picture(static_cast<int>(Resource::OkButtonHover)));
  ok.onClick = [this] { confirmCategoryPanel(); };
  auto& cancel = categoryPanel_->add<ui::ImageButton>("fl图形按钮c1");
  cancel.setBounds(228, 176 - 69, 70, 20);
  cancel.setPictures(picture(static_cast<int>(Resource::CancelButton)),
                     picture(static_cast<int>(Resource::CancelButtonHover)));
  cancel.onClick = [this] { cancelCategoryPanel(); };
}

void Application::placePanel(int page) {
  pages_->setBounds(0, 160, kMainWidth, std::max(0, bottomBar_->top() - 160));
  pages_->select(page);
  pages_->setVisible(true);
}

void Application::showCreatePanel() {
  categoryPrompt_->setCaption("请输入分类标题");
  categoryEdit_->setText("");
  placePanel(1);
  categoryEdit_->edit().focus();
}

void Application::showRenamePanel(store::EntryId id) {
  if (id < 11) return;  // the fixed entries are never renamed
  // The id is remembered now: the entry under the pointer may change.
  renameTarget_ = id;
  categoryPrompt_->setCaption("标题");
  categoryEdit_->setText(store_->entry(id).title);
  placePanel(1);
  categoryEdit_->edit().focus();
}

void Application::cancelCategoryPanel() { pages_->setVisible(false); }

void Application::confirmCategoryPanel() {
  const std::string name = categoryEdit_->text();
  if (name.empty()) return;  // refused silently; the panel stays
  if (categoryPrompt_->caption() == "标题") {
    store_->editCategory(renameTarget_, text::cleanTitle(name), 1, 0, false);
  } else {
    store_->addCategory(list_->currentCategory, platform_.oleNow(), name);
  }
  pages_->setVisible(false);
  if (list_->currentCategory >= 1) list_->showCategory(list_->currentCategory, list_->firstRow);
}

void Application::layoutWindows() {
  header_->setWidth(main_->width());
  const int l = main_->left(), w = main_->width();
  bin_->moveTo(l + w + 10, bin_->top());
  sideList_->moveTo(l + w + 10, sideList_->top());
  bottomBar_->setTop(main_->height() - bottomBar_->height());
  rightEdge_->moveTo(l + w, rightEdge_->top());
  leftEdge_->moveTo(l - leftEdge_->width(), leftEdge_->top());
}

void Application::placeCompanions() {
  const int l = main_->left(), w = main_->width();
  bin_->moveTo(l + w + 10, bin_->top());
  rightEdge_->moveTo(l + w, rightEdge_->top());
  leftEdge_->moveTo(l - leftEdge_->width(), leftEdge_->top());
}

void Application::presentAll() { paintAll(); }

void Application::paintAll() {
  if (!main_) return;
  main_->paint();
  bin_->paint();
  sideList_->paint();
}

// ------------------------------------------------------------ loading

namespace {

class ProgressLabel : public store::LoadObserver {
 public:
  ProgressLabel(ui::Label& label, ui::Window& window, platform::Platform& platform)
      : label_(label), window_(window), platform_(platform) {}
  void progress(int percent) override {
    label_.setCaption(std::to_string(percent) + "%");
    window_.paint();
    platform_.processPendingMessages();
  }

 private:
  ui::Label& label_;
  ui::Window& window_;
  platform::Platform& platform_;
};

}  // namespace

void Application::runLoadSequence() {
  if (loading_) return;
  loading_ = true;
  ProgressLabel observer(*progress_, *main_, platform_);
  store_->readStoreFile(&observer);
  if (!loadedOnce_) {
    buildList();
    createHeaderObjects();
  }
  store_->replayLog(&observer);
  store_->ensureFixedEntries(kFixedTitles, platform_.oleNow());
  openRoot();
  if (store_->entry(store::kRecycleBin).members() != "u" && store_->count() >= store::kRecycleBin) {
    bin_->moveTo(main_->left() + main_->width() + 10, bin_->top());
    bin_->setVisible(true);
  }
  platform_.processPendingMessages();
  initBrowser();
  platform_.trimWorkingSet();
  pages_->setVisible(false);
  slideIn();
  // 15b: the clipboard watcher (the capture itself comes later).
  platform_.installClipboardWatcher(main_->host(), [] {});
  loadedOnce_ = true;
  loading_ = false;
  presentAll();
}

void Application::buildList() {
  auto pic = [this](Resource r) { return picture(static_cast<int>(r)); };
  list::ListLook look;
  look.cardMiddle = pic(Resource::CardMiddle);
  look.cardBottom = pic(Resource::CardBottom);
  look.cardTop = pic(Resource::CardTop);
  look.categoryIcon = pic(Resource::CategoryIcon);
  look.defaultSiteIcon = pic(Resource::DefaultSiteIcon);
  look.hoverBand = pic(Resource::HoverBand);
  look.separatorBand = pic(Resource::SeparatorBand);
  look.scrollThumb = pic(Resource::ScrollThumb);
  look.scrollThumbHover = pic(Resource::ScrollThumbHover);
  look.topFade = pic(Resource::TopFade);
  look.bottomFade = pic(Resource::BottomFade);
  look.insertionLine = pic(Resource::InsertionLine);
  look.insertBadge = pic(Resource::InsertBadge);
  look.titleFont = fontB();
  look.headingFont = fontA();
  list_ = std::make_unique<list::BookmarkList>(listControl_->box(), *store_, platform_, std::move(look), screenH_);
  list_->buildSlots();
  list_->pushViewBar = [this](bool animate) { pushViewBar(animate); };
  list_->showIndicator = [this](int first, int count) {
    firstRowLabel_->setCaption(std::to_string(first));
    rowCountLabel_->setCaption(std::to_string(count));
  };
  list_->showPositionIndicator = [this](bool shown) { indicator_->setVisible(shown); };
  list_->confineToThumb = [this](bool confine) {
    if (!confine) {
      platform_.clipCursor(std::nullopt);
      return;
    }
    // The thumb's column of the list, in screen coordinates.
    platform_.clipCursor(platform::Bounds{main_->left() + 323, main_->top() + listTop(), 27, list_->listHeight});
  };
  list::ListInteraction::Hooks hooks;
  hooks.activateWindow = [this] {
    main_->host().setForeground();
    main_->host().takeFocus();
  };
  hooks.openCategory = [this](store::EntryId id, int level, bool push) { openCategory(id, level, push); };
  hooks.barCount = [this] { return static_cast<int>(breadcrumb_.size()); };
  hooks.browserPath = [this] { return browserPath_; };
  hooks.showRenamePanel = [this](store::EntryId id) { showRenamePanel(id); };
  hooks.binWindowVisible = [this] { return bin_->visible(); };
  // The edit panel and the bin's restore come with their windows; their
  // entry points are here already.
  hooks.openEditPanel = [](store::EntryId) {};
  hooks.restoreAll = [] {};
  hooks.separatorSound = [this] { platform_.playSound(resources::bytes(Resource::SeparatorSound)); };
  hooks.removalSound = [this] { platform_.playSound(resources::bytes(Resource::RemovalSound)); };
  interaction_ = std::make_unique<list::ListInteraction>(*list_, listControl_->box(), *store_, platform_, hooks);
}

void Application::openRoot() {
  // A second load starts the breadcrumb again.
  header_->box().destroyObjects(breadcrumb_);
  breadcrumb_.clear();
  openCategory(store::kRootCategory, 1, true);
}

void Application::setListTop(int top) {
  // Only the position: the height stays the list's (the bottom bar, drawn
  // later, covers what reaches below it while a bar slides in).
  listControl_->setTop(top);
  indicator_->setTop(top - 20);
}

void Application::openCategory(store::EntryId id, int level, bool push) {
  list_->stopScroll();
  list_->currentCategory = id;
  const int top = 180 + 22 * level;
  const int height = std::max(0, bottomBar_->top() - top);
  listControl_->setHeight(height);
  list_->setListHeight(height);
  if (push) {
    pushCategoryBar(id);
  } else {
    setListTop(top);
  }
  listControl_->box().moveObject(list_->hoverHighlight(), 0, -100);
  list_->showCategory(id, store_->entry(id).scrollRow);
  platform_.trimWorkingSet();
}

void Application::pushCategoryBar(store::EntryId id) {
  auto& h = header_->box();
  // The title centred on the bar picture, at y 5.
  auto bar = std::make_shared<canvas::Picture>(*picture(static_cast<int>(Resource::BarBackground)));
  const canvas::TextMask m = platform_.textRasterizer().renderLine(fontC(), store_->entry(id).title);
  const int x0 = 175 - m.width / 2, y0 = 5;
  for (int y = 0; y < m.height && y0 + y < bar->height; ++y) {
    for (int x = 0; x < m.width; ++x) {
      if (x0 + x < 0 || x0 + x >= bar->width) continue;
      const unsigned a = m.coverage[static_cast<std::size_t>(y) * m.width + x];
      if (!a) continue;
      std::uint32_t& d = bar->at(x0 + x, y0 + y);
      const unsigned k = 255 - a, ink = 0x55;
      d = canvas::argb(255, canvas::div255(ink * a) + canvas::div255(canvas::redOf(d) * k),
                       canvas::div255(ink * a) + canvas::div255(canvas::greenOf(d) * k),
                       canvas::div255(ink * a) + canvas::div255(canvas::blueOf(d) * k));
    }
  }
  const canvas::ObjectId o = h.createObject(0, -50, true, std::to_string(id));
  h.setPicture(o, std::shared_ptr<const canvas::Picture>(std::move(bar)));
  breadcrumb_.push_back(o);
  h.setLayer(o, static_cast<int>(breadcrumb_.size()));
  startBarAnimation(o);
}

void Application::startBarAnimation(canvas::ObjectId bar) {
  if (platform_.timerPeriod(barTimer_) > 0) {
    // A push during a push: the earlier bar goes to its place at once.
    header_->box().moveObject(pushedBar_, 0, barTarget_);
    header_->box().setTransparency(pushedBar_, 0);
  }
  barTarget_ = 136 + 22 * static_cast<int>(breadcrumb_.size());
  pushedBar_ = bar;
  barFrame_ = 0;
  listControl_->box().moveObject(list_->curtain(), 0, 0);
  platform_.setTimerPeriod(barTimer_, 10);
}

void Application::placeViewTabMarker(int listTop) {
  int x = 0;
  switch (list_->currentView) {
    case list::View::Added: x = 69; break;
    case list::View::LastVisit: x = 124; break;
    case list::View::VisitCount: x = 179; break;
    case list::View::Domain: x = 235; break;
    case list::View::None: return;  // stays where it is
  }
  header_->box().moveObject(objects_.viewTabMarker, x, listTop - 42);
}

void Application::pushViewBar(bool animate) {
  auto& h = header_->box();
  const canvas::ObjectId o = h.cloneObject(objects_.barTemplate, 0.0, -50.0, true, std::string());
  breadcrumb_.push_back(o);
  const int n = static_cast<int>(breadcrumb_.size());
  h.setLayer(o, n);
  const int height = std::max(0, bottomBar_->top() - (180 + 22 * n));
  listControl_->setHeight(height);
  list_->setListHeight(height);
  if (animate) {
    startBarAnimation(o);
    return;
  }
  h.moveObject(o, 0, 136 + 22 * n);
  setListTop(180 + 22 * n);
  // The marker follows once the view is chosen (selectView sets it after
  // this bar is in place).
}

void Application::backToLevel(int level) {
  auto& h = header_->box();
  while (static_cast<int>(breadcrumb_.size()) > level && level >= 1) {
    h.destroyObject(breadcrumb_.back());
    breadcrumb_.pop_back();
  }
  if (breadcrumb_.empty()) return;
  const long long id = text::parseDecimal(h.getTagText(breadcrumb_.back()), 0);
  openCategory(static_cast<store::EntryId>(id), level, false);
}

void Application::headerObjectReleased(canvas::ObjectId o) {
  auto& h = header_->box();
  if (!breadcrumb_.empty() && o == breadcrumb_.back()) {
    if (list_->currentCategory != -1) {
      list_->selectView(list::View::VisitCount, false);
      placeViewTabMarker(listTop());
    }
    return;
  }
  if (!h.getTagText(o).empty()) {
    if (list_->currentCategory == -1) {
      h.moveObject(objects_.viewTabMarker, -100, -100);
      if (auto* search = main_->find("查找编辑框")) static_cast<ui::EditControl*>(search)->setText("");
    }
    list_->currentView = list::View::None;
    const int level = (h.getTop(o) - 136) / 22;
    if (level == static_cast<int>(breadcrumb_.size()) || level < 1) return;
    list_->returnedFrom =
        static_cast<store::EntryId>(text::parseDecimal(h.getTagText(breadcrumb_[static_cast<std::size_t>(level)]), 0));
    backToLevel(level);
    return;
  }
  if (o == objects_.browserBadge) {
    pickBrowserAtPoint();
  } else if (o == objects_.newCategoryButton && list_->currentCategory != -1) {
    showCreatePanel();
  }
}

void Application::headerReleasedAt(int x, int y) {
  // The view tabs of the flat-view bar, in the 20 pixels below the marker's top.
  if (list_->currentCategory != -1) return;
  auto& h = header_->box();
  const int markerTop = h.getTop(objects_.viewTabMarker);
  if (!(y > markerTop && y < markerTop + 20)) return;
  struct Tab {
    int from, to;
    list::View view;
    int markerX;
  };
  static constexpr Tab kTabs[] = {{67, 115, list::View::Added, 66},
                                  {122, 170, list::View::LastVisit, 121},
                                  {177, 225, list::View::VisitCount, 176},
                                  {233, 281, list::View::Domain, 232}};
  for (const Tab& t : kTabs) {
    if (x >= t.from && x <= t.to) {
      h.moveObject(objects_.viewTabMarker, t.markerX, markerTop);
      listControl_->box().moveObject(list_->hoverHighlight(), 0, -20);
      list_->selectView(t.view);
      return;
    }
  }
}

void Application::barTick() {
  ++barFrame_;
  const int a = barTarget_ + 100, b = barTarget_;
  const int y = static_cast<int>(a + (b - a) * (1 - std::pow(2.0, -10.0 * barFrame_ / 20)));
  auto& h = header_->box();
  setListTop(y + 44);
  h.moveObject(pushedBar_, 0, y);
  if (list_->currentCategory == -1) placeViewTabMarker(y + 44);
  listControl_->box().setTransparency(list_->curtain(), 5 * barFrame_);
  h.setTransparency(pushedBar_, 100 - 5 * barFrame_);
  if (barFrame_ >= 20) {
    platform_.setTimerPeriod(barTimer_, 0);
    barFrame_ = 0;
    listControl_->box().moveObject(list_->curtain(), 350, 0);
  }
}

void Application::createHeaderObjects() {
  auto& h = header_->box();
  auto obj = [&h](double x, double y, int layer, std::shared_ptr<const canvas::Picture> p, bool visible = true) {
    const canvas::ObjectId id = h.createObject(x, y, visible);
    if (p) h.setPicture(id, std::move(p));
    h.setLayer(id, layer);
    return id;
  };
  objects_.pinStrip = obj(0, 0, 8, picture(static_cast<int>(Resource::PinStrip)));
  objects_.toolbarStrip = obj(0, 87, 8, picture(static_cast<int>(Resource::ToolbarStrip)));
  const auto hit = picture(static_cast<int>(Resource::ButtonHitArea));
  objects_.addButton = obj(11, 118, 8, hit);
  objects_.newCategoryButton = obj(61, 118, 8, hit);
  objects_.searchFieldFrame = obj(112, 118, 8, picture(static_cast<int>(Resource::SearchFieldFrame)));
  objects_.browserBadge = obj(300, 118, 8, nullptr);
  objects_.barTemplate = obj(400, 100, 7, picture(static_cast<int>(Resource::BarTemplate)));
  objects_.viewTabMarker = obj(-100, -100, 8, picture(static_cast<int>(Resource::ViewTabMarker)));
  // Six objects without a picture.
  obj(300, 120, 7, nullptr);
  obj(0, -100, 0, nullptr, false);
  for (int layer : {2, 3, 6, 7}) obj(0, 0, layer, nullptr);

  auto& bow = bow_->box();
  objects_.badgeIcon = bow.createObject(2, -4);
  bow.setLayer(objects_.badgeIcon, 1);
  objects_.badgeFrame = bow.createObject(0, 0);
  bow.setPicture(objects_.badgeFrame, picture(static_cast<int>(Resource::BadgeFrame)));
  bow.setLayer(objects_.badgeFrame, 2);

  // Pointer actions of the header.
  auto& e = h.events;
  e.pointerDown = [this](canvas::Button b, int x, int) {
    if (b == canvas::Button::Left) dragOffset_ = x;
  };
  e.objectLeftDown = [this](canvas::ObjectId o) {
    if (o == objects_.pinStrip && o != 0) {
      platform_.clipCursor(platform::Bounds{0, 0, screenW_, 25});
      platform_.setTimerPeriod(dragTimer_, 10);
    }
  };
  e.pointerUp = [this](canvas::Button b, int x, int y) {
    if (b == canvas::Button::Left) headerReleasedAt(x, y);
  };
  e.objectLeftUp = [this](canvas::ObjectId released, canvas::ObjectId pressed) {
    if (released <= 0 || released != pressed) return;
    if (released == objects_.pinStrip) {
      platform_.clipCursor(std::nullopt);
      platform_.setTimerPeriod(dragTimer_, 0);
      if (leftEdge_->left() < -13) slideIn();
      return;
    }
    headerObjectReleased(released);
  };
  e.objectDoubleClick = [this](canvas::ObjectId o) {
    if (o == objects_.pinStrip && o != 0) slideOut();
  };
  e.objectRightUp = [this](canvas::ObjectId o) {
    if (o == 0) return;
    if (o == objects_.pinStrip) {
      hideAll();
    } else if (o == objects_.browserBadge) {
      detectSystemBrowser();
    }
  };
  e.objectEnter = [this](canvas::ObjectId o, canvas::ObjectId) {
    auto& hb = header_->box();
    if (o == objects_.pinStrip) {
      hb.setPicture(o, picture(static_cast<int>(Resource::PinStripHover)));
    } else if (o == objects_.addButton) {
      hb.setPicture(o, picture(static_cast<int>(Resource::AddButtonHover)));
    } else if (o == objects_.newCategoryButton) {
      hb.setPicture(o, picture(static_cast<int>(Resource::NewCategoryButtonHover)));
    } else if (o == objects_.browserBadge) {
      platform_.showBalloon({main_->left() + 308, 120},
                            text::readProfileString(fs_, paths_.settingsFile, store::kBrowserSection,
                                                    store::kBrowserNameKey),
                            1000);
    }
  };
  e.objectLeave = [this](canvas::ObjectId o, canvas::ObjectId) {
    auto& hb = header_->box();
    if (o == objects_.pinStrip) {
      hb.setPicture(o, picture(static_cast<int>(Resource::PinStrip)));
    } else if (o == objects_.addButton || o == objects_.newCategoryButton) {
      hb.setPicture(o, picture(static_cast<int>(Resource::ButtonHitArea)));
    }
  };
}

// ------------------------------------------------------------ exit

void Application::exitProgram() {
  platform_.restoreWindowProcedure();
  platform_.leaveClipboardChain();
  platform_.removeTrayIcon();
  main_->setVisible(false);
  rightEdge_->setVisible(false);
  leftEdge_->setVisible(false);
  platform_.exitProcess(0);
}

void Application::onTrayEvent(platform::TrayEvent e) {
  if (e == platform::TrayEvent::LeftUp) {
    main_->setVisible(true);
    rightEdge_->setVisible(true);
    leftEdge_->setVisible(true);
    main_->host().raise(false);
  }
  // RightUp captures from the browser (not built yet); a double click does
  // nothing.
}

// ------------------------------------------------------------ browser

void Application::writeBrowser(const std::string& path, const std::string& nameSource) {
  using namespace store;
  text::writeProfileString(fs_, paths_.settingsFile, kBrowserSection, kBrowserPathKey, path);
  text::writeProfileString(fs_, paths_.settingsFile, kBrowserSection, kBrowserNameKey, displayName(nameSource));
  platform_.showBalloon({main_->left() + 308, 120},
                        text::readProfileString(fs_, paths_.settingsFile, kBrowserSection, kBrowserNameKey), 0);
}

void Application::initBrowser() {
  const std::string path =
      text::readProfileString(fs_, paths_.settingsFile, store::kBrowserSection, store::kBrowserPathKey);
  if (path.empty()) {
    detectSystemBrowser();
    return;
  }
  browserPath_ = path;
  showBrowserBadge(platform_.executableIcon(path));
}

void Application::detectSystemBrowser() {
  const std::string path = commandPath(platform_.httpOpenCommand());
  browserPath_ = path;
  const canvas::Picture icon = platform_.executableIcon(path);
  writeBrowser(path, path);
  showBrowserBadge(icon);
}

void Application::pickBrowserAtPoint() {
  const platform::ForeignWindow w = platform_.windowAt(capturePoint());
  const std::string path = platform_.processPathOf(w);
  const std::string exe = platform_.processFileNameOf(w);
  browserPath_ = path;
  const canvas::Picture icon = platform_.executableIcon(path);
  writeBrowser(path, "\\" + exe);
  showBrowserBadge(icon);
}

void Application::showBrowserBadge(const canvas::Picture& icon32) {
  auto& bow = bow_->box();
  // The icon over white, 32 x 32 (an empty picture gives the white square).
  canvas::Picture white;
  white.width = white.height = 32;
  white.alpha = canvas::Alpha::Premultiplied;
  white.pixels.assign(32 * 32, 0xFFFFFFFFu);
  if (!icon32.empty()) {
    for (int y = 0; y < 32 && y < icon32.height; ++y) {
      for (int x = 0; x < 32 && x < icon32.width; ++x) white.at(x, y) = icon32.at(x, y) | 0xFF000000u;
    }
  }
  bow.setPicture(objects_.badgeIcon, std::make_shared<const canvas::Picture>(std::move(white)));
  bow.paint();
  header_->box().setPicture(objects_.browserBadge, bow.snapshot(0, 0, 36, 22));
}

platform::Point Application::capturePoint() const { return {rightEdge_->left() + 20, 121}; }

// ------------------------------------------------------------ docking

void Application::slideIn() {
  if (platform_.timerPeriod(slideTimer_) > 0) return;
  windowShown_ = true;
  main_->setVisible(true);
  rightEdge_->setVisible(true);
  leftEdge_->setVisible(true);
  startSlide(kDockedLeft);
}

void Application::slideOut() {
  if (platform_.timerPeriod(slideTimer_) > 0) return;
  windowShown_ = false;
  startSlide(-main_->width());
}

void Application::startSlide(int target) {
  const int a = main_->left();
  slideFrames_.clear();
  for (int f = 1; f <= 20; ++f) {
    const double p = f / 20.0;
    slideFrames_.push_back(static_cast<int>(a + (target - a) * (1 - std::pow(p - 1, 4))));
  }
  slideFrame_ = 0;
  platform_.setTimerPeriod(slideTimer_, 10);
}

void Application::slideTick() {
  if (slideFrame_ < slideFrames_.size()) main_->moveTo(slideFrames_[slideFrame_++], main_->top());
  if (slideFrame_ >= slideFrames_.size()) {
    platform_.setTimerPeriod(slideTimer_, 0);
    slideFrame_ = 0;
    main_->moveTo(windowShown_ ? kDockedLeft : -main_->width(), main_->top());
  }
}

void Application::dragTick() { main_->moveTo(platform_.cursorPosition().x - dragOffset_, main_->top()); }

void Application::hideAll() {
  main_->setVisible(false);
  rightEdge_->setVisible(false);
  leftEdge_->setVisible(false);
  bin_->setVisible(false);
}

}  // namespace lh::app
