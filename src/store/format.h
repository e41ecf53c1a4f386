// Byte formats of the two store files. docs/store-format.md gives the grammar.
#pragma once

#include <cstdint>
#include <string_view>

namespace lh::store {

// Store file "udb": one line per entry, each line followed by CR LF; a line
// is the twelve stored fields, each followed by kFieldSeparator.
inline constexpr std::string_view kLineEnd{"\r\n", 2};
inline constexpr std::string_view kFieldSeparator{"\x01\x01\x07\x01", 4};
// A line of exactly these two bytes is vacant, like an empty line.
inline constexpr std::string_view kVacantLine{"\0\0", 2};
inline constexpr int kStoredFields = 12;

// Change log "bein": records of an operation byte, kLogSeparator, then each
// field followed by kLogSeparator, then kLogTerminator.
inline constexpr std::string_view kLogSeparator{"\x04\x01\x05\x08", 4};
inline constexpr std::string_view kLogTerminator{
    "\xFF\x00\x01\x01\x07\x01\x04\x05\x04\x00\xFF\xFF\xF4\x0D\x0A", 15};

enum class LogOp : std::uint8_t {
  AddBookmark = 1,
  RecordVisit = 2,
  EditBookmark = 3,
  MoveEntries = 4,
  AddCategory = 5,
  EditCategory = 6,
  EmptyRecycleBin = 7,
  AddSeparator = 8,
  PurgeEntry = 9,
};

enum class FieldType : std::uint8_t { Text, Int, Bool, Date };

inline constexpr int widthOf(FieldType t) {
  return t == FieldType::Date ? 8 : (t == FieldType::Text ? 0 : 4);
}

}  // namespace lh::store
