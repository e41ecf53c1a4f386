// The store at the size of a heavy user: 100,000 entries and a change log of
// 10,000 records. Prints the time of readStoreFile (also in the first round,
// which pays for filling fresh memory as a start does), of reading every
// entry once, replayLog (which ends with its saveAll) and saveAll alone, and
// the peak memory of the process that loads. Then the operations on one large category: replaying a log of
// 100,000 adds into it, moving 5,000 of its 100,000 members out, and 100,000
// adds made live.
//
//   store_bench                 generate into a temporary directory and measure
//   store_bench generate DIR    only generate udb and bein in DIR
//   store_bench measure DIR     measure an existing udb/bein pair
//   store_bench operations DIR  only the operations on one large category
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_data.h"
#include "store/bookmark_store.h"
#include "store/codec.h"
#include "store/members.h"
#include "text/filesystem.h"
#include "text/memory_filesystem.h"

using namespace lh;

namespace {

constexpr int kEntries = 100000;
constexpr int kLogRecords = 10000;

using bench::nowMs;

long peakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

bench::BookmarkMaker maker;  // the store's titles and addresses, from a fixed seed

int uniform(int lo, int hi) { return maker.uniform(lo, hi); }
std::string randomTitle() { return maker.title(); }
std::string randomUrl() { return maker.url(); }
std::string randomWord(int lo, int hi) { return maker.word(lo, hi); }

void generate(const std::string& dir) {
  auto fs = text::makeRealFileSystem();
  const std::string storePath = dir + "/udb", logPath = dir + "/bein";
  fs->remove(logPath);
  store::BookmarkStore s(*fs, storePath, logPath);
  // The ten fixed entries.
  for (int i = 1; i <= store::kLastFixedEntry; ++i) {
    const store::EntryId id = s.newEntry();
    store::Entry& e = *s.mutableEntry(id);
    e.title = "fixed" + std::to_string(i);
    e.members() = "u";
    e.kind = store::kCategory;
  }
  std::vector<store::EntryId> categories{store::kRootCategory};
  for (int n = store::kLastFixedEntry; n < kEntries; ++n) {
    const store::EntryId parent = categories[std::min<std::size_t>(categories.size() - 1, uniform(0, static_cast<int>(categories.size()) - 1))];
    const store::EntryId id = s.newEntry();
    store::Entry& e = *s.mutableEntry(id);
    const int roll = uniform(0, 99);
    e.parentId = parent;
    e.added = 40000.0 + uniform(0, 6000) + uniform(0, 86399) / 86400.0;
    if (roll < 4) {
      store::BookmarkStore::setTitle(e, randomTitle().substr(0, 20));
      e.members() = "u";
      e.kind = store::kCategory;
      categories.push_back(id);
    } else if (roll < 6) {
      e.kind = store::kSeparator;
    } else {
      store::BookmarkStore::setTitle(e, randomTitle());
      store::BookmarkStore::setUrl(e, randomUrl());
      if (uniform(0, 9) == 0) e.note = "note " + randomWord(5, 40);
      e.kind = store::kBookmark;
      if (uniform(0, 2) == 0) {
        e.visitCount = uniform(1, 3000);
        e.lastVisit = e.added + uniform(0, 900);
      }
    }
    store::appendMember(s.mutableEntry(parent)->members().edit(), id);
    s.refreshLine(id);
  }
  for (store::EntryId c : categories) s.refreshLine(c);
  for (int i = 2; i <= store::kLastFixedEntry; ++i) s.refreshLine(i);
  if (!s.saveAll()) {
    std::fprintf(stderr, "could not write %s\n", storePath.c_str());
    std::exit(1);
  }
  // The change log: a typical mix of the nine operations.
  for (int n = 0; n < kLogRecords; ++n) {
    const int roll = uniform(0, 99);
    const store::EntryId any = uniform(11, s.count());
    const store::EntryId cat = categories[uniform(0, static_cast<int>(categories.size()) - 1)];
    if (roll < 55) {
      static_cast<void>(s.recordVisit(any, 46000.0 + n / 100.0, s.entry(any).visitCount + 1));
    } else if (roll < 75) {
      static_cast<void>(s.addBookmark(randomTitle(), randomUrl(), "", cat, 46000.0 + n / 100.0, -1));
    } else if (roll < 85) {
      static_cast<void>(s.editBookmark(any, randomTitle(), "edited", s.entry(any).url));
    } else if (roll < 93) {
      static_cast<void>(s.moveEntries(std::to_string(any) + "u", cat, -2, false));
    } else if (roll < 96) {
      static_cast<void>(s.addCategory(cat, 46000.0, randomTitle().substr(0, 12)));
    } else if (roll < 98 && !s.members(cat).empty()) {
      const auto m = s.members(cat);
      static_cast<void>(s.addSeparator(cat, m[uniform(0, static_cast<int>(m.size()) - 1)]));
    } else if (roll < 99 && cat > store::kLastFixedEntry) {
      static_cast<void>(s.editCategory(cat, randomTitle().substr(0, 10), 1, 0, false));
    } else {
      store::EntryId separator = 0;
      for (store::EntryId k : s.members(cat)) {
        if (s.entry(k).isSeparator()) separator = k;
      }
      if (separator) {
        static_cast<void>(s.purgeEntry(cat, separator));
      } else {
        static_cast<void>(s.recordVisit(any, 46000.0 + n / 100.0, s.entry(any).visitCount + 1));
      }
    }
  }
}

int measure(const std::string& dir) {
  auto fs = text::makeRealFileSystem();
  namespace stdfs = std::filesystem;
  std::printf("store file: %.1f MB, change log: %.1f MB\n", stdfs::file_size(dir + "/udb") / 1e6,
              stdfs::file_size(dir + "/bein") / 1e6);
  const long baseKb = peakKb();
  std::vector<double> reads, replays, saves;
  int entries = 0, records = 0;
  for (int round = 0; round < 5; ++round) {
    const std::string storePath = dir + "/run-udb", logPath = dir + "/run-bein";
    stdfs::copy_file(dir + "/udb", storePath, stdfs::copy_options::overwrite_existing);
    stdfs::copy_file(dir + "/bein", logPath, stdfs::copy_options::overwrite_existing);
    store::BookmarkStore s(*fs, storePath, logPath);
    double t0 = nowMs();
    entries = s.readStoreFile();
    double t1 = nowMs();
    const store::LoadResult r = s.replayLog();
    double t2 = nowMs();
    records = r.replayed;
    static_cast<void>(s.saveAll());
    double t3 = nowMs();
    reads.push_back(t1 - t0);
    replays.push_back(t2 - t1);
    saves.push_back(t3 - t2);
  }
  // Entries are read from their lines when first asked for: the cost of
  // asking for every one of them once, after a load.
  double everyEntry = 0;
  {
    store::BookmarkStore s(*fs, dir + "/udb", dir + "/no-log");
    s.readStoreFile();
    const double t0 = nowMs();
    std::size_t titles = 0;
    for (store::EntryId id = 1; id <= s.count(); ++id) titles += s.entry(id).title.size();
    everyEntry = nowMs() - t0;
    if (titles == 0) std::printf("(no titles)\n");
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  std::printf("entries %d, log records replayed %d (median of 5 rounds)\n", entries, records);
  std::printf("readStoreFile          %8.1f ms (first round, a fresh process: %.1f ms)\n", median(reads), reads[0]);
  std::printf("every entry read once  %8.1f ms (after a load)\n", everyEntry);
  std::printf("replayLog (+ saveAll)  %8.1f ms\n", median(replays));
  std::printf("saveAll alone          %8.1f ms\n", median(saves));
  std::printf("read + replay + save   %8.1f ms\n", median(reads) + median(replays));
  std::printf("peak memory            %8.1f MB (process start: %.1f MB)\n", peakKb() / 1024.0, baseKb / 1024.0);
  return 0;
}

// The ten fixed entries and category 11, empty.
std::string smallStoreFile() {
  std::string file;
  for (int i = 1; i <= 11; ++i) {
    store::Entry e;
    e.title = "fixed" + std::to_string(i);
    e.members() = "u";
    e.parentId = i == 11 ? 1 : 0;
    file += store::serializeLine(e) + "\r\n";
  }
  return file;
}

double medianOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int operations(const std::string& dir) {
  auto fs = text::makeRealFileSystem();
  constexpr int kAdds = 100000, kMoved = 5000;
  // A log of 100,000 addBookmark records, all into category 11.
  std::string log;
  std::vector<std::string> titles, urls;
  for (int i = 0; i < kAdds; ++i) {
    titles.push_back(randomTitle());
    urls.push_back(randomUrl());
    log += store::encodeRecord(store::LogRecord{
        store::LogOp::AddBookmark,
        {titles.back(), urls.back(), "", store::intField(11), store::dateField(46000.0 + i / 1000.0), store::intField(-1)}});
  }
  const std::string storePath = dir + "/ops-udb", logPath = dir + "/ops-bein";
  std::vector<double> replays, moves, liveAdds;
  for (int round = 0; round < 3; ++round) {
    fs->write(storePath, smallStoreFile());
    fs->write(logPath, log);
    store::BookmarkStore s(*fs, storePath, logPath);
    const double t0 = nowMs();
    const store::LoadResult r = s.load();
    const double t1 = nowMs();
    if (r.replayed != kAdds || !r.saved || s.members(11).size() != kAdds) {
      std::fprintf(stderr, "replay went wrong\n");
      return 1;
    }
    replays.push_back(t1 - t0);
    // 5,000 members spread over the category's 100,000, moved to the root.
    std::string items;
    for (int k = 0; k < kMoved; ++k) items += std::to_string(12 + k * (kAdds / kMoved) + round) + "u";
    const double t2 = nowMs();
    static_cast<void>(s.moveEntries(items, store::kRootCategory, -2, false));
    const double t3 = nowMs();
    if (s.members(11).size() != kAdds - kMoved || s.members(1).size() != kMoved) {
      std::fprintf(stderr, "move went wrong\n");
      return 1;
    }
    moves.push_back(t3 - t2);
  }
  for (int round = 0; round < 3; ++round) {
    // Live adds into the root; the log in memory, so that the figure is the
    // store's own work and not 100,000 opens of a file.
    text::MemoryFileSystem memory;
    memory.files["udb"] = smallStoreFile();
    store::BookmarkStore s(memory, "udb", "bein");
    s.load();
    const double t0 = nowMs();
    for (int i = 0; i < kAdds; ++i) static_cast<void>(s.addBookmark(titles[i], urls[i], "", store::kRootCategory, 46000.0, -1));
    liveAdds.push_back(nowMs() - t0);
    if (s.members(1).size() != kAdds) {
      std::fprintf(stderr, "adds went wrong\n");
      return 1;
    }
  }
  std::printf("one category (median of 3 rounds)\n");
  std::printf("replay 100,000 adds into it (+ saveAll)  %8.1f ms\n", medianOf(replays));
  std::printf("move 5,000 of its 100,000 members out    %8.1f ms\n", medianOf(moves));
  std::printf("100,000 live adds into the root          %8.1f ms (log in memory)\n", medianOf(liveAdds));
  fs->remove(storePath);
  fs->remove(logPath);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "measure") return measure(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "operations") return operations(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "generate") {
    std::filesystem::create_directories(argv[2]);
    generate(argv[2]);
    return 0;
  }
  const std::string dir = (std::filesystem::temp_directory_path() / ("linkhoard-bench-" + std::to_string(getpid()))).string();
  std::filesystem::create_directories(dir);
  std::printf("generating %d entries and %d log records in %s\n", kEntries, kLogRecords, dir.c_str());
  generate(dir);
  std::fflush(stdout);
  // Measure in a fresh process, so that the generator's memory does not count.
  const std::string cmd = std::string("'") + argv[0] + "' measure '" + dir + "'";
  int rc = std::system(cmd.c_str());
  if (rc == 0) rc = operations(dir);
  std::filesystem::remove_all(dir);
  return rc == 0 ? 0 : 1;
}
