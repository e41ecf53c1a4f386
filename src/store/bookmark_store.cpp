#include "store/bookmark_store.h"

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

BookmarkStore::BookmarkStore(text::FileSystem& fs, std::string storeFile, std::string changeLog)
    : fs_(fs), storeFile_(std::move(storeFile)), changeLog_(std::move(changeLog)) {}

const Entry& BookmarkStore::entry(EntryId id) const {
  return valid(id) ? entries_[static_cast<std::size_t>(id - 1)] : kNoEntry;
}

Entry* BookmarkStore::mutableEntry(EntryId id) {
  return valid(id) ? &entries_[static_cast<std::size_t>(id - 1)] : nullptr;
}

std::vector<EntryId> BookmarkStore::members(EntryId id) const { return parseMembers(entry(id).members()); }

std::string_view BookmarkStore::line(EntryId id) const {
  return valid(id) ? lines_[static_cast<std::size_t>(id - 1)] : std::string_view();
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
  return r;
}

int BookmarkStore::readStoreFile(LoadObserver* observer) {
  loading_ = true;
  std::string file = fs_.readAll(storeFile_).value_or(std::string());
  // One entry per line: count the line ends to allocate once. (A number
  // holding CR LF makes this a slight over-estimate, which is harmless.)
  std::size_t estimate = 1;
  for (const char* p = file.data(); (p = static_cast<const char*>(
                                         std::memchr(p, '\n', file.data() + file.size() - p))) != nullptr;
       ++p) {
    ++estimate;
  }
  ChunkedArray<Entry> entries;
  std::vector<std::string_view> lines;
  lines.reserve(estimate);
  const std::string_view bytes = file;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    Entry& e = entries.emplace_back();
    const LineExtent x = parseLineInto(bytes, pos, static_cast<std::int64_t>(entries.size()), e);
    lines.push_back(x.raw);
    pos = x.next;
  }
  // Derived fields, line by line, with the progress of the load.
  Progress progress(observer, entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Entry& e = entries[i];
    if (!e.title.empty()) e.titleKey = text::titleKeyOf(e.title);
    if (e.kind == kBookmark) e.domain = text::registrableDomain(text::hostOf(e.url));
    progress.step(i + 1);
  }
  entries_ = std::move(entries);
  // The views stay valid: moving a std::string that is not short keeps its
  // buffer, and a short one holds no line.
  lines_.assign(std::move(file), std::move(lines));
  if (!entries_.empty()) entries_[0].scrollRow = 1;
  loading_ = false;
  return count();
}

LoadResult BookmarkStore::replayLog(LoadObserver* observer) {
  LoadResult r;
  const auto log = fs_.readAll(changeLog_);
  if (!log || log->empty()) return r;
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
  if (r.replayed > 0) r.saved = saveAll(observer);
  return r;
}

bool BookmarkStore::saveAll(LoadObserver* observer) {
  std::size_t size = 0;
  for (std::size_t i = 0; i < lines_.size(); ++i) size += lines_[i].size() + 2;
  std::string out;
  out.reserve(size);
  Progress progress(observer, lines_.size());
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    out.append(lines_[i]).append(kLineEnd);
    progress.step(i + 1);
  }
  if (!fs_.replace(storeFile_, out)) return false;
  return fs_.remove(changeLog_);
}

// ------------------------------------------------------------- primitives

EntryId BookmarkStore::newEntry() {
  entries_.emplace_back();
  lines_.push_back();
  return count();
}

void BookmarkStore::refreshLine(EntryId id) {
  if (valid(id)) lines_.set(static_cast<std::size_t>(id - 1), serializeLine(entries_[static_cast<std::size_t>(id - 1)]));
}

bool BookmarkStore::appendLog(std::string_view record) { return fs_.append(changeLog_, record); }

void BookmarkStore::log(LogOp op, std::vector<std::string> fields) {
  appendLog(encodeRecord(LogRecord{op, std::move(fields)}));
}

