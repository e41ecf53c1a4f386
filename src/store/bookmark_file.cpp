#include "store/bookmark_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "store/codec.h"
#include "store/members.h"
#include "text/codepage.h"
#include "text/gbk.h"
#include "text/oledate.h"
#include "text/rules.h"

namespace lh::store {

// ---------------------------------------------------------------- dates

std::int32_t fileSecondsOf(double oleDate) {
  // Rounded down rather than toward zero: the 1/172800 of a second lifts a
  // date that falls a rounding error short of a whole second onto it, on
  // either side of the moment (toward zero, -1 s would be written as 0, and
  // every date before the moment would move one second on each export and
  // import).
  const double s = std::floor((oleDate - kFileSecondsMoment) * 86400.0 + 1.0 / 172800.0);
  // Also false for NaN.
  if (!(s >= static_cast<double>(INT32_MIN) && s <= static_cast<double>(INT32_MAX))) return 0;
  return static_cast<std::int32_t>(s);
}

double oleDateOfFileSeconds(long long seconds) {
  return text::clampOleDate(kFileSecondsMoment + static_cast<double>(seconds) / 86400.0);
}

// ---------------------------------------------------------------- export

namespace {

constexpr std::string_view kListOpen = "<DL><P>";
constexpr std::string_view kListClose = "</DL><P>";

// Appends a title or an address with the characters that would end it early
// written as character references: "&" (which starts one), "<" and ">" (which
// could form the markers a reader looks for, such as "</A>"), the quote (which
// ends an address), and LF and CR (either ends a line). All are below 0x40,
// so none is the second byte of a double-byte character and a byte scan finds
// them.
void appendEscaped(std::string& out, std::string_view text) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::string_view reference;
    switch (text[i]) {
      case '&': reference = "&amp;"; break;
      case '<': reference = "&lt;"; break;
      case '>': reference = "&gt;"; break;
      case '"': reference = "&quot;"; break;
      case '\n': reference = "&#10;"; break;
      case '\r': reference = "&#13;"; break;
      default: continue;
    }
    out.append(text.substr(from, i - from)).append(reference);
    from = i + 1;
  }
  out.append(text.substr(from));
}

void appendNumber(std::string& out, std::int32_t v) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

// The ADD_DATE value, then LAST_VISIT and LAST_MODIFIED (both the last
// visit), and the end of the opening tag.
void appendDates(std::string& out, const Entry& e) {
  const std::int32_t visited = fileSecondsOf(e.lastVisit);
  appendNumber(out, fileSecondsOf(e.added));
  out += "\" LAST_VISIT=\"";
  appendNumber(out, visited);
  out += "\" LAST_MODIFIED=\"";
  appendNumber(out, visited);
  out += "\">";
}

void appendFolder(std::string& out, const Entry& e) {
  out += "<DT><H3 ADD_DATE=\"";
  appendDates(out, e);
  appendEscaped(out, e.title);
  out += "</H3>";
  out += kLineEnd;
}

// A separator is a link with neither address nor title.
void appendLink(std::string& out, const Entry& e) {
  const bool separator = e.isSeparator();
  out += "<DT><A HREF=\"";
  if (!separator) appendEscaped(out, e.url);
  out += "\" ADD_DATE=\"";
  appendDates(out, e);
  if (!separator) appendEscaped(out, e.title);
  out += "</A>";
  out += kLineEnd;
}

}  // namespace

std::string exportBookmarkFile(const BookmarkStore& store) {
  std::string out;
  // About a line of 150 bytes per entry: grown a few times at most.
  out.reserve(static_cast<std::size_t>(store.count()) * 150 + 256);
  for (std::string_view line : {"<!DOCTYPE NETSCAPE-Bookmark-file-1>", "<!--This is an automatically generated file.",
                                "It will be read and overwritten.", "Do Not Edit! -->", "<TITLE>Bookmarks</TITLE>",
                                "<H1>Bookmarks</H1>"}) {
    out.append(line).append(kLineEnd);
  }
  out.append(kListOpen).append(kLineEnd);

  // Each category is written once, so that a damaged store whose category
  // lists itself or an ancestor ends.
  std::vector<bool> walked(static_cast<std::size_t>(std::max(store.count(), 0)) + 1, false);
  if (store.valid(kRootCategory)) walked[kRootCategory] = true;
  walkMembers(
      store, kRootCategory,
      [&](EntryId k) {
        if (!store.exists(k)) return false;
        const Entry& e = store.entry(k);
        if (e.deleted) return false;
        if (!e.isCategory()) {
          appendLink(out, e);
          return false;
        }
        if (walked[static_cast<std::size_t>(k)]) return false;
        walked[static_cast<std::size_t>(k)] = true;
        appendFolder(out, e);
        out.append(kListOpen).append(kLineEnd);
        return true;
      },
      [&out] { out.append(kListClose).append(kLineEnd); });
  return out;
}

