#include "store/codec.h"

#include <gtest/gtest.h>

#include <cstring>

namespace lh::store {
namespace {

Entry sampleBookmark() {
  Entry e;
  e.title = "新浪";
  e.url = "http://www.sina.com.cn/";
  e.note = "note";
  e.parentId = 1;
  e.scrollRow = 0;
  e.visitCount = 3;
  e.kind = kBookmark;
  e.lastVisit = 45000.5;
  e.added = 44000.25;
  return e;
}

ParsedLine parseOnly(const std::string& file, std::int64_t lineNumber = 1) {
  return parseLine(file, 0, lineNumber);
}

TEST(StoreLine, HasTwelveFieldsEachFollowedByTheSeparator) {
  const std::string line = serializeLine(sampleBookmark());
  const std::string expected = std::string("新浪") + "\x01\x01\x07\x01" + "http://www.sina.com.cn/" +
                               "\x01\x01\x07\x01" + "note" + "\x01\x01\x07\x01" +
                               std::string("\x01\0\0\0\x01\x01\x07\x01", 8) +   // parent 1
                               std::string("\0\0\0\0\x01\x01\x07\x01", 8) +     // scroll row
                               std::string("\x03\0\0\0\x01\x01\x07\x01", 8) +   // visits
                               std::string("\x01\0\0\0\x01\x01\x07\x01", 8) +   // kind
                               std::string("\0\0\0\0\x01\x01\x07\x01", 8) +     // reserved A
                               std::string("\0\0\0\0\x01\x01\x07\x01", 8) +     // reserved B
                               std::string("\0\0\0\0\x01\x01\x07\x01", 8);      // deleted
  ASSERT_EQ(line.size(), expected.size() + 24);
  EXPECT_EQ(line.substr(0, expected.size()), expected);
  EXPECT_EQ(getDate(line.substr(expected.size(), 8)), 45000.5);
  EXPECT_EQ(line.substr(line.size() - 4), "\x01\x01\x07\x01");
}

TEST(StoreLine, RoundTripsEveryField) {
  Entry e = sampleBookmark();
  e.reservedA = -7;
  e.reservedB = 123456;
  e.deleted = true;
  const std::string line = serializeLine(e);
  const std::string file = line + "\r\n";
  const ParsedLine p = parseOnly(file);
  EXPECT_FALSE(p.vacant);
  EXPECT_EQ(p.raw, line);
  EXPECT_EQ(p.next, line.size() + 2);
  EXPECT_EQ(p.entry.title, e.title);
  EXPECT_EQ(p.entry.url, e.url);
  EXPECT_EQ(p.entry.note, e.note);
  EXPECT_EQ(p.entry.parentId, 1);
  EXPECT_EQ(p.entry.visitCount, 3);
  EXPECT_EQ(p.entry.kind, kBookmark);
  EXPECT_EQ(p.entry.reservedA, -7);
  EXPECT_EQ(p.entry.reservedB, 123456);
  EXPECT_TRUE(p.entry.deleted);
  EXPECT_EQ(p.entry.lastVisit, 45000.5);
  EXPECT_EQ(p.entry.added, 44000.25);
}

TEST(StoreLine, NumbersContainingLineEndOrSeparatorBytesRoundTrip) {
  Entry e = sampleBookmark();
  e.parentId = 2573;                 // 0D 0A 00 00
  e.visitCount = 2573;
  e.scrollRow = 0x01070101;          // 01 01 07 01
  e.reservedA = 0x0A0D0000;          // 00 00 0D 0A
  double d = 0;
  const unsigned char bytes[8] = {0x0D, 0x0A, 0x01, 0x01, 0x07, 0x01, 0xE5, 0x40};
  std::memcpy(&d, bytes, 8);
  e.lastVisit = d;
  const std::string file = serializeLine(e) + "\r\n" + serializeLine(sampleBookmark()) + "\r\n";
  const ParsedLine first = parseOnly(file);
  EXPECT_EQ(first.entry.parentId, 2573);
  EXPECT_EQ(first.entry.visitCount, 2573);
  EXPECT_EQ(first.entry.scrollRow, 0x01070101);
  EXPECT_EQ(first.entry.reservedA, 0x0A0D0000);
  EXPECT_EQ(first.entry.lastVisit, d);
  EXPECT_EQ(first.entry.added, e.added);
  const ParsedLine second = parseLine(file, first.next, 2);
  EXPECT_EQ(second.entry.title, "新浪");
  EXPECT_EQ(second.next, file.size());
}

TEST(StoreLine, VacantLines) {
  EXPECT_TRUE(parseOnly("\r\nx").vacant);
  const std::string zeros("\0\0\r\n", 4);
  const ParsedLine p = parseOnly(zeros);
  EXPECT_TRUE(p.vacant);
  EXPECT_EQ(p.raw, std::string("\0\0", 2));
  EXPECT_EQ(p.next, 4u);
  EXPECT_TRUE(parseOnly(std::string("\0\0", 2)).vacant);
  // Three zero bytes are not the vacant mark: a title of zeros reads empty.
  const ParsedLine three = parseOnly(std::string("\0\0\0\r\n", 5));
  EXPECT_FALSE(three.vacant);
  EXPECT_EQ(three.entry.title, "");
}

TEST(StoreLine, ThirteenFieldLinesReadLikeTwelve) {
  const std::string twelve = serializeLine(sampleBookmark());
  std::string id;
  putInt(id, 5);
  const std::string withId = twelve + id + "\r\nnext";
  const ParsedLine p = parseLine(withId, 0, 5);
  EXPECT_EQ(p.entry.title, "新浪");
  EXPECT_EQ(p.raw, twelve + id);
  EXPECT_EQ(p.next, twelve.size() + 6);
  // Compaction's own id 2573 is 0D 0A 00 00.
  std::string id2573;
  putInt(id2573, 2573);
  const std::string file = twelve + id2573 + "\r\n" + twelve + "\r\n";
  const ParsedLine q = parseLine(file, 0, 2573);
  EXPECT_EQ(q.next, twelve.size() + 6);
  EXPECT_EQ(parseLine(file, q.next, 2574).next, file.size());
}

TEST(StoreLine, AShortLineLoadsWhatItHasAndEndsAtItsLineEnd) {
  Entry twoByteTitle = sampleBookmark();
  twoByteTitle.title = "新";
  const std::string next = serializeLine(twoByteTitle) + "\r\n";
  const ParsedLine title = parseOnly("only a title\r\n" + next);
  EXPECT_EQ(title.entry.title, "only a title");
  EXPECT_EQ(title.entry.kind, 0);
  EXPECT_EQ(title.next, 14u);

  // Three texts and then the line end, followed by a line whose two-byte
  // title could pass for the rest of a number.
  const std::string shortLine = std::string("t\x01\x01\x07\x01u\x01\x01\x07\x01n\x01\x01\x07\x01");
  const std::string file = shortLine + "\r\n" + next;
  const ParsedLine p = parseOnly(file);
  EXPECT_EQ(p.entry.title, "t");
  EXPECT_EQ(p.entry.url, "u");
  EXPECT_EQ(p.entry.note, "n");
  EXPECT_EQ(p.entry.parentId, 0);
  EXPECT_EQ(p.raw, shortLine);
  const ParsedLine q = parseLine(file, p.next, 2);
  EXPECT_EQ(q.entry.title, "新");
  EXPECT_EQ(q.entry.visitCount, 3);

  // A number field shorter than four bytes: missing high bytes are zero.
  const ParsedLine n = parseOnly(shortLine + "\x05\x01\x01\x07\x01");
  EXPECT_EQ(n.entry.parentId, 5);
  EXPECT_EQ(n.next, shortLine.size() + 5);
}

TEST(StoreLine, TextsStopAtANulByteAndDatesAreClamped) {
  Entry e = sampleBookmark();
  e.title = std::string("ab\0cd", 5);
  e.lastVisit = 1e12;
  e.added = -1e12;
  const ParsedLine p = parseOnly(serializeLine(e));
  EXPECT_EQ(p.entry.title, "ab");
  EXPECT_DOUBLE_EQ(p.entry.lastVisit, 2958465.99998842592);
  EXPECT_DOUBLE_EQ(p.entry.added, -657434.0);
}

TEST(LineSafe, RemovesFramingSequencesEvenWhenRemovalFormsNewOnes) {
  EXPECT_EQ(lineSafe("a\x01\x01\x07\x01z"), "az");
  EXPECT_EQ(lineSafe("a\x04\x01\x05\x08z"), "az");
  EXPECT_EQ(lineSafe("a\r\nz"), "az");
  EXPECT_EQ(lineSafe("\x01\x01\x04\x01\x05\x08\x07\x01"), "");
  EXPECT_EQ(lineSafe("\r\r\n\n"), "");
  EXPECT_EQ(lineSafe("a\rb\nc\x01"), "a\rb\nc\x01");
}

LogRecord record(LogOp op, std::vector<std::string> fields) { return LogRecord{op, std::move(fields)}; }

std::string intBytes(std::int32_t v) {
  std::string s;
  putInt(s, v);
  return s;
}

TEST(ChangeLog, RecordLayout) {
  const std::string bytes = encodeRecord(record(LogOp::PurgeEntry, {intBytes(1), intBytes(12)}));
  EXPECT_EQ(bytes, std::string("\x09\x04\x01\x05\x08", 5) + intBytes(1) + "\x04\x01\x05\x08" + intBytes(12) +
                       "\x04\x01\x05\x08" + std::string(kLogTerminator));
  EXPECT_EQ(encodeRecord(record(LogOp::EmptyRecycleBin, {})),
            std::string("\x07\x04\x01\x05\x08", 5) + std::string(kLogTerminator));
}

TEST(ChangeLog, DecodesEveryOperation) {
  std::string log;
  log += encodeRecord(record(LogOp::AddBookmark, {"t", "u", "", intBytes(1), std::string(8, '\0'), intBytes(-1)}));
  log += encodeRecord(record(LogOp::EmptyRecycleBin, {}));
  log += encodeRecord(record(LogOp::AddSeparator, {intBytes(1), "12"}));
  int skipped = -1;
  const auto records = decodeLog(log, &skipped);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(skipped, 0);
  EXPECT_EQ(records[0].op, LogOp::AddBookmark);
  EXPECT_EQ(records[0].fields[2], "");
  EXPECT_EQ(records[1].op, LogOp::EmptyRecycleBin);
  EXPECT_TRUE(records[1].fields.empty());
  EXPECT_EQ(records[2].fields[1], "12");
}

TEST(ChangeLog, NumbersContainingSeparatorBytesDecode) {
  // A date whose bytes hold the log separator.
  const std::string date("\x04\x01\x05\x08\x04\x01\x05\x08", 8);
  const std::string log = encodeRecord(record(LogOp::RecordVisit, {intBytes(0x08050104), date, intBytes(3)}));
  const auto records = decodeLog(log);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(getInt(records[0].fields[0]), 0x08050104);
  EXPECT_EQ(records[0].fields[1], date);
}

TEST(ChangeLog, DamagedRecordsAreSkippedAlone) {
  const std::string good = encodeRecord(record(LogOp::PurgeEntry, {intBytes(1), intBytes(12)}));
  std::string log = good;
  log += encodeRecord(record(LogOp::PurgeEntry, {intBytes(1)}));             // one field short
  log += encodeRecord(record(LogOp::RecordVisit, {intBytes(1), "x", "y", "z"}));  // one too many
  log += std::string("\x0A\x04\x01\x05\x08", 5) + std::string(kLogTerminator);    // unknown operation
  log += std::string(kLogTerminator);                                                // empty
  log += good;
  log += good.substr(0, good.size() - 3);  // cut short by a crash
  int skipped = 0;
  const auto records = decodeLog(log, &skipped);
  EXPECT_EQ(records.size(), 2u);
  EXPECT_EQ(skipped, 4);
}

TEST(ChangeLog, ARecordAfterATornOneIsRecovered) {
  // A failed append left the start of a record; the next append follows it
  // in the same piece. (A torn start that happens to have the right number
  // of separators with the record after it cannot be told from a whole
  // record and is read as one.)
  const std::string torn = encodeRecord(record(LogOp::EditBookmark, {intBytes(11), "title", "note", "addr"}));
  const std::string next = encodeRecord(record(LogOp::PurgeEntry, {intBytes(1), intBytes(12)}));
  const auto records = decodeLog(torn.substr(0, 11) + next);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].op, LogOp::PurgeEntry);
  EXPECT_EQ(getInt(records[0].fields[1]), 12);
}

TEST(ChangeLog, ATornStartWhoseNumbersWouldHaveTheWrongWidthIsNotARecord) {
  // Read as one record, these pieces would take a number from the middle of
  // the next record; a number has exactly its width, so they are not one.
  const std::string visit = encodeRecord(record(LogOp::RecordVisit, {intBytes(12), std::string(8, '\x40'), intBytes(3)}));
  const std::string rename =
      encodeRecord(record(LogOp::EditCategory, {intBytes(11), "Name", intBytes(1), intBytes(0), intBytes(0)}));
  const std::string separator = encodeRecord(record(LogOp::AddSeparator, {intBytes(11), "13"}));
  const std::string category = encodeRecord(record(LogOp::AddCategory, {intBytes(11), std::string(8, '\x40'), "Sub"}));
  for (const auto& [torn, next] : {std::pair{visit, separator}, std::pair{rename, category}}) {
    for (std::size_t cut = 1; cut + kLogTerminator.size() < torn.size(); ++cut) {
      SCOPED_TRACE("cut at " + std::to_string(cut));
      const auto records = decodeLog(torn.substr(0, cut) + next);
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(encodeRecord(records[0]), next);
    }
  }
}

}  // namespace
}  // namespace lh::store
