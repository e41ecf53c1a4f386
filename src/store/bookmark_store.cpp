#include "store/bookmark_store.h"

#include <algorithm>
#include <cstring>

#include "store/members.h"
#include "text/gbk.h"
#include "text/oledate.h"
#include "text/rules.h"

namespace lh::store {

namespace {

const Entry kNoEntry{};

// Reports a percentage only when it changes.
class Progress {
 public:
  Progress(LoadObserver* observer, std::size_t total) : observer_(observer), total_(total) {}
  void step(std::size_t i) {
    if (!observer_ || total_ == 0) return;
    const int percent = static_cast<int>(100 * i / total_);
    if (percent != last_) {
      last_ = percent;
      observer_->progress(percent);
    }
  }

 private:
  LoadObserver* observer_;
  std::size_t total_;
  int last_ = -1;
};

}  // namespace

std::string intField(std::int32_t v) {
  std::string s;
  putInt(s, v);
  return s;
}

std::string dateField(double v) {
  std::string s;
  putDate(s, v);
  return s;
}

std::string freeBackupName(text::FileSystem& fs, const std::string& changeLog) {
  std::string name = changeLog + ".bak";
  for (int n = 2; fs.exists(name); ++n) name = changeLog + "." + std::to_string(n) + ".bak";
  return name;
}

BookmarkStore::BookmarkStore(text::FileSystem& fs, std::string storeFile, std::string changeLog)
    : fs_(fs), storeFile_(std::move(storeFile)), changeLog_(std::move(changeLog)) {}

const Entry& BookmarkStore::entry(EntryId id) const {
  return valid(id) ? materialize(static_cast<std::size_t>(id - 1)) : kNoEntry;
}

Entry* BookmarkStore::find(EntryId id) {
  // Every change reaches its entries through here.
  ++revision_;
  return valid(id) ? &materialize(static_cast<std::size_t>(id - 1)) : nullptr;
}

Entry& BookmarkStore::materialize(std::size_t i) const {
  if (entries_.built(i)) return entries_[i];
  Entry& e = entries_.build(i);
  // An entry not built yet has the line it was loaded with (every change
  // builds its entries first).
  if (lines_.vacant(i)) return e;
  parseLineInto(lines_.file(), lines_.fileOffset(i), static_cast<std::int64_t>(i) + 1, e, true);
  if (!e.title.empty()) e.titleKey = text::titleKeyOf(e.title);
  // A part of the address, which is a part of the file (or the text for no
  // host): nothing to copy.
  if (e.kind == kBookmark) e.domain = EntryText::borrowed(text::registrableDomainIn(text::hostIn(e.url)));
  return e;
}

Entry* BookmarkStore::mutableEntry(EntryId id) {
  if (!valid(id)) return nullptr;
  // A pending line is serialised first, so that it keeps the values of the
  // change that made it pending.
  settle(static_cast<std::size_t>(id - 1));
  return &materialize(static_cast<std::size_t>(id - 1));
}

std::vector<EntryId> BookmarkStore::members(EntryId id) const { return parseMembers(entry(id).members()); }

std::string_view BookmarkStore::line(EntryId id) const {
  if (!valid(id)) return std::string_view();
  settle(static_cast<std::size_t>(id - 1));
  return lines_[static_cast<std::size_t>(id - 1)];
}

void BookmarkStore::settle(std::size_t i) const {
  if (lines_.pending(i)) lines_.set(i, serializeLine(entries_[i]));
}

void BookmarkStore::setTitle(Entry& e, std::string title) {
  e.titleKey = text::titleKeyOf(title);
  e.title = std::move(title);
}

void BookmarkStore::setUrl(Entry& e, std::string url) {
  e.domain = text::registrableDomain(text::hostOf(url));
  e.url = std::move(url);
}

// ---------------------------------------------------------------- loading

LoadResult BookmarkStore::load(LoadObserver* observer) {
  LoadResult r;
  r.lines = readStoreFile(observer);
  const LoadResult replay = replayLog(observer);
  r.replayed = replay.replayed;
  r.skippedRecords = replay.skippedRecords;
  r.saved = replay.saved;
  r.unreadable = readOnly_;
  return r;
}

std::string BookmarkStore::asideStoreFile(int n) const {
  return n <= 1 ? storeFile_ + ".old" : storeFile_ + "." + std::to_string(n) + ".old";
}

void BookmarkStore::removeAsideFiles() {
  for (int n = 1; n <= kAsideNames; ++n) {
    if (fs_.exists(asideStoreFile(n))) fs_.remove(asideStoreFile(n));
  }
}

bool BookmarkStore::restoreAside() {
  // A store file moved aside and not put back (see promote) is the store
  // file again; the latest one, should there be several.
  if (!fs_.exists(storeFile_)) {
    for (int n = kAsideNames; n >= 1; --n) {
      if (!fs_.exists(asideStoreFile(n))) continue;
      if (!fs_.rename(asideStoreFile(n), storeFile_)) return false;
      break;
    }
  }
  removeAsideFiles();
  return true;
}

std::string BookmarkStore::finishInterruptedFold() {
  const std::string next = nextStoreFile();
  const std::string folded = foldedLogFile();
  // A log under the folded name is in the next store file (when there is
  // one) or already in the store file: it is never replayed.
  const bool committed = fs_.exists(folded);
  if (!fs_.exists(next)) {
    if (!restoreAside()) readOnly_ = true;
    if (committed) fs_.remove(folded);
    return storeFile_;
  }
  if (!committed) {
    const auto log = fs_.readAll(changeLog_);
    if (!log && fs_.exists(changeLog_)) {
      readOnly_ = true;  // cannot tell whether the fold had committed
      return storeFile_;
    }
    if (log && !log->empty()) {
      // The fold had not moved the log yet: the log still counts, the next
      // store file does not.
      fs_.remove(next);
      if (!restoreAside()) readOnly_ = true;
      return storeFile_;
    }
    // No log: a fold of changes that were never logged (or one of an
    // earlier version, which removed the log), committed.
  }
  // The fold had committed; a log there now holds changes made after it.
  if (fs_.rename(next, storeFile_)) {
    removeAsideFiles();
    if (committed) fs_.remove(folded);
    return storeFile_;
  }
  if (const auto bytes = fs_.readAll(next); bytes && fs_.replace(storeFile_, *bytes)) {
    fs_.remove(next);
    removeAsideFiles();
    if (committed) fs_.remove(folded);
    return storeFile_;
  }
  readOnly_ = true;
  return next;
}

bool BookmarkStore::settleEarlierFold() {
  const std::string folded = foldedLogFile();
  if (!fs_.exists(folded)) return true;
  // An earlier fold committed but could not put its store file in place,
  // or could not remove the folded log.
  const std::string next = nextStoreFile();
  if (fs_.exists(next)) {
    const auto bytes = fs_.readAll(next);
    if (!bytes || !promote(next, *bytes)) return false;
  }
  return fs_.remove(folded) && !fs_.exists(folded);
}

int BookmarkStore::readStoreFile(LoadObserver* observer) {
  ++revision_;
  loading_ = true;
  readOnly_ = false;
  unlogged_ = false;
  logMayBeTorn_ = false;
  logSize_.reset();
  const std::string path = finishInterruptedFold();
  // Mapped, not read: the store's texts stay in the file's pages.
  std::unique_ptr<text::FileView> file = fs_.map(path);
  if (!file && fs_.exists(path)) readOnly_ = true;
  // Lines are kept as offsets of 32 bits.
  if (file && file->bytes().size() > UINT32_MAX) {
    readOnly_ = true;
    file.reset();
  }
  LineCache lines;
  lines.reset(std::move(file));
  // Where each line lies; the entries are read from their lines when first
  // needed (materialize).
  const std::string_view bytes = lines.file();
  Entry scratch;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const LineExtent x = parseLineInto(bytes, pos, static_cast<std::int64_t>(lines.size()) + 1, scratch, true);
    lines.addFileLine(x.raw);
    pos = x.next;
  }
  // The progress of the load, line by line. Window events meanwhile still
  // see the entries of the previous load.
  Progress progress(observer, lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) progress.step(i + 1);
  entries_ = EntryTable();
  entries_.resize(lines.size());
  lines_ = std::move(lines);
  // Anything derived from the entries while the progress let messages
  // through was derived from the previous load's.
  ++revision_;
  if (count() > 0) materialize(0).scrollRow = 1;
  // A store file an earlier fold of this store moved aside was mapped until
  // now.
  if (path == storeFile_) removeAsideFiles();
  loading_ = false;
  return count();
}