// ---------------------------------------------------------------- import

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
// The line browsers write into UTF-8 files.
constexpr std::string_view kUtf8Declaration =
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">";

// The file as GBK text: its bytes up to the first zero byte, converted from
// UTF-8 when they start with the UTF-8 byte-order mark or hold the browsers'
// UTF-8 declaration (ignoring case). `owned` keeps a converted text.
std::string_view fileText(std::string_view bytes, std::string& owned) {
  bytes = bytes.substr(0, bytes.find('\0'));
  if (bytes.starts_with(kUtf8ByteOrderMark)) {
    owned = text::utf8ToGbk(bytes.substr(kUtf8ByteOrderMark.size()));
    return owned;
  }
  if (text::containsCaseless(bytes, kUtf8Declaration)) {
    owned = text::utf8ToGbk(bytes);
    return owned;
  }
  return bytes;
}

// Replaces the character references of HTML in a text: &amp; &lt; &gt;
// &quot; &apos; &nbsp; and the numeric ones &#NNN; and &#xHH;, each by its
// character in GBK (a character GBK lacks becomes "?", the no-break space a
// space). Anything else that starts with "&" stays as it is.
class ReferenceDecoder {
 public:
  std::string decode(std::string_view s) {
    // "&" and ";" are below 0x40, never the second byte of a character: a
    // byte search finds them at character boundaries.
    std::size_t amp = s.find('&');
    if (amp == std::string_view::npos) return std::string(s);
    std::string out;
    out.reserve(s.size());
    std::size_t from = 0;
    while (amp != std::string_view::npos) {
      out.append(s.substr(from, amp - from));
      // The longest reference understood is "&#x10FFFF;" (with a few
      // leading zeros allowed): look no further for its ";".
      const std::string_view window = s.substr(amp + 1, 12);
      const std::size_t semi = window.find(';');
      const std::optional<char32_t> c =
          semi == std::string_view::npos ? std::nullopt : character(window.substr(0, semi));
      if (c) {
        appendCharacter(out, *c);
        from = amp + 1 + semi + 1;
      } else {
        out.push_back('&');
        from = amp + 1;
      }
      amp = s.find('&', from);
    }
    out.append(s.substr(from));
    return out;
  }

 private:
  // The character a reference names (the text between "&" and ";"), or
  // nothing for a name it does not know, NUL, a surrogate or a number past
  // U+10FFFF.
  static std::optional<char32_t> character(std::string_view name) {
    if (name == "amp") return U'&';
    if (name == "lt") return U'<';
    if (name == "gt") return U'>';
    if (name == "quot") return U'"';
    if (name == "apos") return U'\'';
    if (name == "nbsp") return char32_t{0xA0};
    if (name.size() < 2 || name[0] != '#') return std::nullopt;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return std::nullopt;
    std::uint32_t v = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v, hex ? 16 : 10);
    if (r.ec != std::errc() || r.ptr != digits.data() + digits.size()) return std::nullopt;
    if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return std::nullopt;
    return static_cast<char32_t>(v);
  }

  void appendCharacter(std::string& out, char32_t c) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      return;
    }
    // GBK has no no-break space.
    if (c == 0xA0) {
      out.push_back(' ');
      return;
    }
    auto it = gbk_.find(c);
    if (it == gbk_.end()) {
      std::u16string utf16;
      if (c >= 0x10000) {
        utf16.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        utf16.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
      } else {
        utf16.push_back(static_cast<char16_t>(c));
      }
      it = gbk_.emplace(c, text::utf16ToGbk(utf16)).first;
    }
    out.append(it->second);
  }

  // Each character converted once per import.
  std::unordered_map<char32_t, std::string> gbk_;
};

// A title as stored: full-width characters to ASCII, every "&" removed
// (cleanTitle), and line-safe. On a text that is not valid GBK a second
// pass can change what the first left (a removed "&" joins a lone first byte
// to the byte after it), so the passes are repeated until nothing changes:
// then a title the program writes to a file reads back the same. Each pass
// that changes anything shortens the text, so this ends; a valid text takes
// one pass and one more to see nothing change.
std::string settledTitle(std::string s) {
  for (;;) {
    std::string next = storedText(text::cleanTitle(s));
    if (next == s) return next;
    s = std::move(next);
  }
}

