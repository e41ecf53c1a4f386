// The exchange of bookmark files in the simulator: the dialogs and their
// proposals, export, import with compaction and its progress page, the
// window's state after the renumbering, input during the import, and the
// icon queue.
#include <gtest/gtest.h>

#include "../app/app_fixture.h"
#include "store/bookmark_file.h"
#include "text/oledate.h"

namespace lh::app {
namespace {

using namespace simtest;

TEST(ExportName, TheTimeGoesDownToItsLastUnitThatIsNotZero) {
  auto at = [](int h, int m, int s) {
    return features::proposedExportName(text::oleFromCalendar({2016, 5, 3, h, m, s, 0}));
  };
  EXPECT_EQ(at(15, 30, 20), "ULinkhoard-2016年5月3日15时30分20秒.html");
  EXPECT_EQ(at(15, 30, 0), "ULinkhoard-2016年5月3日15时30分.html");
  EXPECT_EQ(at(15, 0, 0), "ULinkhoard-2016年5月3日15时.html");
  EXPECT_EQ(at(0, 0, 0), "ULinkhoard-2016年5月3日.html");
  EXPECT_EQ(at(0, 0, 5), "ULinkhoard-2016年5月3日0时0分5秒.html");
}

class Exchange : public StartUp {
 protected:
  const std::string kFile = "C:\\Users\\user\\Desktop\\b.html";
  void startAndWait() {
    start();
    sim.advance(300);
  }
  SimWindow& main() { return host(app->mainWindow()); }
  void clickLabel(ui::Label& l) {
    const ui::Rect r = l.windowRect();
    main().click(r.left + 3, r.top + 3);
  }
  std::vector<store::EntryId> members(store::EntryId c) { return app->store().members(c); }
};

TEST_F(Exchange, ExportWritesTheTreeToTheFileChosenInTheSaveDialog) {
  startAndWait();
  sim.fileDialogAnswers.push_back(kFile);
  clickLabel(app->exchange().exportLabel());
  ASSERT_EQ(sim.fileDialogs.size(), 1u);
  const auto& d = sim.fileDialogs[0];
  EXPECT_EQ(d.kind, platform::FileDialogRequest::Kind::Save);
  EXPECT_EQ(d.filter, "html|*.html;*.htm");
  EXPECT_EQ(d.initialFolder, sim.desktop);
  EXPECT_EQ(d.proposedName.rfind("ULinkhoard-", 0), 0u);
  ASSERT_TRUE(fs.files.count(kFile));
  EXPECT_EQ(fs.files[kFile], store::exportBookmarkFile(app->store()));
  EXPECT_NE(fs.files[kFile].find("http://x1.com/"), std::string::npos);
  EXPECT_EQ(app->exchange().status().caption(), "导出成功");
  EXPECT_EQ(app->overlay().shown(), -1);  // the page is not opened
  // Cancelled: nothing written.
  fs.files.erase(kFile);
  clickLabel(app->exchange().exportLabel());
  EXPECT_FALSE(fs.files.count(kFile));
}

TEST_F(Exchange, ImportCompactsReadsTheFileIntoTheRootAndQueuesTheIcons) {
  startAndWait();
  // A bookmark in the bin and one destroyed, so that the compaction has
  // something to renumber; the list shows a flat view.
  EXPECT_TRUE(app->store().moveEntries("12u", store::kRecycleBin, -2, false));
  app->breadcrumbs().selectView(list::View::Added);
  sim.advance(500);
  fs.files[kFile] =
      "<DL><p>\n<DT><H3 ADD_DATE=\"1462264220\">Folder</H3>\n<DL><p>\n"
      "<DT><A HREF=\"http://new.example/\" ADD_DATE=\"1462264220\">New &amp; shiny</A>\n"
      "<DT><A HREF=\"http://x0.com/\">Already there</A>\n</DL><p>\n</DL><p>\n";
  sim.fileDialogAnswers.push_back(kFile);
  clickLabel(app->exchange().importLabel());
  EXPECT_EQ(sim.fileDialogs.back().kind, platform::FileDialogRequest::Kind::Open);
  // Renumbered: 11 (b0) 13 (b2) in the root, then the folder with its link;
  // the bin kept its member under its new id.
  const auto root = members(1);
  ASSERT_EQ(root.size(), 3u);
  EXPECT_EQ(app->store().entry(root[0]).title.view(), "Folder");
  EXPECT_EQ(app->store().entry(root[1]).title.view(), "b0");
  EXPECT_EQ(app->store().entry(root[2]).title.view(), "b2");
  const auto folder = members(root[0]);
  ASSERT_EQ(folder.size(), 1u);
  EXPECT_EQ(app->store().entry(folder[0]).url.view(), "http://new.example/");
  EXPECT_EQ(app->store().entry(folder[0]).title.view(), "New  shiny");
  const auto bin = members(store::kRecycleBin);
  ASSERT_EQ(bin.size(), 1u);
  EXPECT_EQ(app->store().entry(bin[0]).title.view(), "b1");
  // The window: back at the root under one bar, the page gone, the status
  // said so, the icons queued for every bookmark without one.
  EXPECT_EQ(app->list().category(), 1);
  EXPECT_EQ(app->breadcrumb().size(), 1u);
  EXPECT_EQ(app->overlay().shown(), -1);
  EXPECT_EQ(app->exchange().status().caption(), "导入成功");
  EXPECT_EQ(app->icons().queued(), 3u);
  EXPECT_EQ(sim.timerPeriod(app->icons().queueTimer()), 1);
  EXPECT_FALSE(fs.exists(kData + "\\bein"));
}

TEST_F(Exchange, InputDuringTheImportWaitsAndNothingChangesTheStoreMeanwhile) {
  startAndWait();
  std::string file = "<DL><p>\r\n";
  for (int i = 0; i < 400; ++i) {
    file += "<DT><A HREF=\"http://site" + std::to_string(i) + ".org/\">Site " + std::to_string(i) + "</A>\r\n";
  }
  fs.files[kFile] = file + "</DL><p>\r\n";
  sim.fileDialogAnswers.push_back(kFile);
  int during = 0;
  bool sawBusy = false, sawPage = false;
  // A click on a row, a word typed into the search box and a second import,
  // all while the import lets messages through.
  sim.post([&] {
    ++during;
    sawBusy = app->busy().busy();
    sawPage = app->overlay().shown() == features::OverlayPages::Import;
    main().click(200, 202 + 20 + 5);
    static_cast<platform::sim::SimEditBox&>(app->searchBox().edit()).type("site39");
    app->exchange().importBookmarks();
  });
  clickLabel(app->exchange().importLabel());
  sim.processPendingMessages();
  ASSERT_EQ(during, 1);
  EXPECT_TRUE(sawBusy);
  EXPECT_TRUE(sawPage);
  EXPECT_TRUE(sim.launches.empty());           // the row click was dropped
  EXPECT_EQ(sim.fileDialogs.size(), 1u);       // no second import
  int sites = 0;
  for (store::EntryId id = 11; id <= app->store().count(); ++id) {
    sites += app->store().entry(id).url.view().rfind("http://site", 0) == 0;
  }
  EXPECT_EQ(sites, 400);
  // The word typed meanwhile is searched once the import is done, over the
  // renumbered store: site39 and site390 .. site399.
  sim.processPendingMessages();
  ASSERT_TRUE(app->list().inFlatView());
  EXPECT_EQ(app->list().results().size(), 11u);
  for (store::EntryId id : app->list().results()) {
    EXPECT_EQ(app->store().entry(id).url.view().rfind("http://site39", 0), 0u);
  }
}

// What the exchange page shows while an import runs: its own captions, the
// status and the close button over a plain page (nothing of the bookmark
// panel's boxes), and a status that starts at "导入..." and climbs.
TEST_F(Exchange, DuringAnImportThePageShowsOnlyItsOwnControlsAndTheProgressClimbsFromTheBareText) {
  fs.files[kData + "\\udb"] = fixedStore(300);  // something to compact
  startAndWait();
  std::string file = "<DL><p>\r\n";
  for (int i = 0; i < 50; ++i) file += "<DT><A HREF=\"http://s" + std::to_string(i) + ".org/\">S</A>\r\n";
  fs.files[kFile] = file + "</DL><p>\r\n";
  sim.fileDialogAnswers.push_back(kFile);
  std::vector<std::string> captions;
  int nonWhite = -1;
  bool inPump = false;
  sim.eachPump = [&] {
    if (inPump || app->overlay().shown() != features::OverlayPages::Import) return;
    // Timers fire while the import lets messages through (the new bar's
    // push after the renumbering, say).
    inPump = true;
    sim.advance(10);
    inPump = false;
    const std::string c = app->exchange().status().caption();
    if (captions.empty() || captions.back() != c) captions.push_back(c);
    // The page's picture box is bare white but where its own captions,
    // status and button stand.
    const SimWindow& w = main();
    const ui::Control& box = *app->exchange().status().parent();
    const ui::Rect r = box.windowRect();
    auto ownControlAt = [&](int x, int y) {
      for (const auto& c : box.children()) {
        const ui::Rect cr = c->windowRect();
        if (c->visible() && x >= cr.left && x < cr.right && y >= cr.top && y < cr.bottom) return true;
      }
      return false;
    };
    int foreign = 0;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) {
        const std::uint32_t px = w.framebuffer[static_cast<std::size_t>(y) * w.bounds().width + x];
        foreign += (px & 0xFFFFFF) != 0xFFFFFF && !ownControlAt(x, y);
      }
    }
    nonWhite = std::max(nonWhite, foreign);
  };
  clickLabel(app->exchange().importLabel());
  sim.eachPump = nullptr;
  EXPECT_EQ(nonWhite, 0);
  ASSERT_GE(captions.size(), 3u);
  EXPECT_EQ(captions.front(), "导入...");
  int last = -1;
  for (std::size_t i = 1; i < captions.size(); ++i) {
    ASSERT_EQ(captions[i].rfind("导入...", 0), 0u) << captions[i];
    const int percent = std::stoi(captions[i].substr(std::string("导入...").size()));
    EXPECT_GT(percent, last) << "caption " << i << ": " << captions[i];
    last = percent;
  }
  EXPECT_EQ(last, 100);
  EXPECT_EQ(app->exchange().status().caption(), "导入成功");
}

TEST_F(Exchange, AFileThatCannotBeReadImportsNothingAfterTheCompaction) {
  startAndWait();
  sim.fileDialogAnswers.push_back("C:\\missing.html");
  clickLabel(app->exchange().importLabel());
  EXPECT_EQ(members(1).size(), 3u);
  EXPECT_EQ(app->exchange().status().caption(), "导入失败");
  EXPECT_EQ(app->overlay().shown(), -1);
}

}  // namespace
}  // namespace lh::app