// ------------------------------------------------------- replay effects

EntryId BookmarkStore::applyAddBookmark(std::string title, std::string url, std::string note,
                                        EntryId parentId, double added, EntryId after) {
  const EntryId id = newEntry();
  Entry& e = entries_.back();
  setTitle(e, std::move(title));
  setUrl(e, std::move(url));
  e.note = std::move(note);
  e.parentId = parentId;
  e.added = text::clampOleDate(added);
  e.kind = kBookmark;
  e.visitCount = 0;
  refreshLine(id);
  if (Entry* parent = mutableEntry(parentId)) {
    // An `after` that is not in the list appends, rather than leaving the new
    // bookmark in no list at all.
    if (after == -1 || !insertAfter(parent->members(), after, std::to_string(id) + "u")) {
      appendMember(parent->members(), id);
    }
    refreshLine(parentId);
  }
  return id;
}

void BookmarkStore::applyRecordVisit(EntryId id, double lastVisit, std::int32_t visitCount) {
  Entry* e = mutableEntry(id);
  if (!e) return;
  e->lastVisit = text::clampOleDate(lastVisit);
  e->visitCount = visitCount;
  refreshLine(id);
}

void BookmarkStore::applyEditBookmark(EntryId id, std::string title, std::string note, std::string url) {
  Entry* e = mutableEntry(id);
  if (!e) return;
  setTitle(*e, std::move(title));
  e->note = std::move(note);
  setUrl(*e, std::move(url));
  refreshLine(id);
}

void BookmarkStore::applyMoveEntries(std::string_view items, EntryId destId, std::int32_t position, bool after) {
  for (EntryId k : parseItems(items)) {
    Entry* e = mutableEntry(k);
    if (!e) continue;
    const EntryId p = e->parentId;
    e->parentId = destId;
    refreshLine(k);
    if (Entry* parent = mutableEntry(p)) {
      removeMember(parent->members(), k);
      refreshLine(p);
    }
  }
  Entry* dest = mutableEntry(destId);
  if (!dest) return;
  const std::string_view body = itemsBody(items);
  if (position == -1) {
    dest->members() = "u" + std::string(body);
  } else if (position == -2) {
    appendItems(dest->members(), body);
  } else {
    const bool inserted =
        after ? insertAfter(dest->members(), position, body) : insertBefore(dest->members(), position, body);
    // The moved entries have left their old lists: keep them in this one
    // even when the anchor is gone.
    if (!inserted) appendItems(dest->members(), body);
  }
  refreshLine(destId);
}

EntryId BookmarkStore::applyAddCategory(EntryId parentId, double created, std::string name) {
  const EntryId id = newEntry();
  Entry& e = entries_.back();
  setTitle(e, std::move(name));
  e.members() = "u";
  e.parentId = parentId;
  e.added = text::clampOleDate(created);
  e.kind = kCategory;
  e.visitCount = 0;
  refreshLine(id);
  if (Entry* parent = mutableEntry(parentId)) {
    prependMember(parent->members(), id);
    refreshLine(parentId);
  }
  return id;
}

void BookmarkStore::applyEditCategory(EntryId id, std::string name, std::int32_t reservedA, std::int32_t kind,
                                      bool clearMembers) {
  Entry* e = mutableEntry(id);
  if (!e) return;
  setTitle(*e, std::move(name));
  e->reservedA = reservedA;
  e->kind = kind;
  if (clearMembers) e->members().clear();
  refreshLine(id);
}

void BookmarkStore::applyEmptyRecycleBin() {
  Entry* bin = mutableEntry(kRecycleBin);
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
    Entry& e = entries_[static_cast<std::size_t>(k - 1)];
    e.deleted = true;
    refreshLine(k);
    if (e.kind == kCategory) {
      stack.push_back(parseMembers(e.members()));
      index.push_back(0);
    }
  }
  bin = mutableEntry(kRecycleBin);
  bin->members() = "u";
  refreshLine(kRecycleBin);
}

