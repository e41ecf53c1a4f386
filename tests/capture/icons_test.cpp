// The site icons in the simulator: fetching on the worker, sharing by
// digest, the index and the strip, the panel's icon click and the import's
// queue.
#include <gtest/gtest.h>

#include "../app/app_fixture.h"
#include "canvas/bmp_encode.h"
#include "capture/icon_record.h"
#include "capture/icons.h"
#include "text/gbk.h"
#include "text/ini.h"
#include "text/md5.h"

namespace lh::app {
namespace {

using namespace simtest;

// A 16 x 16 BMP of one colour (its file starts "BM6": a picture by its
// first three bytes).
std::string iconBytes(std::uint32_t rgb) {
  canvas::Picture p;
  p.width = p.height = 16;
  p.pixels.assign(256, 0xFF000000u | rgb);
  return canvas::encodeBmp32(p);
}

class Icons : public StartUp {
 protected:
  const std::string kIndex = kData + "\\icon";
  const std::string kStrip = kData + "\\ico";
  capture::IconCache& icons() { return app->icons(); }
  void startAndWait() {
    start();
    sim.advance(300);
  }
  store::EntryId add(const std::string& title, const std::string& url) {
    return app->editPanel().addTypedBookmark(title, url, "");
  }
  // Runs the fetch waiting on the worker and delivers its result.
  void fetch() {
    sim.runWorkers();
    sim.processPendingMessages();
  }
  std::string ini(std::string_view section, std::string_view key) {
    return text::IniDocument(fs.files[kIndex]).get(section, key);
  }
  std::size_t stripRecords() { return fs.files[kStrip].size() / capture::kIconRecordSize; }
  void servePageWithIcon(const std::string& site, const std::string& iconPath, const std::string& icon) {
    sim.web.serve(site, "<html><head><link rel=\"shortcut icon\" href=\"" + iconPath + "\"></head></html>");
    sim.web.serve(site + iconPath.substr(1), icon);
  }
  // The picture the list shows beside bookmark `id` (nullptr when no row
  // on screen holds it).
  list::Pic rowIcon(store::EntryId id) {
    for (const auto& s : app->list().slots()) {
      if (s.row >= 1 && app->list().idAtRow(s.row) == id) return app->listCanvas().box().getPicture(s.icon);
    }
    return nullptr;
  }
};

TEST_F(Icons, ANewStripHoldsTwoPlaceholderRecordsSoTheFirstPictureIsRecordThree) {
  startAndWait();
  EXPECT_EQ(fs.files[kStrip].size(), 2 * capture::kIconRecordSize);
  EXPECT_EQ(icons().records().size(), 2u);
  servePageWithIcon("http://a.com/", "/i.bmp", iconBytes(0xFF0000));
  const store::EntryId id = add("A", "http://a.com/");
  EXPECT_EQ(ini("ico", "a.com"), "-1");  // while the fetch runs
  EXPECT_TRUE(icons().fetching());
  fetch();
  EXPECT_FALSE(icons().fetching());
  ASSERT_EQ(stripRecords(), 3u);
  const std::string record = fs.files[kStrip].substr(2 * capture::kIconRecordSize);
  EXPECT_EQ(record, capture::renderIconRecord(iconBytes(0xFF0000)));
  const std::string digest = text::md5Hex(record);
  EXPECT_EQ(ini("ico", "a.com"), "3");
  EXPECT_EQ(ini("md5", digest), "3");
  EXPECT_EQ(ini("md5", "3"), digest);
  EXPECT_EQ(icons().iconIndexOf("A.COM"), 3);  // keys ignore letter case
  // The row and the panel show the record, decoded: red.
  const list::Pic pic = icons().iconPictureOf(app->store().entry(id).url);
  ASSERT_TRUE(pic && pic->width == 16);
  EXPECT_EQ(pic->at(8, 8) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(rowIcon(id), pic);
}

TEST_F(Icons, AStripWithATornLastRecordLoadsItsWholeRecordsAndIsCutToThem) {
  const std::string a = capture::renderIconRecord(iconBytes(0x00FF00));
  const std::string b = capture::renderIconRecord(iconBytes(0x0000FF));
  fs.files[kStrip] = a + b + std::string(56, 'x');
  startAndWait();
  ASSERT_EQ(icons().records().size(), 2u);
  EXPECT_EQ(icons().records()[1], b);
  // An append now lands on a record boundary.
  EXPECT_EQ(fs.files[kStrip], a + b);
}

TEST_F(Icons, TwoHostsWithTheSamePictureShareOneRecord) {
  startAndWait();
  servePageWithIcon("http://a.com/", "/i.bmp", iconBytes(0x123456));
  servePageWithIcon("http://b.com/", "/j.bmp", iconBytes(0x123456));
  add("A", "http://a.com/");
  fetch();
  add("B", "http://b.com/");
  fetch();
  EXPECT_EQ(stripRecords(), 3u);
  EXPECT_EQ(ini("ico", "a.com"), "3");
  EXPECT_EQ(ini("ico", "b.com"), "3");
  // A different picture gets a record of its own.
  servePageWithIcon("http://c.com/", "/k.bmp", iconBytes(0x654321));
  add("C", "http://c.com/");
  fetch();
  EXPECT_EQ(stripRecords(), 4u);
  EXPECT_EQ(ini("ico", "c.com"), "4");
}

TEST_F(Icons, AHostWithoutAPictureStaysAtMinusOneAndIsNotFetchedAgainByAdding) {
  startAndWait();
  sim.web.serve("http://none.com/", "<html>no icon</html>");
  add("N", "http://none.com/");
  fetch();
  EXPECT_EQ(ini("ico", "none.com"), "-1");
  EXPECT_EQ(stripRecords(), 2u);
  const std::size_t requests = sim.web.requests.size();
  add("N2", "http://none.com/other");
  EXPECT_FALSE(icons().fetching());
  fetch();
  EXPECT_EQ(sim.web.requests.size(), requests);
  // The default picture for its rows.
  EXPECT_EQ(icons().iconPictureOf("http://none.com/x"), app->list().look().defaultSiteIcon);
}

TEST_F(Icons, ADeclaredIconAnsweringAnErrorPageFallsBackToTheFaviconIco) {
  startAndWait();
  sim.web.serve("http://e.com/", "<link rel=\"shortcut icon\" href=\"/missing.png\">");
  sim.web.serve("http://e.com/missing.png", "<html>404 not found</html>", 404);
  sim.web.serve("http://e.com/favicon.ico", iconBytes(0x00AA00));
  add("E", "http://e.com/");
  fetch();
  EXPECT_EQ(ini("ico", "e.com"), "3");
  EXPECT_EQ(icons().records()[2], capture::renderIconRecord(iconBytes(0x00AA00)));
  // The routes in their order, each a plain GET: the page, the declared
  // icon, then the favicon.
  const std::vector<std::string> expected = {"GET http://e.com/", "GET http://e.com/missing.png",
                                             "GET http://e.com/favicon.ico"};
  EXPECT_EQ(sim.web.requests, expected);
}

TEST_F(Icons, AnHttpsPageIsReadOverHttpsAndItsIconsComeFromWhereItFinallyCameFrom) {
  startAndWait();
  // An https site moving its page to another host: the declared icon is
  // read against the page's final address, the one for 16 pixels first.
  sim.web.redirect("https://s.com/", "https://www.s.com/home");
  sim.web.serve("https://www.s.com/home",
                "<head><link rel=icon sizes=64x64 href=big.bmp><LINK HREF='/i.bmp' REL='Icon' SIZES=16x16></head>");
  sim.web.serve("https://www.s.com/i.bmp", iconBytes(0x0000AA));
  add("S", "https://s.com/");
  fetch();
  EXPECT_EQ(ini("ico", "s.com"), "3");
  EXPECT_EQ(icons().records()[2], capture::renderIconRecord(iconBytes(0x0000AA)));
  EXPECT_EQ(sim.web.requests,
            (std::vector<std::string>{"GET https://s.com/", "GET https://www.s.com/home", "GET https://www.s.com/i.bmp"}));
  // An http site sending its page to https, declaring nothing: the
  // favicon of the scheme and host the page came from.
  sim.web.requests.clear();
  sim.web.redirect("http://r.com/", "https://r.com/");
  sim.web.serve("https://r.com/", "<html><head><title>r</title></head></html>");
  sim.web.serve("https://r.com/favicon.ico", iconBytes(0x00AA00));
  add("R", "http://r.com/");
  fetch();
  EXPECT_EQ(ini("ico", "r.com"), "4");
  EXPECT_EQ(sim.web.requests,
            (std::vector<std::string>{"GET http://r.com/", "GET https://r.com/", "GET https://r.com/favicon.ico"}));
}

TEST_F(Icons, AnIconInThePageItselfAndAPageDeclaringHundredsCostAFewRequests) {
  startAndWait();
  // A data: icon is decoded from the page, nothing more asked for.
  const std::string bmp = iconBytes(0x123456);
  static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string base64;
  for (std::size_t i = 0; i < bmp.size(); i += 3) {
    const std::uint32_t n = (static_cast<std::uint8_t>(bmp[i]) << 16) |
                            (i + 1 < bmp.size() ? static_cast<std::uint8_t>(bmp[i + 1]) << 8 : 0) |
                            (i + 2 < bmp.size() ? static_cast<std::uint8_t>(bmp[i + 2]) : 0);
    base64 += kDigits[(n >> 18) & 63];
    base64 += kDigits[(n >> 12) & 63];
    base64 += i + 1 < bmp.size() ? kDigits[(n >> 6) & 63] : '=';
    base64 += i + 2 < bmp.size() ? kDigits[n & 63] : '=';
  }
  sim.web.serve("http://d.com/", "<link rel=icon href=\"data:image/bmp;base64," + base64 + "\">");
  add("D", "http://d.com/");
  fetch();
  EXPECT_EQ(ini("ico", "d.com"), "3");
  EXPECT_EQ(icons().records()[2], capture::renderIconRecord(bmp));
  EXPECT_EQ(sim.web.requests, std::vector<std::string>{"GET http://d.com/"});
  // Two hundred broken icons: the best three, the favicon, a touch icon.
  sim.web.requests.clear();
  std::string page = "<head><link rel=apple-touch-icon href=/t1.png><link rel=apple-touch-icon href=/t2.png>";
  for (int i = 0; i < 200; ++i) page += "<link rel=icon href=/b" + std::to_string(i) + ".png>";
  sim.web.serve("http://h.com/", page + "</head>");
  add("H", "http://h.com/");
  fetch();
  EXPECT_EQ(ini("ico", "h.com"), "-1");
  EXPECT_EQ(sim.web.requests,
            (std::vector<std::string>{"GET http://h.com/", "GET http://h.com/b199.png", "GET http://h.com/b198.png",
                                      "GET http://h.com/b197.png", "GET http://h.com/favicon.ico",
                                      "GET http://h.com/t2.png"}));
}

TEST_F(Icons, ADownloadThatFoundNoFreeThreadLeavesTheHostToBeTriedAgain) {
  startAndWait();
  servePageWithIcon("http://g.com/", "/i.bmp", iconBytes(0x445566));
  sim.web.noThreadFree = true;  // hostile sites hold every place
  add("G", "http://g.com/");
  fetch();
  EXPECT_TRUE(sim.web.requests.empty());
  // Not "-1" (a site without an icon, never asked again): unrecorded.
  EXPECT_EQ(ini("ico", "g.com"), "");
  EXPECT_EQ(stripRecords(), 2u);
  // A place is free again: the next bookmark of the site brings the icon.
  sim.web.noThreadFree = false;
  sim.web.serve("http://g.com/other", "<link rel=icon href=/i.bmp>");
  add("G2", "http://g.com/other");
  fetch();
  EXPECT_EQ(ini("ico", "g.com"), "3");
}

TEST_F(Icons, ANewFetchEndsTheOneInProgressWithoutARecordMissingItsKeys) {
  startAndWait();
  servePageWithIcon("http://a.com/", "/i.bmp", iconBytes(0x111111));
  servePageWithIcon("http://b.com/", "/i.bmp", iconBytes(0x222222));
  add("A", "http://a.com/");
  add("B", "http://b.com/");  // before a.com's fetch ran
  fetch();
  EXPECT_EQ(ini("ico", "a.com"), "-1");  // what the ended fetch had written
  EXPECT_EQ(ini("ico", "b.com"), "3");
  EXPECT_EQ(stripRecords(), 3u);
  // Every record has its keys.
  for (std::size_t k = 3; k <= stripRecords(); ++k) {
    EXPECT_FALSE(ini("md5", std::to_string(k)).empty()) << k;
  }
  fetch();  // nothing more arrives
  EXPECT_EQ(stripRecords(), 3u);
}

TEST_F(Icons, ThePanelsIconClickFetchesAgainOrReplacesTheRecordInPlaceOffTheGuiThread) {
  startAndWait();
  sim.web.serve("http://a.com/", "<html></html>");
  const store::EntryId id = add("A", "http://a.com/");
  fetch();
  ASSERT_EQ(ini("ico", "a.com"), "-1");
  // -1: the key goes and a fetch starts.
  sim.web.serve("http://a.com/favicon.ico", iconBytes(0xAAAAAA));
  icons().panelIconClick(id);
  EXPECT_EQ(ini("ico", "a.com"), "-1");
  fetch();
  ASSERT_EQ(ini("ico", "a.com"), "3");
  const std::string oldDigest = ini("md5", "3");
  // With a record: the site's new picture replaces record 3, downloaded on
  // the worker (nothing is requested until the worker runs).
  sim.web.serve("http://a.com/favicon.ico", iconBytes(0xBBBBBB));
  const std::size_t before = sim.web.requests.size();
  icons().panelIconClick(id);
  EXPECT_EQ(sim.web.requests.size(), before);
  fetch();
  const std::string record = capture::renderIconRecord(iconBytes(0xBBBBBB));
  EXPECT_EQ(stripRecords(), 3u);
  EXPECT_EQ(fs.files[kStrip].substr(2 * capture::kIconRecordSize), record);
  EXPECT_EQ(ini("md5", "3"), text::md5Hex(record));
  EXPECT_EQ(ini("md5", text::md5Hex(record)), "3");
  EXPECT_EQ(ini("md5", oldDigest), "");
  EXPECT_EQ(icons().iconPictureOf("http://a.com/")->at(0, 0) & 0xFFFFFF, 0xBBBBBBu);
}

TEST_F(Icons, TheQueueFetchesOneBookmarkAtATimeAndStopsWhenEmpty) {
  startAndWait();
  std::vector<store::EntryId> ids;
  for (const char* site : {"q1", "q2", "q3"}) {
    const std::string url = std::string("http://") + site + ".com/";
    sim.web.serve(url, "");
    sim.web.serve(url + "favicon.ico", iconBytes(site[1] * 0x10101u));
    ids.push_back(app->store().addBookmark(site, url, "", 1, 1.0, -1));
  }
  ids.push_back(ids[0]);  // a host already done: skipped at once
  icons().queueIconFetches(ids);
  EXPECT_EQ(sim.timerPeriod(icons().queueTimer()), 1);
  sim.advance(1);
  EXPECT_EQ(ini("ico", "q1.com"), "-1");
  EXPECT_EQ(sim.timerPeriod(icons().queueTimer()), 4000);
  fetch();  // done: the next id at once
  EXPECT_EQ(ini("ico", "q1.com"), "3");
  EXPECT_EQ(sim.timerPeriod(icons().queueTimer()), 1);
  for (int i = 0; i < 4; ++i) {
    sim.advance(1);
    fetch();
  }
  EXPECT_EQ(ini("ico", "q2.com"), "4");
  EXPECT_EQ(ini("ico", "q3.com"), "5");
  EXPECT_EQ(icons().queued(), 0u);
  EXPECT_EQ(sim.timerPeriod(icons().queueTimer()), 0);
}

// Hosts saved before their icons could be found: "-1", the default records
// 1 and 2, a number past the strip, or no key at all.
class IconRetry : public Icons {
 protected:
  void SetUp() override {
    Icons::SetUp();
    // Records 1 and 2 the placeholders, 3 the picture of has.com.
    const std::string placeholder(capture::kIconRecordSize, 'p');
    fs.files[kStrip] = placeholder + placeholder + capture::renderIconRecord(iconBytes(0x123456));
    fs.files[kIndex] = "[ico]\r\nminus.com=-1\r\ndefault.com=2\r\npast.com=40\r\nhas.com=3\r\n";
    for (const char* site : {"minus", "default", "past", "never", "has"}) {
      const std::string url = std::string("https://") + site + ".com/";
      sim.web.serve(url, "");
      sim.web.serve(url + "favicon.ico", iconBytes(static_cast<std::uint32_t>(site[0]) * 0x10101u));
    }
  }
  void addSites() {
    for (const char* site : {"minus", "default", "past", "never", "has"}) {
      app->store().addBookmark(site, std::string("https://") + site + ".com/", "", 1, 1.0, -1);
    }
    app->store().addBookmark("minus again", "https://MINUS.com/other", "", 1, 1.0, -1);  // one fetch per host
  }
  // Lets the sweep run: every tick, every fetch delivered.
  void runSweep() {
    bool begun = false;
    for (int i = 0; i < 60 && (!begun || icons().sweeping()); ++i) {
      sim.advance(1000);
      begun = begun || icons().sweeping();
      fetch();
    }
    ASSERT_TRUE(begun);
  }
  std::size_t requestsOf(const std::string& site) {
    return static_cast<std::size_t>(std::count(sim.web.requests.begin(), sim.web.requests.end(), "GET " + site));
  }
  std::string sweepDay() {
    return text::IniDocument(fs.files[kData + "\\config.ini"]).get(capture::kRetrySection, capture::kRetryDayKey);
  }
};

TEST_F(IconRetry, HostsWithoutAPictureAreTriedOnceAfterStartUpAndThenNotForThirtyDays) {
  startAndWait();
  addSites();
  EXPECT_TRUE(sim.web.requests.empty());
  sim.advance(capture::kRetryDelayMs - 400);
  EXPECT_TRUE(sim.web.requests.empty());  // not before its time: start-up is the user's
  runSweep();
  EXPECT_FALSE(icons().sweeping());
  for (const char* host : {"minus.com", "default.com", "past.com", "never.com"}) {
    const int n = icons().iconIndexOf(host);
    EXPECT_GE(n, 4) << host;  // a picture of its own now
    EXPECT_EQ(icons().recordOf(std::string("https://") + host + "/"),
              capture::renderIconRecord(iconBytes(static_cast<std::uint32_t>(host[0]) * 0x10101u)))
        << host;
    EXPECT_EQ(requestsOf(std::string("https://") + host + "/favicon.ico"), 1u) << host;
  }
  // A host with its picture keeps it, unasked.
  EXPECT_EQ(ini("ico", "has.com"), "3");
  EXPECT_EQ(requestsOf("https://has.com/"), 0u);
  EXPECT_EQ(sweepDay(), text::decimal(static_cast<long long>(sim.oleNow())));

  // A site that still has nothing stays at "-1", and is not asked again at
  // the next starts until thirty days have passed.
  sim.web.serve("https://gone.com/", "<html></html>");
  app->store().addBookmark("gone", "https://gone.com/", "", 1, 1.0, -1);
  app.reset();
  {
    text::IniDocument index(fs.files[kIndex]);
    index.set("ico", "gone.com", "-1");
    fs.files[kIndex] = index.bytes();
  }
  sim.oleEpoch += capture::kRetryDays - 1;
  startAndWait();
  sim.advance(capture::kRetryDelayMs * 4);
  fetch();
  EXPECT_EQ(requestsOf("https://gone.com/"), 0u);
  app.reset();
  sim.oleEpoch += 1;
  startAndWait();
  runSweep();
  EXPECT_EQ(requestsOf("https://gone.com/"), 1u);
  EXPECT_EQ(ini("ico", "gone.com"), "-1");
  EXPECT_EQ(requestsOf("https://has.com/"), 0u);
}

TEST_F(IconRetry, TheSweepYieldsToANewBookmarkAndTriesTheHostItGaveWayForAgain) {
  startAndWait();
  addSites();
  sim.advance(capture::kRetryDelayMs);
  ASSERT_TRUE(icons().fetching());  // the sweep's first fetch
  const std::size_t left = icons().retriesLeft();
  // The user adds a bookmark: its fetch goes first, the sweep's goes back
  // to its queue.
  sim.web.serve("https://new.com/", "");
  sim.web.serve("https://new.com/favicon.ico", iconBytes(0xABCDEF));
  add("New", "https://new.com/");
  EXPECT_EQ(icons().retriesLeft(), left + 1);
  fetch();
  EXPECT_GE(icons().iconIndexOf("new.com"), 4);
  runSweep();
  for (const char* host : {"minus.com", "default.com", "past.com", "never.com"}) {
    EXPECT_GE(icons().iconIndexOf(host), 4) << host;
  }
  EXPECT_FALSE(icons().sweeping());
}

TEST_F(IconRetry, ADayAheadOfTodayAClockSetBackStartsTheSweep) {
  fs.files[kData + "\\config.ini"] += "[图标]\r\n重试=99999\r\n";  // a day far ahead
  startAndWait();
  addSites();
  sim.advance(capture::kRetryDelayMs);
  EXPECT_TRUE(icons().sweeping());
  runSweep();
  EXPECT_EQ(sweepDay(), text::decimal(static_cast<long long>(sim.oleNow())));
}

TEST_F(IconRetry, ASweepThatCouldNotAskItsHostsIsNotRecordedAsDoneAndRunsAtTheNextStart) {
  // No thread free for any request: no host was asked.
  startAndWait();
  addSites();
  sim.web.noThreadFree = true;
  runSweep();
  EXPECT_TRUE(sim.web.requests.empty());
  for (const char* host : {"minus.com", "default.com", "past.com", "never.com"}) {
    EXPECT_EQ(ini("ico", host), "") << host;  // unrecorded, as if never fetched
  }
  EXPECT_EQ(sweepDay(), "");
  sim.web.noThreadFree = false;
  app.reset();
  sim.oleEpoch += 1;
  startAndWait();
  runSweep();
  for (const char* host : {"minus.com", "default.com", "past.com", "never.com"}) {
    EXPECT_GE(icons().iconIndexOf(host), 4) << host;
  }
  EXPECT_EQ(sweepDay(), text::decimal(static_cast<long long>(sim.oleNow())));

  // An append that fails part of the way through a sweep: nothing more is
  // fetched this session, and the sweep is not taken as done either.
  const std::string lastDay = sweepDay();
  app.reset();
  for (const char* site : {"x0", "minus", "default", "past", "never"}) {  // pictures the strip does not hold yet
    sim.web.serve(std::string("http://") + site + ".com/favicon.ico", iconBytes(static_cast<std::uint32_t>(site[1]) * 0x30303u));
    sim.web.serve(std::string("https://") + site + ".com/favicon.ico", iconBytes(static_cast<std::uint32_t>(site[1]) * 0x30303u));
  }
  {
    text::IniDocument index(fs.files[kIndex]);
    for (const char* host : {"minus.com", "default.com", "past.com", "never.com"}) index.set("ico", host, "-1");
    fs.files[kIndex] = index.bytes();
  }
  sim.oleEpoch += capture::kRetryDays;
  startAndWait();
  sim.advance(capture::kRetryDelayMs);
  ASSERT_TRUE(icons().fetching());
  fs.appendsBeforeFailure = 0;
  fetch();
  fs.appendsBeforeFailure = -1;
  for (int i = 0; i < 60; ++i) {
    sim.advance(1000);
    fetch();
  }
  EXPECT_FALSE(icons().sweeping());
  EXPECT_EQ(sweepDay(), lastDay);
  app.reset();
  sim.oleEpoch += 1;
  startAndWait();
  runSweep();
  for (const char* host : {"minus.com", "default.com", "past.com", "never.com"}) {
    EXPECT_GE(icons().iconIndexOf(host), 4) << host;
  }
  EXPECT_EQ(sweepDay(), text::decimal(static_cast<long long>(sim.oleNow())));
}

TEST_F(IconRetry, AnImportThatRenumbersTheStoreMidSweepAsksNoHostTwice) {
  startAndWait();
  // gone.com answers its page and has no icon anywhere: it stays at "-1".
  sim.web.serve("https://gone.com/", "<html></html>");
  app->store().addBookmark("gone", "https://gone.com/", "", 1, 1.0, -1);
  addSites();
  sim.advance(capture::kRetryDelayMs);
  for (int i = 0; i < 60 && requestsOf("https://gone.com/") == 0; ++i) {
    fetch();
    sim.advance(1000);
  }
  fetch();  // gone.com's fetch delivered
  ASSERT_EQ(requestsOf("https://gone.com/"), 1u);
  ASSERT_TRUE(icons().sweeping());
  EXPECT_EQ(ini("ico", "gone.com"), "-1");
  // The ids change under the sweep (an import renumbered the store).
  icons().idsChanged();
  runSweep();
  EXPECT_EQ(requestsOf("https://gone.com/"), 1u);
  for (const char* host : {"minus.com", "default.com", "past.com", "never.com"}) {
    EXPECT_EQ(requestsOf(std::string("https://") + host + "/favicon.ico"), 1u) << host;
    EXPECT_GE(icons().iconIndexOf(host), 4) << host;
  }
  EXPECT_EQ(sweepDay(), text::decimal(static_cast<long long>(sim.oleNow())));
}

TEST_F(Icons, AnAppendThatFailsPartWayStopsFurtherRecordsLandingAskew) {
  startAndWait();
  servePageWithIcon("http://a.com/", "/i.bmp", iconBytes(0x0000A0));
  servePageWithIcon("http://b.com/", "/i.bmp", iconBytes(0x0000B0));
  add("A", "http://a.com/");
  fs.appendsBeforeFailure = 0;
  fs.tornAppendBytes = 100;  // part of the record is written
  fetch();
  fs.appendsBeforeFailure = -1;
  EXPECT_EQ(ini("ico", "a.com"), "-1");
  add("B", "http://b.com/");
  fetch();
  // Whatever record b.com's key names holds b.com's picture.
  const long long k = text::parseDecimal(ini("ico", "b.com"), 0);
  if (k >= 1) {
    ASSERT_GE(fs.files[kStrip].size(), static_cast<std::size_t>(k) * capture::kIconRecordSize);
    EXPECT_TRUE(fs.files[kStrip].substr(static_cast<std::size_t>(k - 1) * capture::kIconRecordSize,
                                        capture::kIconRecordSize) == capture::renderIconRecord(iconBytes(0x0000B0)));
  }
  // The next start cuts the torn end and fetches again.
  app.reset();
  start();
  sim.advance(300);
  EXPECT_EQ(fs.files[kStrip].size() % capture::kIconRecordSize, 0u);
  add("B2", "http://b.com/");
  fetch();
  EXPECT_EQ(ini("ico", "b.com"), "3");
  EXPECT_TRUE(fs.files[kStrip].substr(2 * capture::kIconRecordSize) == capture::renderIconRecord(iconBytes(0x0000B0)));
}

// The rows a sort walks are between two states until it ends (the category
// left, the sorted rows not yet built): a picture arriving meanwhile must
// not put the icons of other bookmarks on the rows still on screen.
TEST_F(Icons, APictureArrivingDuringASortPutsNoOtherBookmarksIconOnARow) {
  fs.files[kData + "\\udb"] = fixedStore(3000);
  startAndWait();
  // An earlier flat view leaves its rows behind.
  auto& box = static_cast<platform::sim::SimEditBox&>(app->searchBox().edit());
  box.setText("x29");
  ASSERT_FALSE(app->list().rowIds().empty());
  box.setText("");
  ASSERT_EQ(app->list().category(), 1);
  auto& canvas = app->listCanvas().box();
  std::vector<list::Pic> before;
  for (const auto& s : app->list().slots()) before.push_back(canvas.getPicture(s.icon));
  sim.web.serve("http://x0.com/favicon.ico", iconBytes(0x00C000));
  icons().startIconFetch(11);
  sim.runWorkers();  // the picture waits for the GUI thread
  bool checked = false;
  sim.post([&] {
    ASSERT_EQ(ini("ico", "x0.com"), "3");  // arrived, inside the sort
    for (std::size_t k = 0; k < before.size(); ++k) {
      EXPECT_EQ(canvas.getPicture(app->list().slots()[k].icon), before[k]) << "slot " << k;
    }
    checked = true;
  });
  host(app->mainWindow()).click(120, 165);  // the visit-count view: a sort that lets messages through
  sim.processPendingMessages();
  EXPECT_TRUE(checked);
  // Once sorted, every bookmark row shows its own icon.
  for (const auto& s : app->list().slots()) {
    const store::EntryId e = app->list().idAtRow(s.row);
    if (s.row < 1 || e <= 0 || !app->store().entry(e).isBookmark() || !canvas.getVisible(s.icon)) continue;
    EXPECT_EQ(canvas.getPicture(s.icon), icons().iconPictureOf(app->store().entry(e).url)) << "row " << s.row;
  }
}

// A damaged index: values that are no record number, and numbers beyond
// what an int holds, name no record and show the default picture.
TEST_F(Icons, IndexValuesThatNameNoRecordShowTheDefaultPicture) {
  std::string strip;
  for (std::uint32_t c : {0x010101u, 0x020202u, 0x030303u, 0x040404u}) strip += capture::renderIconRecord(iconBytes(c));
  fs.files[kStrip] = strip;
  fs.files[kIndex] =
      "[ico]\r\nabc.com=abc\r\nbig.com=99999\r\nneg.com=-5\r\nwrap.com=4294967299\r\nwrap1.com=4294967297\r\n"
      "huge.com=99999999999999999999999\r\nok.com=4\r\n";
  startAndWait();
  const list::Pic def = app->list().look().defaultSiteIcon;
  EXPECT_EQ(icons().iconIndexOf("abc.com"), 0);
  for (const char* host : {"abc.com", "big.com", "neg.com", "wrap.com", "wrap1.com", "huge.com"}) {
    EXPECT_EQ(icons().iconPictureOf(std::string("http://") + host + "/"), def) << host;
    EXPECT_TRUE(icons().recordOf(std::string("http://") + host + "/").empty()) << host;
  }
  EXPECT_NE(icons().iconPictureOf("http://ok.com/"), def);
  // "abc" counts as no key: a new bookmark fetches; the others have a key
  // and do not.
  add("A", "http://abc.com/");
  EXPECT_TRUE(icons().fetching());
  fetch();
  for (const char* host : {"big.com", "neg.com", "wrap.com"}) {
    add(host, std::string("http://") + host + "/");
    EXPECT_FALSE(icons().fetching()) << host;
  }
}

TEST_F(Icons, ThePanelClickFetchesAHostWhoseValueNamesNoRecordAsNew) {
  fs.files[kIndex] = "[ico]\r\nbig.com=99999\r\nneg.com=-5\r\nwrap.com=4294967299\r\n";
  startAndWait();
  int k = 3;
  for (const char* host : {"big.com", "neg.com", "wrap.com"}) {
    const std::string site = std::string("http://") + host + "/";
    sim.web.serve(site + "favicon.ico", iconBytes(0x100000u * static_cast<std::uint32_t>(k)));
    const store::EntryId id = app->store().addBookmark(host, site, "", 1, 1.0, -1);
    icons().panelIconClick(id);
    EXPECT_EQ(ini("ico", host), "-1") << host;
    fetch();
    EXPECT_EQ(ini("ico", host), std::to_string(k)) << host;
    EXPECT_EQ(stripRecords(), static_cast<std::size_t>(k));
    ++k;
  }
}

// The digest section of a damaged index may name a record the strip does
// not hold yet; once the strip has grown that far, the number names another
// picture, which must not be taken for this one.
TEST_F(Icons, ADigestNamingARecordOfAnotherPictureIsNotShared) {
  const std::string wanted = capture::renderIconRecord(iconBytes(0xABCDEF));
  fs.files[kIndex] = "[md5]\r\n" + text::md5Hex(wanted) + "=5\r\n";
  startAndWait();
  int n = 0;
  for (std::uint32_t c : {0x111111u, 0x222222u, 0x333333u}) {
    const std::string site = "http://s" + std::to_string(++n) + ".com/";
    sim.web.serve(site + "favicon.ico", iconBytes(c));
    EXPECT_NE(app->store().addBookmark("s", site, "", 1, 1.0, -1), 0);
    icons().startIconFetch(app->store().count());
    fetch();
  }
  ASSERT_EQ(stripRecords(), 5u);  // record 5 now holds 0x333333
  sim.web.serve("http://w.com/favicon.ico", iconBytes(0xABCDEF));
  add("W", "http://w.com/");
  fetch();
  EXPECT_EQ(icons().recordOf("http://w.com/"), wanted);
  EXPECT_EQ(icons().iconPictureOf("http://w.com/")->at(4, 4) & 0xFFFFFF, 0xABCDEFu);
  EXPECT_EQ(icons().recordOf("http://s3.com/"), capture::renderIconRecord(iconBytes(0x333333)));
}

TEST_F(Icons, StripFilesOfOddSizesLoadTheirWholeRecords) {
  const std::string a = capture::renderIconRecord(iconBytes(0x0A0A0A));
  const std::string b = capture::renderIconRecord(iconBytes(0x0B0B0B));
  const std::string c = capture::renderIconRecord(iconBytes(0x0C0C0C));
  struct Case {
    std::string strip;
    std::size_t records;
  };
  const std::vector<Case> cases = {{"", 2},           {std::string(821, 'x'), 2}, {a + "y", 2},
                                   {a + b, 2},        {a + b + c.substr(0, 821), 2}, {a + b + c, 3},
                                   {a + b + c + "z", 3}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.strip.size());
    app.reset();
    fs.files[kStrip] = k.strip;
    fs.files.erase(kIndex);
    startAndWait();
    ASSERT_EQ(icons().records().size(), k.records);
    EXPECT_EQ(fs.files[kStrip].size(), k.records * capture::kIconRecordSize);
    if (k.strip.size() >= 822) EXPECT_EQ(icons().records()[0], a);
    // The next picture lands right after the whole records.
    sim.web.serve("http://odd.com/favicon.ico", iconBytes(0x123123));
    const store::EntryId id = app->store().addBookmark("o", "http://odd.com/", "", 1, 1.0, -1);
    icons().startIconFetch(id);
    fetch();
    EXPECT_EQ(ini("ico", "odd.com"), std::to_string(k.records + 1));
    EXPECT_EQ(fs.files[kStrip].substr(k.records * capture::kIconRecordSize),
              capture::renderIconRecord(iconBytes(0x123123)));
  }
}

// Input while a fetch is on its way: the edit panel opened for another
// bookmark, the bookmark binned and purged, the program closed.
TEST_F(Icons, AFetchArrivingAfterThePanelMovedToAnotherBookmarkLeavesThatPanelsIcon) {
  startAndWait();
  servePageWithIcon("http://a.com/", "/i.bmp", iconBytes(0xA0A0A0));
  const store::EntryId a = add("A", "http://a.com/");
  app->editPanel().openEditPanel(12);  // another bookmark, whose host has no picture
  const list::Pic shown = app->editPanel().iconBox().picture();
  fetch();
  EXPECT_EQ(ini("ico", "a.com"), "3");
  EXPECT_EQ(app->editPanel().iconBox().picture(), shown);
  // The panel of the bookmark itself, opened while its fetch runs, shows
  // the picture when it arrives.
  servePageWithIcon("http://b.com/", "/i.bmp", iconBytes(0xB0B0B0));
  const store::EntryId b = add("B", "http://b.com/");
  app->editPanel().openEditPanel(b);
  fetch();
  ASSERT_TRUE(app->editPanel().iconBox().picture());
  EXPECT_EQ(app->editPanel().iconBox().picture()->at(8, 8) & 0xFFFFFF, 0xB0B0B0u);
  EXPECT_NE(a, b);
}

TEST_F(Icons, ABookmarkBinnedOrPurgedWhileItsFetchRunsStillGivesItsHostThePicture) {
  startAndWait();
  servePageWithIcon("http://gone.com/", "/i.bmp", iconBytes(0x0F0F0F));
  const store::EntryId id = add("G", "http://gone.com/");
  EXPECT_TRUE(app->store().moveEntries(std::to_string(id) + "u", store::kRecycleBin, -2, false));
  EXPECT_TRUE(app->store().purgeEntry(store::kRecycleBin, id));
  ASSERT_FALSE(app->store().exists(id));
  fetch();
  EXPECT_EQ(ini("ico", "gone.com"), "3");
  EXPECT_EQ(ini("md5", "3"), text::md5Hex(icons().records()[2]));
  // A queue that names it skips it.
  icons().queueIconFetches({id});
  sim.advance(1);
  EXPECT_FALSE(icons().fetching());
}

TEST_F(Icons, ClosingWithAFetchOnItsWayOrItsResultPendingLeavesNothingBehind) {
  startAndWait();
  servePageWithIcon("http://c.com/", "/i.bmp", iconBytes(0x0C0C0C));
  add("C", "http://c.com/");
  sim.runWorkers();  // the result waits for the GUI thread
  app.reset();
  sim.processPendingMessages();  // delivered to nobody
  EXPECT_EQ(ini("ico", "c.com"), "-1");
  EXPECT_EQ(stripRecords(), 2u);
  start();
  sim.advance(300);
  add("C2", "http://c.com/x");  // a host at "-1" is not fetched by adding
  EXPECT_FALSE(icons().fetching());
  app.reset();
  sim.processPendingMessages();
}

TEST_F(Icons, ARefetchInPlaceEndedByAnotherFetchChangesNoRecord) {
  startAndWait();
  servePageWithIcon("http://a.com/", "/i.bmp", iconBytes(0x010203));
  const store::EntryId id = add("A", "http://a.com/");
  fetch();
  ASSERT_EQ(ini("ico", "a.com"), "3");
  const std::string strip = fs.files[kStrip];
  servePageWithIcon("http://a.com/", "/i.bmp", iconBytes(0x040506));
  icons().panelIconClick(id);  // in place, on the worker
  servePageWithIcon("http://n.com/", "/i.bmp", iconBytes(0x070809));
  add("N", "http://n.com/");  // ends the refetch
  fetch();
  EXPECT_EQ(fs.files[kStrip].substr(0, strip.size()), strip);
  EXPECT_EQ(ini("ico", "a.com"), "3");
  EXPECT_EQ(ini("ico", "n.com"), "4");
  EXPECT_EQ(ini("md5", "3"), text::md5Hex(icons().records()[2]));
}

// What a hostile site can serve: pictures whose headers lie, a page beyond
// the size limit. Each fetch ends, every record it leaves is a whole record
// with its keys, and a page that cannot be read still leads to the favicon.
TEST_F(Icons, HostileBytesFromTheWebEndEveryFetchWithWholeRecords) {
  auto le16 = [](unsigned v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; };
  auto le32 = [&](std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); };
  auto icoEntry = [&](int w, int bits, std::uint32_t size, std::uint32_t offset) {
    return std::string{static_cast<char>(w), static_cast<char>(w), 0, 0} + le16(1) + le16(static_cast<unsigned>(bits)) +
           le32(size) + le32(offset);
  };
  const std::string icoHeader = std::string("\0\0\1\0", 4);
  const std::vector<std::string> bodies = {
      icoHeader + le16(65535),                                                              // count 65535, no entries
      icoHeader + le16(3) + icoEntry(16, 4, 40, 0),                                         // entries missing
      icoHeader + le16(2) + icoEntry(16, 4, 40, 0) + icoEntry(32, 32, 100, 0xFFFFFFF0u),    // data far outside
      icoHeader + le16(2) + icoEntry(16, 4, 40, 0) + icoEntry(32, 32, 0xFFFFFFFFu, 22),     // size far outside
      icoHeader + le16(2) + icoEntry(16, 4, 40, 38) + icoEntry(32, 32, 40, 38) + std::string(40, '\x28'),
      icoHeader + le16(1) + icoEntry(16, 32, 0x7FFFFFFF, 22) + std::string(10, 'x'),       // one image, lying size
      icoHeader + le16(2) + icoEntry(0, 32, 10, 22) + icoEntry(16, 8, 10, 22),             // 256 pixels, kept whole
      std::string("\x89PNG\r\n\x1a\n", 8) + std::string(30, '\xFF'),
      std::string("GIF89a") + le16(65535) + le16(65535) + std::string(20, '\x01'),
      std::string("BM6") + std::string(60, '\xFF'),
      std::string("\xFF\xD8\xFF", 3) + std::string(50, '\xC0'),
      std::string("\0\0\1", 3),
  };
  startAndWait();
  for (std::size_t k = 0; k < bodies.size(); ++k) {
    SCOPED_TRACE(k);
    const std::string site = "http://h" + std::to_string(k) + ".com/";
    sim.web.serve(site, "<link rel=\"shortcut icon\" href=\"/i.ico\">");
    sim.web.serve(site + "i.ico", bodies[k]);
    add("H", site);
    fetch();
    EXPECT_FALSE(icons().fetching());
    EXPECT_EQ(fs.files[kStrip].size() % capture::kIconRecordSize, 0u);
  }
  for (std::size_t r = 3; r <= stripRecords(); ++r) {
    EXPECT_EQ(ini("md5", std::to_string(r)), text::md5Hex(icons().records()[r - 1])) << r;
    EXPECT_EQ(ini("md5", ini("md5", std::to_string(r))), std::to_string(r)) << r;
  }
  // A page over the size limit reads as no page: the favicon is tried.
  platform::sim::FakePage big;
  big.body = std::string((1u << 20) + 1, 'x');
  sim.web.pages["http://big.com/"] = big;
  sim.web.serve("http://big.com/favicon.ico", iconBytes(0x0B1B2B));
  add("Big", "http://big.com/");
  fetch();
  EXPECT_EQ(icons().recordOf("http://big.com/"), capture::renderIconRecord(iconBytes(0x0B1B2B)));
  // An endless one too.
  platform::sim::FakePage endless;
  endless.endless = true;
  sim.web.pages["http://end.com/"] = endless;
  sim.web.pages["http://end.com/favicon.ico"] = endless;
  add("End", "http://end.com/");
  fetch();
  EXPECT_EQ(ini("ico", "end.com"), "-1");
}

// An icon file that is there but cannot be read (held by another program)
// is neither overwritten nor added to, and nothing is fetched: record
// numbers given out now would name other records of the strip it really
// holds, and keys written now would replace the whole index.
TEST(IconsUnreadableFiles, AStripOrIndexThatCannotBeReadIsLeftAsItIsAndNothingIsFetched) {
  struct Locked : text::MemoryFileSystem {
    std::string locked;
    std::optional<std::string> readAll(const std::string& path) override {
      if (path == locked) return std::nullopt;
      return MemoryFileSystem::readAll(path);
    }
  };
  const std::string strip = kData + "\\ico", index = kData + "\\icon";
  for (const std::string& lockedFile : {strip, index}) {
    SCOPED_TRACE(lockedFile);
    SimPlatform sim;
    Locked fs;
    sim.runDir = kRun;
    fs.directories.insert(kData);
    fs.files[kData + "\\udb"] = fixedStore(3);
    fs.files[kData + "\\config.ini"] = "[浏览器]\r\n地址=C:\\B\\b.exe\r\n名称=b\r\n";
    std::string held;
    for (std::uint32_t c : {0x01u, 0x02u, 0x03u, 0x04u}) held += capture::renderIconRecord(iconBytes(c));
    fs.files[strip] = held;
    const std::string heldIndex = "[ico]\r\nx0.com=4\r\nx1.com=-1\r\n";
    fs.files[index] = heldIndex;
    fs.locked = lockedFile;
    auto app = std::make_unique<Application>(sim, fs);
    app->startUp();
    sim.advance(300);
    sim.web.serve("http://new.com/favicon.ico", iconBytes(0x0A0B0C));
    sim.web.serve("http://x1.com/favicon.ico", iconBytes(0x0D0E0F));
    app->editPanel().addTypedBookmark("N", "http://new.com/", "");
    app->icons().panelIconClick(12);  // x1.com, at "-1"
    sim.runWorkers();
    sim.processPendingMessages();
    EXPECT_TRUE(fs.files[strip] == held);
    EXPECT_EQ(fs.files[index], heldIndex);
    EXPECT_TRUE(sim.web.requests.empty());
    app.reset();
  }
}

// A strip whose torn end cannot be cut off (the file cannot be replaced)
// would take the next record askew: nothing is fetched into it.
TEST(IconsUnreadableFiles, AStripThatCannotBeSetRightIsNotAppendedTo) {
  struct Stuck : text::MemoryFileSystem {
    std::string stuck;
    bool replace(const std::string& path, std::string_view bytes) override {
      if (path == stuck) return false;
      return MemoryFileSystem::replace(path, bytes);
    }
  };
  const std::string strip = kData + "\\ico";
  for (const std::string& held : {std::string(), std::string(1700, 'x')}) {
    SCOPED_TRACE(held.size());
    SimPlatform sim;
    Stuck fs;
    sim.runDir = kRun;
    fs.directories.insert(kData);
    fs.files[kData + "\\udb"] = fixedStore(3);
    fs.files[kData + "\\config.ini"] = "[浏览器]\r\n地址=C:\\B\\b.exe\r\n名称=b\r\n";
    fs.files[strip] = held;
    fs.stuck = strip;
    auto app = std::make_unique<Application>(sim, fs);
    app->startUp();
    sim.advance(300);
    sim.web.serve("http://new.com/favicon.ico", iconBytes(0x0A0B0C));
    app->editPanel().addTypedBookmark("N", "http://new.com/", "");
    sim.runWorkers();
    sim.processPendingMessages();
    EXPECT_TRUE(fs.files[strip] == held);
    EXPECT_EQ(text::IniDocument(fs.files[kData + "\\icon"]).get("ico", "new.com"), "");
    app.reset();
  }
}

}  // namespace
}  // namespace lh::app
