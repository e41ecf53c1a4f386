// Encoding and decoding of store-file lines and change-log records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/entry.h"
#include "store/format.h"

namespace lh::store {

// Little-endian fixed-width values.
void putInt(std::string& out, std::int32_t v);
void putDate(std::string& out, double v);
// Reads up to 4 (8) bytes, missing high bytes as zero.
std::int32_t getInt(std::string_view bytes);
double getDate(std::string_view bytes);
// Text as stored: the bytes up to the first NUL, else the whole field.
std::string getText(std::string_view bytes);

// Removes the byte sequences that frame the files (field separator, log
// separator, CR LF) from a text, repeating until none is left.
std::string lineSafe(std::string_view text);

// A text as the store keeps it: up to its first NUL (as a reader of either
// file takes it), and line-safe. The change operations and the replay both
// store texts through it, so that a replay gives exactly the live entries.
std::string storedText(std::string_view text);

// The twelve stored fields of an entry, each followed by the separator.
std::string serializeLine(const Entry& e);

// One line of the store file, read field by field from `pos`: texts up to the
// separator, numbers by their fixed widths, so that a number whose bytes
// contain CR LF or the separator reads back. A short line (ended by CR LF or
// the end of the file before its twelfth field) loads the fields it has.
struct ParsedLine {
  std::string_view raw;  // the line's bytes, without its CR LF
  bool vacant = false;   // empty, or exactly 00 00 (`entry` left untouched)
  Entry entry;           // stored fields (dates clamped); derived fields empty
  std::size_t next = 0;  // where the next line starts
};
ParsedLine parseLine(std::string_view file, std::size_t pos, std::int64_t lineNumber);

// The same, filling `entry` in place (it is expected to be all zero). With
// borrowTexts the entry's texts refer to `file`, which must outlive them.
struct LineExtent {
  std::string_view raw;
  bool vacant = false;
  std::size_t next = 0;
};
LineExtent parseLineInto(std::string_view file, std::size_t pos, std::int64_t lineNumber, Entry& entry,
                         bool borrowTexts = false);

// A decoded change-log record: the operation and its fields' bytes.
struct LogRecord {
  LogOp op{};
  std::vector<std::string> fields;
};

// The field types of each operation (empty span for an unknown byte).
const std::vector<FieldType>* schemaOf(std::uint8_t op);

std::string encodeRecord(const LogRecord& r);

// Splits the log at every terminator and decodes each record by its
// operation's schema. Records with an unknown operation, too few or too many
// fields, and a trailing record without its terminator (cut short by a crash)
// are skipped; `skipped` counts them.
std::vector<LogRecord> decodeLog(std::string_view log, int* skipped = nullptr);

}  // namespace lh::store
