// The bookmark file at the size of a heavy user: 100,000 links. Prints the
// median time of exporting a store of 100,000 bookmarks, of importing that
// export into a store holding only the fixed entries, of importing it again
// into the store it came from (every link a duplicate), and of importing a
// browser's kind of file: UTF-8 with its charset line, LF line ends,
// indented folders nested three deep, site icons as data addresses on a
// third of the links. The stores live in a temporary directory on the real
// file system, so the import's saveAll writes a real file.
//
//   exchange_bench
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_data.h"
#include "store/bookmark_file.h"
#include "store/codec.h"
#include "store/members.h"
#include "text/codepage.h"
#include "text/filesystem.h"

using namespace lh;

namespace {

constexpr int kLinks = 100000;

using bench::nowMs;

bench::BookmarkMaker maker;

double medianOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// A store file of the ten fixed entries, all empty categories.
std::string fixedEntriesFile() {
  std::string file;
  for (int i = 1; i <= store::kLastFixedEntry; ++i) {
    store::Entry e;
    e.title = "fixed" + std::to_string(i);
    e.members() = "u";
    file += store::serializeLine(e) + "\r\n";
  }
  return file;
}

// 100,000 bookmarks (a third of them visited) in 2,000 categories nested at
// random under the root, and 1,000 separators; saved to `path`.
void makeStore(text::FileSystem& fs, const std::string& path, const std::string& log) {
  fs.write(path, fixedEntriesFile());
  fs.remove(log);
  store::BookmarkStore s(fs, path, log);
  s.load();
  std::vector<store::EntryId> categories{store::kRootCategory};
  for (int i = 0; i < 2000; ++i) {
    const store::EntryId parent = categories[static_cast<std::size_t>(maker.uniform(0, static_cast<int>(categories.size()) - 1))];
    const store::EntryId id = s.newEntry();
    store::Entry& e = *s.mutableEntry(id);
    store::BookmarkStore::setTitle(e, maker.title().substr(0, 20));
    e.members() = "u";
    e.parentId = parent;
    e.added = 42000.0 + maker.uniform(0, 2000) + maker.uniform(0, 86399) / 86400.0;
    store::prependMember(s.mutableEntry(parent)->members().edit(), id);
    s.refreshLine(id);
    categories.push_back(id);
  }
  for (int i = 0; i < kLinks + 1000; ++i) {
    const store::EntryId parent = categories[static_cast<std::size_t>(maker.uniform(0, static_cast<int>(categories.size()) - 1))];
    const store::EntryId id = s.newEntry();
    store::Entry& e = *s.mutableEntry(id);
    e.parentId = parent;
    if (i >= kLinks) {
      e.kind = store::kSeparator;
    } else {
      store::BookmarkStore::setTitle(e, maker.title());
      store::BookmarkStore::setUrl(e, maker.url() + std::to_string(i));  // each address once
      e.kind = store::kBookmark;
      e.added = 42000.0 + maker.uniform(0, 2000) + maker.uniform(0, 86399) / 86400.0;
      if (maker.uniform(0, 2) == 0) {
        e.visitCount = maker.uniform(1, 300);
        e.lastVisit = e.added + maker.uniform(0, 900);
      }
    }
    store::appendMember(s.mutableEntry(parent)->members().edit(), id);
    s.refreshLine(id);
  }
  for (store::EntryId c : categories) s.refreshLine(c);
  static_cast<void>(s.saveAll());
}

// What a browser writes: UTF-8, its charset line, LF, folders indented and
// nested three deep (20 at the top, 10 in each, 5 in each of those: 1,220
// folders), the links spread over them, a third with a site icon.
std::string browserFile() {
  std::string icon = "data:image/png;base64,";
  for (int i = 0; i < 400; ++i) icon.push_back("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[maker.uniform(0, 63)]);
  std::string out =
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
      "<!-- This is an automatically generated file.\n"
      "     It will be read and overwritten.\n"
      "     DO NOT EDIT! -->\n"
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
      "<TITLE>Bookmarks</TITLE>\n"
      "<H1>Bookmarks</H1>\n"
      "<DL><p>\n";
  int link = 0;
  const int folders = 20 + 20 * 10 + 20 * 10 * 5;
  const int perFolder = kLinks / folders;
  auto links = [&](int depth, int n) {
    const std::string indent(static_cast<std::size_t>(depth) * 4, ' ');
    for (int i = 0; i < n && link < kLinks; ++i, ++link) {
      out += indent + "<DT><A HREF=\"" + maker.url() + std::to_string(link) + "\" ADD_DATE=\"" +
             std::to_string(1400000000 + link) + "\"";
      if (link % 3 == 0) out += " ICON=\"" + icon + "\"";
      out += ">" + text::gbkToUtf8(maker.title()) + "</A>\n";
    }
  };
  auto open = [&](int depth) {
    const std::string indent(static_cast<std::size_t>(depth) * 4, ' ');
    out += indent + "<DT><H3 ADD_DATE=\"1400000000\" LAST_MODIFIED=\"1400000001\">" +
           text::gbkToUtf8(maker.title().substr(0, 12)) + "</H3>\n" + indent + "<DL><p>\n";
  };
  auto close = [&](int depth) { out += std::string(static_cast<std::size_t>(depth) * 4, ' ') + "</DL><p>\n"; };
  for (int a = 0; a < 20; ++a) {
    open(1);
    for (int b = 0; b < 10; ++b) {
      open(2);
      for (int c = 0; c < 5; ++c) {
        open(3);
        links(4, perFolder);
        close(3);
      }
      links(3, perFolder);
      close(2);
    }
    links(2, perFolder);
    close(1);
  }
  links(1, kLinks);  // the rest in the root
  out += "</DL><p>\n";
  return out;
}

struct Timed {
  double ms = 0;
  store::ImportCounts counts;
};

// Imports `bytes` into a store holding only the fixed entries.
Timed importFresh(text::FileSystem& fs, const std::string& dir, const std::string& bytes) {
  const std::string path = dir + "/fresh-udb", log = dir + "/fresh-bein";
  fs.write(path, fixedEntriesFile());
  fs.remove(log);
  store::BookmarkStore s(fs, path, log);
  s.load();
  Timed t;
  const double t0 = nowMs();
  t.counts = store::importBookmarkFile(s, bytes);
  t.ms = nowMs() - t0;
  return t;
}

}  // namespace

int main() {
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("linkhoard-exchange-" + std::to_string(getpid()))).string();
  std::filesystem::create_directories(dir);
  auto fs = text::makeRealFileSystem();
  const std::string path = dir + "/udb", log = dir + "/bein";
  makeStore(*fs, path, log);