LoadResult BookmarkStore::replayLog(LoadObserver* observer) {
  LoadResult r;
  if (readOnly_) {
    r.unreadable = true;
    return r;
  }
  const auto log = fs_.readAll(changeLog_);
  if (!log) {
    if (fs_.exists(changeLog_)) readOnly_ = r.unreadable = true;
    if (!readOnly_) logSize_ = 0;
    return r;
  }
  logSize_ = log->size();
  if (log->empty()) return r;
  loading_ = true;
  const std::vector<LogRecord> records = decodeLog(*log, &r.skippedRecords);
  // Every record adds at most one line: grow the line array once.
  lines_.reserve(lines_.size() + records.size());
  Progress progress(observer, records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    apply(records[i]);
    progress.step(i + 1);
  }
  r.replayed = static_cast<int>(records.size());
  loading_ = false;
  // Folded whenever the log holds anything, even when nothing in it could be
  // read: a change must never be appended behind a torn record.
  r.saved = fold(log, r.skippedRecords > 0, observer);
  if (r.saved) logSize_ = 0;
  if (!r.saved && !log->ends_with(kLogTerminator)) logMayBeTorn_ = true;
  r.unreadable = readOnly_;
  return r;
}

std::string BookmarkStore::storeBytes(LoadObserver* observer) const {
  std::size_t size = 0;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    settle(i);
    size += lines_[i].size() + kLineEnd.size();
  }
  std::string out;
  out.reserve(size);
  Progress progress(observer, lines_.size());
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    out.append(lines_[i]).append(kLineEnd);
    progress.step(i + 1);
  }
  return out;
}