// An address as stored: full-width characters to ASCII ("&" kept), and
// line-safe; repeated like a title's cleaning.
std::string settledAddress(std::string s) {
  for (;;) {
    std::string next = storedText(text::fullWidthToAscii(s));
    if (next == s) return next;
    s = std::move(next);
  }
}

// The integer at the start of a text: an optional sign and decimal digits,
// up to the first other character (none: 0). Held within +-10^15, far past
// any date.
long long leadingInteger(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  long long v = 0;
  constexpr long long kLimit = 1000000000000000LL;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    if (v < kLimit) v = v * 10 + (s[i] - '0');
  }
  v = std::min(v, kLimit);
  return negative ? -v : v;
}

// The seconds of a date attribute: the text after the first `name` (such as
// "ADD_DATE=") and the quote that follows it, up to the next quote, as an
// integer; nothing when the line lacks `name`. The search starts at `from`
// (past a link's address, which may hold the same text), and from the line's
// start when it finds nothing there.
std::optional<long long> dateAttribute(std::string_view line, std::string_view name, std::size_t from) {
  std::size_t at = text::find(line, name, from);
  if (at == text::npos && from > 0) at = text::find(line, name);
  if (at == text::npos) return std::nullopt;
  const std::size_t start = std::min(line.size(), at + name.size() + 1);
  const std::size_t end = std::min(line.size(), line.find('"', start));
  return leadingInteger(line.substr(start, end - start));
}

struct Dates {
  double added = 0.0;
  double lastVisit = 0.0;
};

// A missing ADD_DATE is the second before the moment; a missing LAST_VISIT
// is the added date.
Dates datesOf(std::string_view line, std::size_t from) {
  Dates d;
  d.added = oleDateOfFileSeconds(dateAttribute(line, "ADD_DATE=", from).value_or(-1));
  const auto visit = dateAttribute(line, "LAST_VISIT=", from);
  d.lastVisit = visit ? oleDateOfFileSeconds(*visit) : d.added;
  return d;
}

// The text between the last ">" before `end` and `end` (from the line's
// start when there is none). ">" is below 0x40: a byte search stays on
// character boundaries.
std::string_view textBefore(std::string_view line, std::size_t end) {
  const std::size_t gt = end == 0 ? std::string_view::npos : line.rfind('>', end - 1);
  const std::size_t start = gt == std::string_view::npos ? 0 : gt + 1;
  return line.substr(start, end - start);
}

// Reports the percentage of lines read, only when it changes.
class LineProgress {
 public:
  LineProgress(const std::function<void(int)>& report, std::size_t lines) : report_(report), lines_(lines) {}
  void lineDone(std::size_t i) {
    if (!report_ || lines_ == 0) return;
    const int percent = static_cast<int>(100 * static_cast<unsigned long long>(i) / lines_);
    if (percent != last_) {
      last_ = percent;
      report_(percent);
    }
  }

 private:
  const std::function<void(int)>& report_;
  std::size_t lines_;
  int last_ = -1;
};

// The line starting at `pos`: where its text ends (at its CR LF, LF or CR,
// or the text's end) and where the next line starts.
struct LineSpan {
  std::size_t end = 0, next = 0;
};
LineSpan lineAt(std::string_view text, std::size_t pos) {
  std::size_t end = pos;
  while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
  if (end == text.size()) return {end, end};
  return {end, end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1)};
}

// The state of one import: the folder stack, the addresses already there,
// the counts.
class Importer {
 public:
  explicit Importer(BookmarkStore& store) : store_(store) {
    // Entries are never moved while the store grows, so the pointers to the
    // categories on the stack stay valid. mutableEntry writes out a category's
    // pending line first; taking each pointer once (not once per link) keeps a
    // category of many links from being serialised again for every link.
    root_ = Level{kRootCategory, store_.mutableEntry(kRootCategory)};
    stack_.push_back(root_);
    // The addresses of the bookmarks there, looked up for each link instead of
    // walking every entry.
    addresses_.reserve(static_cast<std::size_t>(store_.count()));
    for (EntryId id = 1; id <= store_.count(); ++id) {
      if (!store_.exists(id)) continue;
      const Entry& e = store_.entry(id);
      if (e.isBookmark() && !e.deleted) addresses_.emplace(e.url.view());
    }
  }

  void line(std::string_view line) {
    endOfFolder(line);
    folder(line);
    link(line);
  }

  ImportCounts counts() const { return counts_; }

 private:
  struct Level {
    EntryId id = 0;
    Entry* entry = nullptr;
  };

  const Level& parent() const { return stack_.empty() ? root_ : stack_.back(); }

