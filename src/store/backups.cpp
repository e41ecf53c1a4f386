#include "store/backups.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "store/bookmark_store.h"
#include "text/gbk.h"
#include "text/memory_filesystem.h"
#include "text/oledate.h"

namespace lh::store {

namespace {

constexpr std::string_view kPrefix = "udb-";
constexpr std::string_view kSuffix = ".gz";
constexpr const char* kIndexName = "index";

int digits(std::string_view s, std::size_t at, std::size_t n) {
  if (at + n > s.size()) return -1;
  int v = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return -1;
    v = v * 10 + (s[i] - '0');
  }
  return v;
}

std::string nameFor(int year, int month, int day, int seq) {
  char buf[48];
  if (seq <= 1) {
    std::snprintf(buf, sizeof buf, "udb-%04d-%02d-%02d.gz", year, month, day);
  } else {
    std::snprintf(buf, sizeof buf, "udb-%04d-%02d-%02d-%d.gz", year, month, day, seq);
  }
  return buf;
}

// Newest first: by day, then by sequence.
bool newer(const BackupCopy& a, const BackupCopy& b) {
  if (a.year != b.year) return a.year > b.year;
  if (a.month != b.month) return a.month > b.month;
  if (a.day != b.day) return a.day > b.day;
  return a.seq > b.seq;
}

}  // namespace

std::string gzipped(std::string_view bytes) {
  z_stream z{};
  // 15 + 16: a gzip header and trailer around the deflate stream.
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return r == Z_STREAM_END ? out : std::string();
}

std::optional<std::string> gunzipped(std::string_view bytes, std::size_t limit) {
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) return std::nullopt;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  std::string out;
  char buf[64 * 1024];
  int r = Z_OK;
  while (r == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buf);
    z.avail_out = sizeof buf;
    r = inflate(&z, Z_NO_FLUSH);
    if (r != Z_OK && r != Z_STREAM_END) break;
    const std::size_t got = sizeof buf - z.avail_out;
    if (out.size() + got > limit) {
      r = Z_MEM_ERROR;
      break;
    }
    out.append(buf, got);
    if (r == Z_OK && got == 0 && z.avail_in == 0) {
      r = Z_BUF_ERROR;  // the stream ends before its end
      break;
    }
  }
  inflateEnd(&z);
  if (r != Z_STREAM_END) return std::nullopt;
  return out;
}

StoreCounts countStore(std::string_view storeBytes) {
  text::MemoryFileSystem fs;
  fs.files["udb"] = std::string(storeBytes);
  BookmarkStore s(fs, "udb", "bein");
  s.load();
  StoreCounts c;
  for (EntryId id = 1; id <= s.count(); ++id) {
    if (!s.exists(id)) continue;
    const Entry& e = s.entry(id);
    if (e.deleted) continue;
    if (e.isBookmark()) ++c.bookmarks;
    if (e.isCategory() && id > kLastFixedEntry) ++c.categories;
  }
  return c;
}

std::string BackupCopy::date() const {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  return buf;
}

std::optional<BackupCopy> parseBackupName(std::string_view name) {
  if (name.size() < kPrefix.size() + 10 + kSuffix.size() || name.substr(0, kPrefix.size()) != kPrefix ||
      name.substr(name.size() - kSuffix.size()) != kSuffix) {
    return std::nullopt;
  }
  const std::size_t at = kPrefix.size();
  BackupCopy c;
  c.name = std::string(name);
  c.year = digits(name, at, 4);
  c.month = digits(name, at + 5, 2);
  c.day = digits(name, at + 8, 2);
  if (c.year < 1 || c.month < 1 || c.month > 12 || c.day < 1 || c.day > 31 || name[at + 4] != '-' ||
      name[at + 7] != '-') {
    return std::nullopt;
  }
  const std::string_view rest = name.substr(at + 10, name.size() - kSuffix.size() - at - 10);
  if (rest.empty()) return c;
  if (rest.size() < 2 || rest.size() > 6 || rest[0] != '-') return std::nullopt;
  c.seq = digits(rest, 1, rest.size() - 1);
  if (c.seq < 2) return std::nullopt;
  return c;
}

Backups::Backups(text::FileSystem& fs, std::string dataDir) : fs_(fs), folder_(std::move(dataDir) + "\\backup") {}