bool BookmarkStore::saveAll(LoadObserver* observer) {
  if (readOnly_) return false;
  const auto log = fs_.readAll(changeLog_);
  if (!log && fs_.exists(changeLog_)) return false;
  int skipped = 0;
  if (log) decodeLog(*log, &skipped);
  if (!fold(log, skipped > 0 || (log && !log->empty() && !log->ends_with(kLogTerminator)), observer)) return false;
  logSize_ = 0;
  logMayBeTorn_ = false;
  return true;
}

// The order of the steps makes the move of the log to its folded name the
// point where the fold takes effect. Before it, the next load replays the
// log on the old store file (a next store file beside it is discarded);
// after it, the next load puts the next store file in place if this fold
// could not, and never replays the folded log. A log that cannot be moved
// (another program holds it) is not folded this time: the store file and
// the log stay as they are. A rename either happens whole or not at all,
// unlike a removal, which a file held by another program can survive while
// it reports success.
bool BookmarkStore::fold(const std::optional<std::string>& log, bool damaged, LoadObserver* observer) {
  return foldBytes(log, damaged, storeBytes(observer));
}

bool BookmarkStore::foldBytes(const std::optional<std::string>& log, bool damaged, const std::string& out) {
  if (!settleEarlierFold()) return false;
  const std::string next = nextStoreFile();
  if (!fs_.replace(next, out)) return false;
  if (log) {
    // Nothing unreadable is destroyed: such a log is kept aside as well.
    if (damaged && !fs_.replace(freeBackupName(fs_, changeLog_), *log)) {
      fs_.remove(next);
      return false;
    }
    const std::string folded = foldedLogFile();
    if (!fs_.rename(changeLog_, folded) || fs_.exists(changeLog_)) {
      // Not moved (or the log is there again): not folded.
      fs_.remove(next);
      return false;
    }
  }
  // Committed. Should the store file not take the next one now, the next
  // load (or the next fold) puts it in place; changes from now on go to a
  // new log.
  if (promote(next, out) && log) fs_.remove(foldedLogFile());
  unlogged_ = false;
  return true;
}