EntryId BookmarkStore::applyAddSeparator(EntryId categoryId, std::string_view before) {
  const EntryId id = newEntry();
  Entry& e = entries_.back();
  e.parentId = categoryId;
  e.kind = kSeparator;
  refreshLine(id);
  if (Entry* c = mutableEntry(categoryId)) {
    const long long m = text::parseDecimal(before, 0);
    insertBefore(c->members(), static_cast<EntryId>(m), std::to_string(id) + "u");
    refreshLine(categoryId);
  }
  return id;
}

void BookmarkStore::applyPurgeEntry(EntryId categoryId, EntryId id) {
  if (valid(id)) lines_.set(static_cast<std::size_t>(id - 1), std::string());
  if (Entry* c = mutableEntry(categoryId)) {
    removeFirstMember(c->members(), id);
    refreshLine(categoryId);
  }
}

void BookmarkStore::apply(const LogRecord& r) {
  const auto& f = r.fields;
  // Texts from the file are made line-safe like those of live calls: a log
  // written by another program may hold CR LF or a separator in a text.
  const auto text = [](const std::string& field) { return lineSafe(getText(field)); };
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
  if (loading_) return 0;
  std::string t = lineSafe(title), u = lineSafe(url), n = lineSafe(note);
  log(LogOp::AddBookmark, {t, u, n, intField(parentId), dateField(added), intField(after)});
  return applyAddBookmark(std::move(t), std::move(u), std::move(n), parentId, added, after);
}

void BookmarkStore::recordVisit(EntryId id, double lastVisit, std::int32_t visitCount) {
  if (loading_) return;
  log(LogOp::RecordVisit, {intField(id), dateField(lastVisit), intField(visitCount)});
  applyRecordVisit(id, lastVisit, visitCount);
}

void BookmarkStore::editBookmark(EntryId id, std::string_view title, std::string_view note, std::string_view url) {
  if (loading_) return;
  std::string t = lineSafe(title), n = lineSafe(note), u = lineSafe(url);
  log(LogOp::EditBookmark, {intField(id), t, n, u});
  applyEditBookmark(id, std::move(t), std::move(n), std::move(u));
}

void BookmarkStore::moveEntries(std::string_view items, EntryId destId, std::int32_t position, bool after) {
  if (loading_) return;
  const std::string i = lineSafe(items);
  log(LogOp::MoveEntries, {i, intField(destId), intField(position), intField(after ? 1 : 0)});
  applyMoveEntries(i, destId, position, after);
}

EntryId BookmarkStore::addCategory(EntryId parentId, double created, std::string_view name) {
  if (loading_) return 0;
  std::string n = lineSafe(name);
  log(LogOp::AddCategory, {intField(parentId), dateField(created), n});
  return applyAddCategory(parentId, created, std::move(n));
}

void BookmarkStore::editCategory(EntryId id, std::string_view name, std::int32_t reservedA, std::int32_t kind,
                                 bool clearMembers) {
  if (loading_) return;
  std::string n = lineSafe(name);
  log(LogOp::EditCategory, {intField(id), n, intField(reservedA), intField(kind), intField(clearMembers ? 1 : 0)});
  applyEditCategory(id, std::move(n), reservedA, kind, clearMembers);
}

void BookmarkStore::emptyRecycleBin() {
  if (loading_) return;
  log(LogOp::EmptyRecycleBin, {});
  applyEmptyRecycleBin();
}

EntryId BookmarkStore::addSeparator(EntryId categoryId, EntryId beforeId) {
  if (loading_) return 0;
  const std::string before = std::to_string(beforeId);
  log(LogOp::AddSeparator, {intField(categoryId), before});
  return applyAddSeparator(categoryId, before);
}

void BookmarkStore::purgeEntry(EntryId categoryId, EntryId id) {
  if (loading_) return;
  log(LogOp::PurgeEntry, {intField(categoryId), intField(id)});
  applyPurgeEntry(categoryId, id);
}

}  // namespace lh::store