  void endOfFolder(std::string_view line) {
    if (!text::containsCaseless(line, kListClose)) return;
    if (!stack_.empty()) stack_.pop_back();
  }

  void folder(std::string_view line) {
    const std::size_t end = text::findCaseless(line, "</H3>");
    if (end == text::npos) return;
    std::string name = settledTitle(references_.decode(textBefore(line, end)));
    if (name.empty()) {
      // No folder, but its list still ends with a list close: its members
      // go to the parent, and the folders after it stay where they are.
      stack_.push_back(parent());
      return;
    }
    const Dates dates = datesOf(line, 0);
    const Level into = parent();
    const EntryId id = store_.newEntry();
    Entry& e = *store_.mutableEntry(id);
    BookmarkStore::setTitle(e, std::move(name));
    e.members() = "u";
    e.note.clear();
    e.parentId = into.id;
    e.scrollRow = 0;
    e.kind = kCategory;
    e.added = dates.added;
    e.lastVisit = dates.lastVisit;
    store_.refreshLine(id);
    // A new folder comes first in its parent.
    prependMember(into.entry->members().edit(), id);
    store_.refreshLine(into.id);
    stack_.push_back(Level{id, &e});
    ++counts_.folders;
  }

  void link(std::string_view line) {
    const std::size_t end = text::findCaseless(line, "</A>");
    if (end == text::npos) return;
    std::string title = settledTitle(references_.decode(textBefore(line, end)));
    if (title.empty()) return;
    // The address starts after "HREF=" and the quote that follows it, and
    // ends at the next quote; the dates are looked for after it.
    std::string_view raw;
    std::size_t datesFrom = 0;
    const std::size_t href = text::findCaseless(line, "HREF=");
    if (href != text::npos && href + 6 <= line.size()) {
      const std::size_t close = line.find('"', href + 6);
      if (close != std::string_view::npos) {
        raw = line.substr(href + 6, close - href - 6);
        datesFrom = close + 1;
      }
    }
    std::string address = settledAddress(references_.decode(raw));
    const Dates dates = datesOf(line, datesFrom);
    if (addresses_.contains(address)) {
      ++counts_.duplicates;
      return;
    }
    addresses_.insert(address);
    const Level into = parent();
    const EntryId id = store_.newEntry();
    Entry& e = *store_.mutableEntry(id);
    BookmarkStore::setTitle(e, std::move(title));
    BookmarkStore::setUrl(e, std::move(address));
    e.note.clear();
    e.parentId = into.id;
    e.scrollRow = 0;
    e.kind = kBookmark;
    e.visitCount = 0;
    e.added = dates.added;
    e.lastVisit = dates.lastVisit;
    store_.refreshLine(id);
    // A new link comes last in its parent.
    appendMember(into.entry->members().edit(), id);
    store_.refreshLine(into.id);
    ++counts_.links;
  }

  BookmarkStore& store_;
  Level root_;
  // The folders the line being read is in, innermost last; when it is empty
  // (more list closes than folders) links go to the root.
  std::vector<Level> stack_;
  std::unordered_set<std::string> addresses_;
  ReferenceDecoder references_;
  ImportCounts counts_;
};

}  // namespace

ImportCounts importBookmarkFile(BookmarkStore& store, std::string_view bytes,
                                const std::function<void(int percent)>& progress) {
  if (store.loading() || store.readOnly() || !store.isCategory(kRootCategory)) return {};
  std::string converted;
  const std::string_view text = fileText(bytes, converted);

  // Lines end at CR LF, LF or CR alone (as files from old Macs have them); a
  // last line without its end counts when it is not empty. CR and LF are
  // below 0x40: never a second byte.
  std::size_t lines = 0;
  for (std::size_t pos = 0; pos < text.size(); pos = lineAt(text, pos).next) ++lines;

  Importer importer(store);
  LineProgress report(progress, lines);
  std::size_t i = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const LineSpan line = lineAt(text, pos);
    importer.line(text.substr(pos, line.end - pos));
    report.lineDone(++i);
    pos = line.next;
  }
  store.refreshLine(kRootCategory);
  ImportCounts counts = importer.counts();
  // The import writes no log records: only the store file keeps it. When
  // that was not written, memory goes back to what the files hold, so that
  // nothing is shown as kept that the next start lacks, and changes logged
  // from here on name the entries the next start gives those ids. (A
  // read-only store's next store file holds the import: memory is that.)
  counts.saved = store.saveAll();
  if (!counts.saved && !store.readOnly()) store.load();
  return counts;
}

}  // namespace lh::store