std::optional<std::vector<EntryId>> BookmarkStore::compact(LoadObserver* observer) {
  if (!changesAllowed() || count() < kLastFixedEntry) return std::nullopt;
  std::vector<EntryId> newId(static_cast<std::size_t>(count()) + 1, 0);
  std::vector<Entry> next;
  next.reserve(static_cast<std::size_t>(count()));
  for (EntryId i = 1; i <= kLastFixedEntry; ++i) {
    next.push_back(entry(i));
    newId[static_cast<std::size_t>(i)] = i;
  }
  // A category met again (a damaged store listing one inside itself) is not
  // walked twice. `into`: the categories being filled, each with its new id
  // and its new member list.
  struct Into {
    EntryId id;
    std::string list;
  };
  std::vector<bool> walked(static_cast<std::size_t>(count()) + 1, false);
  for (EntryId fixed = 1; fixed <= kLastFixedEntry; ++fixed) {
    walked[static_cast<std::size_t>(fixed)] = true;
    std::vector<Into> into{{fixed, "u"}};
    walkMembers(
        *this, fixed,
        [&](EntryId k) {
          if (!exists(k) || k <= kLastFixedEntry) return false;
          const Entry& e = entry(k);
          if (e.deleted || (e.title.empty() && !e.isSeparator())) return false;
          if (e.isCategory() && walked[static_cast<std::size_t>(k)]) return false;
          next.push_back(e);
          const auto j = static_cast<EntryId>(next.size());
          next.back().parentId = into.back().id;
          newId[static_cast<std::size_t>(k)] = j;
          into.back().list += std::to_string(j) + "u";
          if (!next.back().isCategory()) return false;
          walked[static_cast<std::size_t>(k)] = true;
          next.back().members() = "u";
          into.push_back({j, "u"});
          return true;
        },
        [&] {
          next[static_cast<std::size_t>(into.back().id - 1)].members() = into.back().list;
          into.pop_back();
        });
  }
  std::string out;
  for (std::size_t i = 0; i < next.size(); ++i) {
    out += serializeLine(next[i]);
    out += intField(static_cast<std::int32_t>(i + 1));
    out += kLineEnd;
  }
  next.clear();  // its texts may point into the file about to be replaced
  const auto log = fs_.readAll(changeLog_);
  if (!log && fs_.exists(changeLog_)) return std::nullopt;
  int skipped = 0;
  if (log) decodeLog(*log, &skipped);
  const bool damaged = skipped > 0 || (log && !log->empty() && !log->ends_with(kLogTerminator));
  if (!foldBytes(log, damaged, out)) return std::nullopt;
  logSize_ = 0;
  logMayBeTorn_ = false;
  load(observer);
  return newId;
}

bool BookmarkStore::promote(const std::string& next, std::string_view bytes) {
  if (fs_.rename(next, storeFile_)) return true;
  // A store file this store has mapped (its texts point into it) cannot be
  // replaced on Windows, but it can be moved aside; it is removed once it is
  // no longer mapped (at the next load).
  int free = 1;
  while (free < kAsideNames && fs_.exists(asideStoreFile(free))) ++free;
  const std::string aside = asideStoreFile(free);
  if (fs_.rename(storeFile_, aside)) {
    if (fs_.rename(next, storeFile_)) {
      fs_.remove(aside);
      return true;
    }
    // If this fails too, the next load puts it back.
    fs_.rename(aside, storeFile_);
    return false;
  }
  if (fs_.replace(storeFile_, bytes)) {
    fs_.remove(next);
    return true;
  }
  return false;
}

// ------------------------------------------------------------- primitives

EntryId BookmarkStore::newEntry() {
  ++revision_;
  entries_.emplace_back();
  lines_.push_back();
  return count();
}

void BookmarkStore::refreshLine(EntryId id) {
  if (!valid(id)) return;
  ++revision_;
  materialize(static_cast<std::size_t>(id - 1));
  lines_.markPending(static_cast<std::size_t>(id - 1));
}

bool BookmarkStore::appendLog(std::string_view record) { return fs_.append(changeLog_, record); }

bool BookmarkStore::log(LogOp op, std::vector<std::string> fields) {
  // Once an append has failed, later records would read wrong without the
  // ones before them: changes stay in memory until a fold writes them.
  if (unlogged_) return true;
  std::string record = encodeRecord(LogRecord{op, std::move(fields)});
  if (logMayBeTorn_) {
    // Ends the torn piece with a byte that no record ends with, so that
    // neither it nor any part of it reads as a record.
    record.insert(0, std::string(1, '\0') + std::string(kLogTerminator));
  }
  if (appendLog(record)) {
    if (logSize_) *logSize_ += record.size();
    logMayBeTorn_ = false;
    return true;
  }
  // The append failed, having written none, part or all of the record:
  // look, so that memory holds the change exactly when the log does.
  const auto now = fs_.readAll(changeLog_);
  if (now && logSize_ && now->size() == *logSize_ + record.size() && now->ends_with(record)) {
    *logSize_ = now->size();
    logMayBeTorn_ = false;
    return true;
  }
  logMayBeTorn_ = logMayBeTorn_ || !now || !logSize_ || now->size() != *logSize_;
  if (now) {
    logSize_ = now->size();
  } else {
    logSize_.reset();
  }
  // The change is made all the same, and kept in memory with the ones
  // after it until the next fold; the user is told once.
  unlogged_ = true;
  if (cannotSave_) cannotSave_(fs_.appendFailure());
  return true;
}