  std::vector<double> exports;
  std::string file;
  {
    store::BookmarkStore s(*fs, path, log);
    s.load();
    for (int round = 0; round < 5; ++round) {
      const double t0 = nowMs();
      file = store::exportBookmarkFile(s);
      exports.push_back(nowMs() - t0);
    }
  }

  std::vector<double> ownImports, duplicateImports, browserImports;
  store::ImportCounts own, duplicates, browser;
  for (int round = 0; round < 3; ++round) {
    const Timed t = importFresh(*fs, dir, file);
    ownImports.push_back(t.ms);
    own = t.counts;
  }
  for (int round = 0; round < 3; ++round) {
    // Into the store the file came from, compacted first as the program does.
    const std::string copy = dir + "/dup-udb", copyLog = dir + "/dup-bein";
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    fs->remove(copyLog);
    store::BookmarkStore s(*fs, copy, copyLog);
    s.load();
    static_cast<void>(s.compact());
    const double t0 = nowMs();
    duplicates = store::importBookmarkFile(s, file);
    duplicateImports.push_back(nowMs() - t0);
  }
  const std::string utf8 = browserFile();
  for (int round = 0; round < 3; ++round) {
    const Timed t = importFresh(*fs, dir, utf8);
    browserImports.push_back(t.ms);
    browser = t.counts;
  }

  std::printf("bookmark file, %d links (median of 5 exports, 3 imports of each kind)\n", kLinks);
  std::printf("export of the store (2,000 categories, 1,000 separators)  %8.1f ms  (%.1f MB)\n", medianOf(exports),
              file.size() / 1e6);
  std::printf("import of that export into the fixed entries              %8.1f ms  (%d folders, %d links)\n",
              medianOf(ownImports), own.folders, own.links);
  std::printf("import of it into the store it came from                  %8.1f ms  (%d duplicates)\n",
              medianOf(duplicateImports), duplicates.duplicates);
  std::printf("import of a browser's UTF-8 file, LF, nested, icons       %8.1f ms  (%.1f MB, %d folders, %d links)\n",
              medianOf(browserImports), utf8.size() / 1e6, browser.folders, browser.links);
  std::filesystem::remove_all(dir);
  return 0;
}