std::uint64_t Backups::digestOf(std::string_view bytes) {
  // FNV-1a, 64 bits: tells a changed store from an unchanged one.
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

std::vector<BackupCopy> Backups::readIndex() {
  // "name<TAB>digest<TAB>bookmarks<TAB>categories<TAB>readable<TAB>size"
  // per line.
  std::vector<BackupCopy> out;
  const std::optional<std::string> bytes = fs_.readAll(path(kIndexName));
  if (!bytes) return out;
  std::size_t at = 0;
  while (at < bytes->size()) {
    std::size_t end = bytes->find('\n', at);
    if (end == std::string::npos) end = bytes->size();
    std::string_view line(bytes->data() + at, end - at);
    at = end + 1;
    std::vector<std::string_view> f;
    for (std::size_t p = 0;;) {
      const std::size_t tab = line.find('\t', p);
      f.push_back(line.substr(p, tab == std::string_view::npos ? std::string_view::npos : tab - p));
      if (tab == std::string_view::npos) break;
      p = tab + 1;
    }
    if (f.size() != 6) continue;
    std::optional<BackupCopy> c = parseBackupName(f[0]);
    if (!c) continue;
    c->digest = std::strtoull(std::string(f[1]).c_str(), nullptr, 16);
    c->counts.bookmarks = static_cast<int>(text::parseDecimal(f[2], 0));
    c->counts.categories = static_cast<int>(text::parseDecimal(f[3], 0));
    c->readable = f[4] == "1";
    c->size = static_cast<std::uint64_t>(text::parseDecimal(f[5], 0));
    out.push_back(*c);
  }
  return out;
}

void Backups::writeIndex(const std::vector<BackupCopy>& copies) {
  std::string out;
  for (const BackupCopy& c : copies) {
    char digest[24];
    std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(c.digest));
    out += c.name + "\t" + digest + "\t" + std::to_string(c.counts.bookmarks) + "\t" +
           std::to_string(c.counts.categories) + "\t" + (c.readable ? "1" : "0") + "\t" + std::to_string(c.size) +
           "\n";
  }
  fs_.replace(path(kIndexName), out);
}

std::vector<BackupCopy> Backups::list() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const std::vector<BackupCopy> indexed = readIndex();
  std::vector<BackupCopy> out;
  bool changed = false;
  for (const std::string& name : fs_.filesIn(folder_)) {
    std::optional<BackupCopy> c = parseBackupName(name);
    if (!c) continue;
    const auto known = std::find_if(indexed.begin(), indexed.end(), [&](const BackupCopy& k) { return k.name == name; });
    if (known != indexed.end()) {
      *c = *known;
    } else {
      // Not in the index: unpacked and counted.
      const std::optional<std::string> packed = fs_.readAll(path(name));
      c->size = packed ? packed->size() : 0;
      const std::optional<std::string> bytes = packed ? gunzipped(*packed) : std::nullopt;
      c->readable = bytes.has_value();
      if (bytes) {
        c->digest = digestOf(*bytes);
        c->counts = countStore(*bytes);
      }
      changed = true;
    }
    out.push_back(*c);
  }
  std::sort(out.begin(), out.end(), newer);
  if (changed || out.size() != indexed.size()) writeIndex(out);
  return out;
}

std::optional<std::string> Backups::read(const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const std::optional<std::string> packed = fs_.readAll(path(name));
  if (!packed) return std::nullopt;
  return gunzipped(*packed);
}

std::string Backups::write(std::string_view storeBytes, double now, bool daily) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const text::CalendarTime t = text::calendarFromOle(now);
  std::vector<BackupCopy> copies = list();
  const std::uint64_t digest = digestOf(storeBytes);
  int seq = 1;
  for (const BackupCopy& c : copies) {
    if (c.year == t.year && c.month == t.month && c.day == t.day) seq = std::max(seq, c.seq + 1);
  }
  if (daily && (seq > 1 || (!copies.empty() && copies.front().readable && copies.front().digest == digest))) {
    return {};  // one a day, and only of a store that changed
  }
  if (!fs_.makeDirectory(folder_)) return {};
  BackupCopy c;
  c.year = t.year;
  c.month = t.month;
  c.day = t.day;
  c.seq = seq;
  c.name = nameFor(c.year, c.month, c.day, c.seq);
  c.digest = digest;
  c.counts = countStore(storeBytes);
  const std::string packed = gzipped(storeBytes);
  if (packed.empty() || !fs_.replace(path(c.name), packed)) return {};
  c.size = packed.size();
  copies.insert(copies.begin(), c);
  writeIndex(copies);
  thin(now);
  return c.name;
}

void Backups::thin(double now) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<BackupCopy> copies = list();  // newest first
  const text::CalendarTime t = text::calendarFromOle(now);
  std::vector<bool> keep(copies.size(), false);
  for (std::size_t i = 0; i < copies.size() && i < static_cast<std::size_t>(kDailyCopies); ++i) keep[i] = true;
  // The first copy of each of the last months (this one included).
  const int thisMonth = t.year * 12 + (t.month - 1);
  std::set<int> monthsSeen;
  for (std::size_t i = copies.size(); i-- > 0;) {
    const int month = copies[i].year * 12 + (copies[i].month - 1);
    if (month > thisMonth - kMonthlyCopies && month <= thisMonth && monthsSeen.insert(month).second) keep[i] = true;
  }
  // A copy the next one shrank to less than half of stays.
  for (std::size_t i = 1; i < copies.size(); ++i) {
    const BackupCopy& later = copies[i - 1];
    const BackupCopy& earlier = copies[i];
    if (earlier.readable && later.readable && later.counts.bookmarks * 2 < earlier.counts.bookmarks) keep[i] = true;
  }
  std::vector<BackupCopy> kept;
  for (std::size_t i = 0; i < copies.size(); ++i) {
    if (keep[i] || !fs_.remove(path(copies[i].name))) kept.push_back(copies[i]);
  }
  if (kept.size() != copies.size()) writeIndex(kept);
}

}  // namespace lh::store
