#include "store/codec.h"

#include <cstring>

#include "text/oledate.h"

namespace lh::store {

void putInt(std::string& out, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void putDate(std::string& out, double v) {
  std::uint64_t u = 0;
  std::memcpy(&u, &v, 8);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

std::int32_t getInt(std::string_view b) {
  std::uint32_t u = 0;
  for (std::size_t i = 0; i < 4 && i < b.size(); ++i) u |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[i])) << (8 * i);
  return static_cast<std::int32_t>(u);
}

double getDate(std::string_view b) {
  std::uint64_t u = 0;
  for (std::size_t i = 0; i < 8 && i < b.size(); ++i) u |= static_cast<std::uint64_t>(static_cast<unsigned char>(b[i])) << (8 * i);
  double v = 0;
  std::memcpy(&v, &u, 8);
  return v;
}

std::string getText(std::string_view b) { return std::string(b.substr(0, b.find('\0'))); }

std::string lineSafe(std::string_view text) {
  std::string s(text);
  static constexpr std::string_view kFraming[] = {kFieldSeparator, kLogSeparator, kLineEnd};
  bool changed = true;
  while (changed) {
    changed = false;
    for (std::string_view f : kFraming) {
      std::size_t at = s.find(f);
      while (at != std::string::npos) {
        s.erase(at, f.size());
        changed = true;
        at = s.find(f, at);
      }
    }
  }
  return s;
}

std::string storedText(std::string_view text) {
  const std::size_t nul = text.find('\0');
  return lineSafe(nul == std::string_view::npos ? text : text.substr(0, nul));
}

std::string serializeLine(const Entry& e) {
  std::string out;
  out.reserve(e.title.size() + e.url.size() + e.note.size() + 92);
  auto sep = [&out] { out.append(kFieldSeparator); };
  out.append(e.title), sep();
  out.append(e.url), sep();
  out.append(e.note), sep();
  for (std::int32_t v : {e.parentId, e.scrollRow, e.visitCount, e.kind, e.reservedA, e.reservedB,
                         static_cast<std::int32_t>(e.deleted ? 1 : 0)}) {
    putInt(out, v), sep();
  }
  putDate(out, e.lastVisit), sep();
  putDate(out, e.added), sep();
  return out;
}

namespace {

constexpr FieldType kLineSchema[kStoredFields] = {
    FieldType::Text, FieldType::Text, FieldType::Text, FieldType::Int, FieldType::Int, FieldType::Int,
    FieldType::Int,  FieldType::Int,  FieldType::Int,  FieldType::Bool, FieldType::Date, FieldType::Date};

// The searches of a load are byte loops rather than the C library's memcmp
// and memchr: on Windows those are calls into msvcrt.dll (under Wine plain C
// loops behind a call), and a load makes millions of them over distances of
// a few bytes.
bool at(std::string_view s, std::size_t pos, std::string_view what) {
  if (pos > s.size() || s.size() - pos < what.size()) return false;
  for (std::size_t i = 0; i < what.size(); ++i) {
    if (s[pos + i] != what[i]) return false;
  }
  return true;
}

// Where the field starting at `pos` ends: the next field separator or CR LF,
// whichever comes first (npos when neither does); `lineEnds` tells which.
std::size_t fieldEnd(std::string_view s, std::size_t pos, bool& lineEnds) {
  const char sep = kFieldSeparator[0], cr = kLineEnd[0];
  for (std::size_t i = pos; i < s.size(); ++i) {
    const char c = s[i];
    if (c == sep && at(s, i, kFieldSeparator)) {
      lineEnds = false;
      return i;
    }
    if (c == cr && at(s, i, kLineEnd)) {
      lineEnds = true;
      return i;
    }
  }
  return std::string_view::npos;
}

// A text field's bytes up to the first NUL.
std::string_view textIn(std::string_view bytes) {
  std::size_t n = 0;
  while (n < bytes.size() && bytes[n] != '\0') ++n;
  return bytes.substr(0, n);
}

void assign(Entry& e, int field, std::string_view bytes, bool borrowTexts) {
  const auto text = [&] { return borrowTexts ? EntryText::borrowed(textIn(bytes)) : EntryText(textIn(bytes)); };
  switch (field) {
    case 0: e.title = text(); break;
    case 1: e.url = text(); break;
    case 2: e.note = text(); break;
    case 3: e.parentId = getInt(bytes); break;
    case 4: e.scrollRow = getInt(bytes); break;
    case 5: e.visitCount = getInt(bytes); break;
    case 6: e.kind = getInt(bytes); break;
    case 7: e.reservedA = getInt(bytes); break;
    case 8: e.reservedB = getInt(bytes); break;
    case 9: e.deleted = getInt(bytes) != 0; break;
    case 10: e.lastVisit = text::clampOleDate(getDate(bytes)); break;
    case 11: e.added = text::clampOleDate(getDate(bytes)); break;
    default: break;
  }
}

// True when the line's remaining fields, from `field` on, all stand at their
// fixed widths with their separators and the line then ends: the test that
// tells a number whose bytes begin with CR LF from the end of a short line.
bool restIsFixed(std::string_view file, std::size_t pos, int field, std::int64_t lineNumber) {
  for (; field < kStoredFields; ++field) {
    const int width = widthOf(kLineSchema[field]);
    if (width == 0 || !at(file, pos + width, kFieldSeparator)) return false;
    pos += width + kFieldSeparator.size();
  }
  return pos == file.size() || at(file, pos, kLineEnd) ||
         (at(file, pos + 4, kLineEnd) && getInt(file.substr(pos, 4)) == lineNumber);
}

}  // namespace

ParsedLine parseLine(std::string_view file, std::size_t pos, std::int64_t lineNumber) {
  ParsedLine out;
  const LineExtent x = parseLineInto(file, pos, lineNumber, out.entry);
  out.raw = x.raw;
  out.vacant = x.vacant;
  out.next = x.next;
  return out;
}

LineExtent parseLineInto(std::string_view file, std::size_t pos, std::int64_t lineNumber, Entry& entry,
                         bool borrowTexts) {
  LineExtent out;
  const std::size_t start = pos;
  if (at(file, pos, kLineEnd)) {
    out.vacant = true;
    out.raw = file.substr(pos, 0);
    out.next = pos + 2;
    return out;
  }
  if (at(file, pos, kVacantLine) && (pos + 2 == file.size() || at(file, pos + 2, kLineEnd))) {
    out.vacant = true;
    out.raw = file.substr(pos, 2);
    out.next = std::min(file.size(), pos + 4);
    return out;
  }

  std::size_t end = std::string_view::npos;  // where the line's CR LF starts
  int field = 0;
  for (; field < kStoredFields && pos < file.size(); ++field) {
    const int width = widthOf(kLineSchema[field]);
    if (width > 0 && at(file, pos, kLineEnd) && !restIsFixed(file, pos, field, lineNumber)) {
      end = pos;  // a short line
      break;
    }
    if (width > 0 && at(file, pos + width, kFieldSeparator)) {
      assign(entry, field, file.substr(pos, width), borrowTexts);
      pos += width + kFieldSeparator.size();
      continue;
    }
    // Texts, and numbers of another width: bounded by the separator, unless
    // the line ends first.
    bool lineEnds = false;
    const std::size_t stop = fieldEnd(file, pos, lineEnds);
    if (stop == std::string_view::npos) {
      assign(entry, field, file.substr(pos), borrowTexts);
      end = file.size();
      break;
    }
    assign(entry, field, file.substr(pos, stop - pos), borrowTexts);
    if (lineEnds) {
      end = stop;
      break;
    }
    pos = stop + kFieldSeparator.size();
  }

  if (end == std::string_view::npos) {
    if (pos >= file.size()) {
      end = file.size();
    } else if (at(file, pos + 4, kLineEnd) && getInt(file.substr(pos, 4)) == lineNumber) {
      // Compaction's thirteenth field, the entry's own id: four bytes that
      // may themselves contain CR LF (id 2573 is 0D 0A 00 00).
      end = pos + 4;
    } else if (at(file, pos, kLineEnd)) {
      end = pos;
    } else {
      // Fields after the twelfth are skipped to the line's end.
      end = file.size();
      for (std::size_t i = pos; i + 1 < file.size(); ++i) {
        if (file[i] == kLineEnd[0] && file[i + 1] == kLineEnd[1]) {
          end = i;
          break;
        }
      }
    }
  }
  out.raw = file.substr(start, end - start);
  out.next = std::min(file.size(), end + kLineEnd.size());
  return out;
}

const std::vector<FieldType>* schemaOf(std::uint8_t op) {
  using F = FieldType;
  static const std::vector<FieldType> kSchemas[10] = {
      {},
      {F::Text, F::Text, F::Text, F::Int, F::Date, F::Int},  // 01 addBookmark
      {F::Int, F::Date, F::Int},                             // 02 recordVisit
      {F::Int, F::Text, F::Text, F::Text},                   // 03 editBookmark
      {F::Text, F::Int, F::Int, F::Bool},                    // 04 moveEntries
      {F::Int, F::Date, F::Text},                            // 05 addCategory
      {F::Int, F::Text, F::Int, F::Int, F::Bool},            // 06 editCategory
      {},                                                    // 07 emptyRecycleBin
      {F::Int, F::Text},                                     // 08 addSeparator
      {F::Int, F::Int},                                      // 09 purgeEntry
  };
  if (op < 1 || op > 9) return nullptr;
  return &kSchemas[op];
}

std::string encodeRecord(const LogRecord& r) {
  std::string out;
  out.push_back(static_cast<char>(r.op));
  out.append(kLogSeparator);
  for (const std::string& f : r.fields) out.append(f).append(kLogSeparator);
  out.append(kLogTerminator);
  return out;
}

namespace {

// Decodes one record exactly: the operation byte, its separator, each field
// by its schema, nothing left over.
std::optional<LogRecord> decodeExact(std::string_view r) {
  if (r.empty()) return std::nullopt;
  const auto op = static_cast<std::uint8_t>(r[0]);
  const std::vector<FieldType>* schema = schemaOf(op);
  if (!schema || !at(r, 1, kLogSeparator)) return std::nullopt;
  LogRecord rec;
  rec.op = static_cast<LogOp>(op);
  std::size_t pos = 1 + kLogSeparator.size();
  for (FieldType t : *schema) {
    // A number has exactly its width: anything else is not this record (a
    // torn start followed by another record can otherwise pass for one).
    const int width = widthOf(t);
    if (width > 0) {
      if (!at(r, pos + width, kLogSeparator)) return std::nullopt;
      rec.fields.emplace_back(r.substr(pos, width));
      pos += width + kLogSeparator.size();
      continue;
    }
    const std::size_t sep = r.find(kLogSeparator, pos);
    if (sep == std::string_view::npos) return std::nullopt;
    rec.fields.emplace_back(r.substr(pos, sep - pos));
    pos = sep + kLogSeparator.size();
  }
  if (pos != r.size()) return std::nullopt;
  return rec;
}

}  // namespace

std::vector<LogRecord> decodeLog(std::string_view log, int* skipped) {
  std::vector<LogRecord> out;
  int bad = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t term = log.find(kLogTerminator, start);
    if (term == std::string_view::npos) {
      if (start < log.size()) ++bad;  // a record cut short
      break;
    }
    const std::string_view r = log.substr(start, term - start);
    start = term + kLogTerminator.size();
    if (auto rec = decodeExact(r)) {
      out.push_back(std::move(*rec));
      continue;
    }
    if (r.empty()) continue;
    ++bad;
    // A record cut short by a failed append may be followed by a complete
    // one in the same piece: take the first suffix that decodes exactly.
    for (std::size_t i = 1; i + 1 + kLogSeparator.size() <= r.size(); ++i) {
      if (!schemaOf(static_cast<std::uint8_t>(r[i])) || !at(r, i + 1, kLogSeparator)) continue;
      if (auto tail = decodeExact(r.substr(i))) {
        out.push_back(std::move(*tail));
        break;
      }
    }
  }
  if (skipped) *skipped = bad;
  return out;
}

}  // namespace lh::store
