#include "capture/icons.h"

#include <algorithm>
#include <climits>

#include "canvas/decode.h"
#include "capture/icon_links.h"
#include "capture/icon_record.h"
#include "text/gbk.h"
#include "text/md5.h"
#include "text/rules.h"

namespace lh::capture {

namespace {

constexpr std::string_view kHostSection = "ico";
constexpr std::string_view kDigestSection = "md5";

// Every request of a fetch: a few seconds, at most a megabyte, a handful of
// redirects (the system's libraries bound none of these themselves).
const platform::HttpLimits kLimits{6000, 1u << 20, 5};


std::string upperAscii(std::string s) {
  for (std::size_t i = 0; i < s.size(); i += text::charLength(s, i)) {
    if (s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>(s[i] - 32);
  }
  return s;
}

bool isPicture(std::string_view bytes) { return canvas::sniffImageType(bytes) != canvas::ImageType::None; }

// A page's icons asked for at most: the best declared ones, then (after
// the site's "/favicon.ico") one touch icon, so that a page declaring
// hundreds costs a few requests.
constexpr std::size_t kMostDeclaredTried = 3;
constexpr std::size_t kMostTouchTried = 1;

// An ICO keeps only its best image.
std::string reduced(std::string data) {
  return canvas::sniffImageType(data) == canvas::ImageType::Ico ? reduceIco(data) : data;
}

}  // namespace

IconDownload downloadIcon(platform::Http& http, const std::string& address, const platform::CancelFlag& cancel) {
  IconDownload out;
  const auto get = [&](const std::string& target) -> platform::HttpResponse {
    if (cancel.raised()) return {platform::HttpError::Cancelled};
    platform::HttpResponse r = http.get(target, kLimits, &cancel);
    // No thread was free: that says nothing of the site.
    if (r.error == platform::HttpError::Busy) out.refused = true;
    return r;
  };
  // The page over its own scheme (https as well as http), its redirects
  // followed; its icons are read against the address it finally came from.
  const bool hasScheme = text::matchesCaselessAt(address, 0, "http://") || text::matchesCaselessAt(address, 0, "https://");
  const std::string pageAddress = hasScheme ? address : "http://" + address;
  const platform::HttpResponse page = get(pageAddress);
  std::string html = page.ok() ? page.body : std::string();
  html.resize(std::min(html.size(), html.find('\0')));
  const std::string base = page.ok() && !page.finalUrl.empty() ? page.finalUrl : pageAddress;
  // The icons a browser would choose, its "/favicon.ico" when none of them
  // gives a picture, a touch icon last.
  for (const std::string& candidate : iconsToTry(html, base, kMostDeclaredTried, kMostTouchTried)) {
    if (cancel.raised()) return {};
    std::string bytes;
    if (text::matchesCaselessAt(candidate, 0, "data:")) {
      bytes = dataUrlBytes(candidate);
    } else {
      const platform::HttpResponse r = get(candidate);
      if (r.ok()) bytes = r.body;
    }
    const std::string data = reduced(std::move(bytes));
    if (!isPicture(data)) continue;
    const canvas::Picture picture = canvas::decodePicture(data);
    if (picture.empty()) continue;  // a picture that does not decode is no icon: the next is tried
    out.record = renderIconRecord(picture);
    out.refused = false;
    return out;
  }
  if (cancel.raised()) return {};
  return out;
}

IconCache::IconCache(platform::Platform& platform, text::FileSystem& fs, const store::DataPaths& paths,
                     const store::BookmarkStore& store, std::string defaultIconBytes, list::Pic defaultIcon,
                     Hooks hooks)
    : platform_(platform),
      fs_(fs),
      paths_(paths),
      store_(store),
      defaultBytes_(std::move(defaultIconBytes)),
      default_(std::move(defaultIcon)),
      hooks_(std::move(hooks)),
      index_(fs, paths.iconIndex),
      worker_(platform.createWorker()) {
  时钟10_ = platform_.createTimer([this] { queueTick(); });
  retryTimer_ = platform_.createTimer([this] { retryTick(); });
}

IconCache::~IconCache() {
  platform_.setTimerPeriod(时钟10_, 0);
  platform_.setTimerPeriod(retryTimer_, 0);
  worker_.reset();  // cancels and waits for the fetch in progress
}

// ------------------------------------------------------------ the strip

void IconCache::loadStrip() {
  const std::optional<std::string> read = fs_.readAll(paths_.iconStrip);
  pictures_.clear();
  readOnly_ = !read && fs_.exists(paths_.iconStrip);
  if (readOnly_) {
    // A strip that is there but cannot be read (held by another program):
    // its records are not known, so it is neither rewritten nor appended
    // to, and no fetch runs until a start that can read it. Every row shows
    // the default picture meanwhile.
    records_.clear();
    return;
  }
  // Nor is anything fetched while the index cannot be read (it is not
  // written then): a record appended without its keys would be lost.
  readOnly_ = index_.unreadable();
  const std::string strip = read.value_or(std::string());
  records_ = splitIconStrip(strip);
  bool rewrite = strip.size() % kIconRecordSize != 0;  // a torn last record: appends would land askew
  if (records_.size() < 2) {
    const std::string placeholder = renderIconRecord(defaultBytes_);
    while (records_.size() < 2) records_.push_back(placeholder);
    rewrite = true;
  }
  if (rewrite) {
    std::string whole;
    for (const std::string& r : records_) whole += r;
    // A strip that cannot be set right would take the next record at
    // another number than the one its keys give: nothing is fetched.
    if (!fs_.replace(paths_.iconStrip, whole)) readOnly_ = true;
  }
  fs_.append(paths_.iconStrip, "");  // created when missing, contents kept
}

list::Pic IconCache::pictureOfRecord(int n) {
  auto it = pictures_.find(n);
  if (it != pictures_.end()) return it->second;
  auto p = std::make_shared<canvas::Picture>(
      canvas::decodePicture(records_[static_cast<std::size_t>(n - 1)], canvas::Alpha::Premultiplied));
  list::Pic pic = p->empty() ? default_ : list::Pic(std::move(p));
  pictures_.emplace(n, pic);
  return pic;
}

// ------------------------------------------------------------ the index

int IconCache::iconIndexOf(const std::string& host) {
  // Keys are matched without regard to letter case, as the file does.
  const std::string key = upperAscii(host);
  auto it = hostValues_.find(key);
  if (it != hostValues_.end()) return it->second;
  // A number beyond what an int holds names no record either (rather than
  // whatever its low bits would name).
  const long long read = text::parseDecimal(index_.get(kHostSection, host), 0);
  const int v = static_cast<int>(std::clamp<long long>(read, INT_MIN, INT_MAX));
  hostValues_.emplace(key, v);
  return v;
}

void IconCache::setHostValue(const std::string& host, int value) {
  index_.set(kHostSection, host, text::decimal(value));
  hostValues_[upperAscii(host)] = value;
}

void IconCache::forgetHost(const std::string& host) {
  index_.remove(kHostSection, host);
  hostValues_[upperAscii(host)] = 0;
}

list::Pic IconCache::iconPictureOf(const std::string& address) {
  const int n = iconIndexOf(text::hostOf(address));
  if (n >= 1 && static_cast<std::size_t>(n) <= records_.size()) return pictureOfRecord(n);
  return default_;
}

std::string IconCache::recordOf(const std::string& address) {
  const int n = iconIndexOf(text::hostOf(address));
  if (n >= 1 && static_cast<std::size_t>(n) <= records_.size()) return records_[static_cast<std::size_t>(n - 1)];
  return {};
}

// ------------------------------------------------------------ fetching

void IconCache::startIconFetch(store::EntryId id) { fetchIcon(id, Purpose::Panel); }

void IconCache::iconForNewBookmark(store::EntryId id) {
  if (!store_.exists(id)) return;
  const std::string host = text::hostOf(store_.entry(id).url);
  // A host at "-1" is fetched again only from the edit panel.
  if (!host.empty() && iconIndexOf(host) == 0) startIconFetch(id);
}

void IconCache::fetchIcon(store::EntryId id, Purpose purpose) {
  const auto done = [this, purpose] {
    if (purpose == Purpose::Queue) platform_.setTimerPeriod(时钟10_, 1);
    if (purpose == Purpose::Retry) platform_.setTimerPeriod(retryTimer_, 1);
  };
  if (readOnly_ || !store_.exists(id) || !store_.entry(id).isBookmark()) return done();
  const std::string address = store_.entry(id).url;
  const std::string host = text::hostOf(address);
  // An address without a host has nothing to fetch from.
  if (host.empty()) return done();
  if (purpose == Purpose::Retry ? hasPicture(host) : purpose != Purpose::InPlace && iconIndexOf(host) > 1) {
    // The host has its record already.
    if (hooks_.refreshRows) hooks_.refreshRows();
    return done();
  }
  // This fetch ends the one in progress: a sweep's fetch goes back to its
  // queue, to be tried once the others are done.
  if (retrying_ != 0) {
    if (store_.exists(retrying_)) {
      const std::string left = text::hostOf(store_.entry(retrying_).url);
      if (iconIndexOf(left) == -1) forgetHost(left);
    }
    retry_.push_back(retrying_);
    retrying_ = 0;
  }
  if (purpose == Purpose::Retry) retrying_ = id;
  if (purpose != Purpose::InPlace) setHostValue(host, -1);
  platform::Http* http = &platform_.http();
  worker_->start([this, http, id, address, host, purpose](const platform::CancelFlag& cancel) {
    IconDownload found = downloadIcon(*http, address, cancel);
    return platform::Worker::Delivery(
        [this, id, host, purpose, found = std::move(found)] { finishFetch(id, host, purpose, found); });
  });
}

void IconCache::finishFetch(store::EntryId id, const std::string& host, Purpose purpose, const IconDownload& found) {
  if (purpose == Purpose::Queue) platform_.setTimerPeriod(时钟10_, 1);
  if (purpose == Purpose::Retry) {
    retrying_ = 0;
    platform_.setTimerPeriod(retryTimer_, 1);
    if (found.refused) {
      sweepCutShort_ = true;
    } else {
      retried_.insert(upperAscii(host));
    }
  }
  if (found.record.empty()) {
    // The site was not asked (no thread was free): it is no site without
    // an icon, and is tried again later.
    if (found.refused && purpose != Purpose::InPlace && iconIndexOf(host) == -1) forgetHost(host);
    // Nothing found: the host keeps its "-1" (or, in place, its record).
    return;
  }
  if (purpose == Purpose::InPlace) {
    replaceRecord(host, found.record);
  } else {
    if (purpose == Purpose::Panel && hooks_.showInPanel) {
      auto p = std::make_shared<canvas::Picture>(canvas::decodePicture(found.record, canvas::Alpha::Premultiplied));
      hooks_.showInPanel(id, p);
    }
    storeRecord(host, found.record);
  }
  if (hooks_.refreshRows) hooks_.refreshRows();
}

void IconCache::storeRecord(const std::string& host, const std::string& record) {
  const std::string digest = text::md5Hex(record);
  const long long m = text::parseDecimal(index_.get(kDigestSection, digest), 0);
  // Records 1 and 2 are never shared; a digest naming a record the strip
  // does not hold, or one holding another picture (a damaged index, or one
  // that named records past the end of a strip that has since grown), is not
  // trusted either.
  if (m > 2 && static_cast<std::size_t>(m) <= records_.size() &&
      records_[static_cast<std::size_t>(m - 1)] == record) {
    setHostValue(host, static_cast<int>(m));
    return;
  }
  // The record first: an append that failed leaves the host at "-1" and no
  // key pointing past the end of the strip. It may have written part of
  // the record, which would put every later one askew: nothing more is
  // fetched this session (the next start cuts the piece off).
  if (!fs_.append(paths_.iconStrip, record)) {
    readOnly_ = true;
    return;
  }
  records_.push_back(record);
  const int k = static_cast<int>(records_.size());
  setHostValue(host, k);
  index_.set(kDigestSection, digest, text::decimal(k));
  index_.set(kDigestSection, text::decimal(k), digest);
}

void IconCache::replaceRecord(const std::string& host, const std::string& record) {
  const int c = iconIndexOf(host);
  if (c < 1 || static_cast<std::size_t>(c) > records_.size()) return;
  const std::string oldDigest = text::md5Hex(records_[static_cast<std::size_t>(c - 1)]);
  const std::string newDigest = text::md5Hex(record);
  if (newDigest == oldDigest) return;
  std::vector<std::string> next = records_;
  next[static_cast<std::size_t>(c - 1)] = record;
  std::string whole;
  whole.reserve(next.size() * kIconRecordSize);
  for (const std::string& r : next) whole += r;
  // The whole strip is replaced in one step: a failure changes nothing.
  if (!fs_.replace(paths_.iconStrip, whole)) return;
  records_ = std::move(next);
  pictures_.erase(c);
  index_.remove(kDigestSection, oldDigest);
  index_.set(kDigestSection, text::decimal(c), newDigest);
  index_.set(kDigestSection, newDigest, text::decimal(c));
}

void IconCache::panelIconClick(store::EntryId id) {
  if (readOnly_ || !store_.exists(id)) return;
  const std::string address = store_.entry(id).url;
  const std::string host = text::hostOf(address);
  const int n = iconIndexOf(host);
  if (n == 0) {
    startIconFetch(id);
  } else if (n == -1) {
    index_.remove(kHostSection, host);
    hostValues_.erase(upperAscii(host));
    startIconFetch(id);
  } else if (n >= 1 && static_cast<std::size_t>(n) <= records_.size()) {
    // Downloaded on the worker like every fetch; the record is replaced
    // when the picture arrives.
    fetchIcon(id, Purpose::InPlace);
  } else {
    // A value naming no record (a damaged index): fetched as new.
    index_.remove(kHostSection, host);
    hostValues_.erase(upperAscii(host));
    startIconFetch(id);
  }
}

// ------------------------------------------------------------ the import's queue

void IconCache::queueIconFetches(std::vector<store::EntryId> ids) {
  queue_.assign(ids.begin(), ids.end());
  platform_.setTimerPeriod(时钟10_, 1);
}

void IconCache::queueTick() {
  platform_.setTimerPeriod(时钟10_, 4000);
  if (queue_.empty()) {
    platform_.setTimerPeriod(时钟10_, 0);
    return;
  }
  const store::EntryId id = queue_.front();
  queue_.pop_front();
  const int n = store_.exists(id) ? iconIndexOf(text::hostOf(store_.entry(id).url)) : -1;
  if (n != -1 && n < 1) {
    fetchIcon(id, Purpose::Queue);  // writes "-1" for the host and ends the fetch in progress
  } else {
    platform_.setTimerPeriod(时钟10_, 1);  // nothing to fetch: the next id at once
  }
}

// ------------------------------------------------------------ trying again

bool IconCache::hasPicture(const std::string& host) {
  const int n = iconIndexOf(host);
  // Records 1 and 2 are the default site icon, not the site's picture.
  return n > 2 && static_cast<std::size_t>(n) <= records_.size();
}

void IconCache::planRetry() {
  if (readOnly_) return;
  const long long today = static_cast<long long>(platform_.oleNow());
  const long long last = text::parseDecimal(
      text::readProfileString(fs_, paths_.settingsFile, kRetrySection, kRetryDayKey), LLONG_MIN);
  // A day ahead of today (a clock set back) counts as long ago.
  if (last != LLONG_MIN && last <= today && today - last < kRetryDays) return;
  platform_.setTimerPeriod(retryTimer_, kRetryDelayMs);
}

void IconCache::idsChanged() {
  retry_.clear();
  retrying_ = 0;
  sweepBegun_ = false;  // gathered again at the next tick, if one is planned
}

void IconCache::startRetry() {
  retry_.clear();
  std::unordered_map<std::string, bool> seen;
  for (store::EntryId id = 1; id <= static_cast<store::EntryId>(store_.count()); ++id) {
    if (!store_.exists(id) || !store_.entry(id).isBookmark()) continue;
    const std::string host = text::hostOf(store_.entry(id).url);
    if (host.empty() || !seen.emplace(upperAscii(host), true).second) continue;
    if (!hasPicture(host) && !retried_.count(upperAscii(host))) retry_.push_back(id);
  }
}

void IconCache::retryTick() {
  if (readOnly_) {
    // The icon files can no longer be trusted (an append failed): nothing
    // more is fetched this session, and the sweep is not done.
    platform_.setTimerPeriod(retryTimer_, 0);
    sweepBegun_ = false;
    return;
  }
  if (!sweepBegun_) {
    startRetry();
    sweepBegun_ = true;
  }
  // The sweep yields to the import's queue and to any fetch under way (its
  // own included: the next waits for it).
  if (!queue_.empty() || worker_->busy()) {
    platform_.setTimerPeriod(retryTimer_, 1000);
    return;
  }
  if (retry_.empty()) {
    // Done: the day is kept, and the next sweep waits kRetryDays (unless
    // some host could not be asked).
    platform_.setTimerPeriod(retryTimer_, 0);
    sweepBegun_ = false;
    if (sweepCutShort_) return;
    text::writeProfileString(fs_, paths_.settingsFile, kRetrySection, kRetryDayKey,
                             text::decimal(static_cast<long long>(platform_.oleNow())));
    return;
  }
  platform_.setTimerPeriod(retryTimer_, 4000);
  const store::EntryId id = retry_.front();
  retry_.pop_front();
  fetchIcon(id, Purpose::Retry);
}

}  // namespace lh::capture