// ------------------------------------------------------- replay effects

EntryId BookmarkStore::applyAddBookmark(std::string title, std::string url, std::string note,
                                        EntryId parentId, double added, EntryId after) {
  const EntryId id = newEntry();
  Entry& e = entries_[static_cast<std::size_t>(id - 1)];
  setTitle(e, std::move(title));
  setUrl(e, std::move(url));
  e.note = std::move(note);
  e.parentId = parentId;
  e.added = text::clampOleDate(added);
  e.kind = kBookmark;
  e.visitCount = 0;
  refreshLine(id);
  if (Entry* parent = find(parentId)) {
    // An `after` that is not in the list appends, rather than leaving the new
    // bookmark in no list at all.
    if (after == -1 || !insertAfter(parent->members().edit(), after, std::to_string(id) + "u")) {
      appendMember(parent->members().edit(), id);
    }
    refreshLine(parentId);
  }
  return id;
}

void BookmarkStore::applyRecordVisit(EntryId id, double lastVisit, std::int32_t visitCount) {
  Entry* e = find(id);
  if (!e) return;
  e->lastVisit = text::clampOleDate(lastVisit);
  e->visitCount = visitCount;
  refreshLine(id);
}

void BookmarkStore::applyEditBookmark(EntryId id, std::string title, std::string note, std::string url) {
  Entry* e = find(id);
  if (!e) return;
  setTitle(*e, std::move(title));
  e->note = std::move(note);
  setUrl(*e, std::move(url));
  refreshLine(id);
}

void BookmarkStore::applyMoveEntries(std::string_view items, EntryId destId, std::int32_t position, bool after) {
  // Each moved entry leaves every place in its old parent's list. The
  // removals are gathered per old parent and made in one pass over each list
  // (the same result as one removal per entry, since removing one member
  // never changes where another is).
  std::vector<std::pair<EntryId, std::vector<EntryId>>> leaving;  // old parent, ids
  for (EntryId k : parseItems(items)) {
    Entry* e = find(k);
    if (!e) continue;
    const EntryId p = e->parentId;
    e->parentId = destId;
    refreshLine(k);
    if (!valid(p)) continue;
    auto it = std::find_if(leaving.begin(), leaving.end(), [p](const auto& l) { return l.first == p; });
    if (it == leaving.end()) it = leaving.insert(leaving.end(), {p, {}});
    it->second.push_back(k);
  }
  for (auto& [p, ids] : leaving) {
    removeMembers(find(p)->members().edit(), ids);
    refreshLine(p);
  }
  Entry* dest = find(destId);
  if (!dest) return;
  const std::string_view body = itemsBody(items);
  if (position == -1) {
    dest->members() = "u" + std::string(body);
  } else if (position == -2) {
    appendItems(dest->members().edit(), body);
  } else {
    const bool inserted =
        after ? insertAfter(dest->members().edit(), position, body) : insertBefore(dest->members().edit(), position, body);
    // The moved entries have left their old lists: keep them in this one
    // even when the anchor is gone.
    if (!inserted) appendItems(dest->members().edit(), body);
  }
  refreshLine(destId);
}

EntryId BookmarkStore::applyAddCategory(EntryId parentId, double created, std::string name) {
  const EntryId id = newEntry();
  Entry& e = entries_[static_cast<std::size_t>(id - 1)];
  setTitle(e, std::move(name));
  e.members() = "u";
  e.parentId = parentId;
  e.added = text::clampOleDate(created);
  e.kind = kCategory;
  e.visitCount = 0;
  refreshLine(id);
  if (Entry* parent = find(parentId)) {
    prependMember(parent->members().edit(), id);
    refreshLine(parentId);
  }
  return id;
}

void BookmarkStore::applyEditCategory(EntryId id, std::string name, std::int32_t reservedA, std::int32_t kind,
                                      bool clearMembers) {
  Entry* e = find(id);
  if (!e) return;
  setTitle(*e, std::move(name));
  e->reservedA = reservedA;
  e->kind = kind;
  if (clearMembers) e->members().clear();
  refreshLine(id);
}

void BookmarkStore::applyEmptyRecycleBin() {
  Entry* bin = find(kRecycleBin);
  if (!bin) return;
  // Depth first, with an explicit stack and a visited mark, so that neither a
  // deep tree nor a damaged one that contains itself can exhaust the stack.
  std::vector<bool> visited(entries_.size() + 1, false);
  visited[kRecycleBin] = true;
  std::vector<std::vector<EntryId>> stack{parseMembers(bin->members())};
  std::vector<std::size_t> index{0};
  while (!stack.empty()) {
    if (index.back() >= stack.back().size()) {
      stack.pop_back();
      index.pop_back();
      continue;
    }
    const EntryId k = stack.back()[index.back()++];
    if (!valid(k) || visited[static_cast<std::size_t>(k)]) continue;
    visited[static_cast<std::size_t>(k)] = true;
    Entry& e = *find(k);
    e.deleted = true;
    refreshLine(k);
    if (e.kind == kCategory) {
      stack.push_back(parseMembers(e.members()));
      index.push_back(0);
    }
  }
  bin->members() = "u";
  refreshLine(kRecycleBin);
}

EntryId BookmarkStore::applyAddSeparator(EntryId categoryId, std::string_view before) {
  const EntryId id = newEntry();
  Entry& e = entries_[static_cast<std::size_t>(id - 1)];
  e.parentId = categoryId;
  e.kind = kSeparator;
  refreshLine(id);
  if (Entry* c = find(categoryId)) {
    const long long m = text::parseDecimal(before, 0);
    insertBefore(c->members().edit(), static_cast<EntryId>(m), std::to_string(id) + "u");
    refreshLine(categoryId);
  }
  return id;
}

void BookmarkStore::applyPurgeEntry(EntryId categoryId, EntryId id) {
  // The entry stays in memory as it was; only its line becomes vacant.
  if (valid(id)) {
    materialize(static_cast<std::size_t>(id - 1));
    lines_.clear(static_cast<std::size_t>(id - 1));
  }
  if (Entry* c = find(categoryId)) {
    removeFirstMember(c->members().edit(), id);
    refreshLine(categoryId);
  }
}

void BookmarkStore::apply(const LogRecord& r) {
  const auto& f = r.fields;
  // Texts from the file are stored like those of live calls: a log written
  // by another program may hold CR LF or a separator in a text.
  const auto text = [](const std::string& field) { return storedText(field); };
  switch (r.op) {
    case LogOp::AddBookmark:
      applyAddBookmark(text(f[0]), text(f[1]), text(f[2]), getInt(f[3]), getDate(f[4]), getInt(f[5]));
      break;
    case LogOp::RecordVisit: applyRecordVisit(getInt(f[0]), getDate(f[1]), getInt(f[2])); break;
    case LogOp::EditBookmark: applyEditBookmark(getInt(f[0]), text(f[1]), text(f[2]), text(f[3])); break;
    case LogOp::MoveEntries: applyMoveEntries(text(f[0]), getInt(f[1]), getInt(f[2]), getInt(f[3]) != 0); break;
    case LogOp::AddCategory: applyAddCategory(getInt(f[0]), getDate(f[1]), text(f[2])); break;
    case LogOp::EditCategory:
      applyEditCategory(getInt(f[0]), text(f[1]), getInt(f[2]), getInt(f[3]), getInt(f[4]) != 0);
      break;
    case LogOp::EmptyRecycleBin: applyEmptyRecycleBin(); break;
    case LogOp::AddSeparator: applyAddSeparator(getInt(f[0]), text(f[1])); break;
    case LogOp::PurgeEntry: applyPurgeEntry(getInt(f[0]), getInt(f[1])); break;
  }
}

// ------------------------------------------------------- change operations

EntryId BookmarkStore::addBookmark(std::string_view title, std::string_view url, std::string_view note,
                                   EntryId parentId, double added, EntryId after) {
  if (!changesAllowed() || !isCategory(parentId)) return 0;
  std::string t = storedText(title), u = storedText(url), n = storedText(note);
  if (!log(LogOp::AddBookmark, {t, u, n, intField(parentId), dateField(added), intField(after)})) return 0;
  return applyAddBookmark(std::move(t), std::move(u), std::move(n), parentId, added, after);
}

bool BookmarkStore::recordVisit(EntryId id, double lastVisit, std::int32_t visitCount) {
  if (!changesAllowed() || !exists(id)) return false;
  if (!log(LogOp::RecordVisit, {intField(id), dateField(lastVisit), intField(visitCount)})) return false;
  applyRecordVisit(id, lastVisit, visitCount);
  return true;
}

bool BookmarkStore::editBookmark(EntryId id, std::string_view title, std::string_view note, std::string_view url) {
  if (!changesAllowed() || !exists(id) || !entry(id).isBookmark()) return false;
  std::string t = storedText(title), n = storedText(note), u = storedText(url);
  if (!log(LogOp::EditBookmark, {intField(id), t, n, u})) return false;
  applyEditBookmark(id, std::move(t), std::move(n), std::move(u));
  return true;
}

bool BookmarkStore::moveEntries(std::string_view items, EntryId destId, std::int32_t position, bool after) {
  if (!changesAllowed() || !isCategory(destId)) return false;
  std::string i = storedText(items);
  // Only entries that are there are moved.
  const std::vector<EntryId> ids = parseItems(i);
  if (!std::all_of(ids.begin(), ids.end(), [this](EntryId k) { return exists(k); })) {
    i.clear();
    for (EntryId k : ids) {
      if (exists(k)) i += std::to_string(k) + "u";
    }
  }
  if (i.empty() || i == "u") return false;
  if (!log(LogOp::MoveEntries, {i, intField(destId), intField(position), intField(after ? 1 : 0)})) return false;
  applyMoveEntries(i, destId, position, after);
  return true;
}

EntryId BookmarkStore::addCategory(EntryId parentId, double created, std::string_view name) {
  // Parent 0 is no parent: the fixed entries are created so.
  if (!changesAllowed() || (parentId != 0 && !isCategory(parentId))) return 0;
  std::string n = storedText(name);
  if (!log(LogOp::AddCategory, {intField(parentId), dateField(created), n})) return 0;
  return applyAddCategory(parentId, created, std::move(n));
}

bool BookmarkStore::editCategory(EntryId id, std::string_view name, std::int32_t reservedA, std::int32_t kind,
                                 bool clearMembers) {
  if (!changesAllowed() || !exists(id)) return false;
  std::string n = storedText(name);
  if (!log(LogOp::EditCategory,
           {intField(id), n, intField(reservedA), intField(kind), intField(clearMembers ? 1 : 0)})) {
    return false;
  }
  applyEditCategory(id, std::move(n), reservedA, kind, clearMembers);
  return true;
}

bool BookmarkStore::emptyRecycleBin() {
  if (!changesAllowed() || !exists(kRecycleBin)) return false;
  if (!log(LogOp::EmptyRecycleBin, {})) return false;
  applyEmptyRecycleBin();
  return true;
}

EntryId BookmarkStore::addSeparator(EntryId categoryId, EntryId beforeId) {
  // The separator goes before a member that is there, or nowhere.
  if (!changesAllowed() || !isCategory(categoryId) || !exists(beforeId) ||
      entry(categoryId).members().view().find(tokenOf(beforeId)) == std::string::npos) {
    return 0;
  }
  const std::string before = std::to_string(beforeId);
  if (!log(LogOp::AddSeparator, {intField(categoryId), before})) return 0;
  return applyAddSeparator(categoryId, before);
}

bool BookmarkStore::purgeEntry(EntryId categoryId, EntryId id) {
  if (!changesAllowed() || !isCategory(categoryId) || !exists(id)) return false;
  if (!log(LogOp::PurgeEntry, {intField(categoryId), intField(id)})) return false;
  applyPurgeEntry(categoryId, id);
  return true;
}

// ------------------------------------------------------------ fixed entries

int BookmarkStore::ensureFixedEntries(const char* const (&titles)[kLastFixedEntry], double now) {
  if (!changesAllowed()) return 0;
  int created = 0;
  // Appended in id order as categories without a parent: exactly the line a
  // first run writes for each.
  while (count() < kLastFixedEntry) {
    if (addCategory(0, now, titles[count()]) == 0) return created;
    ++created;
  }
  // (A fold that fails leaves the records in the log: the next start folds
  // them.)
  if (created > 0) static_cast<void>(saveAll());
  return created;
}

}  // namespace lh::store
