// INI files with the semantics of the Windows profile-string functions:
// sections and keys matched without regard to ASCII letter case, a missing
// file, section or key reads as the empty text, values are trimmed of spaces
// and tabs and of one pair of enclosing quotes, writes change one key and keep
// every other line (comments, blank lines, unknown lines) byte for byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/filesystem.h"

namespace lh::text {

// Values read are cut to this many bytes (at a character boundary).
inline constexpr std::size_t kMaxProfileValue = 10240;

class IniDocument {
 public:
  IniDocument() = default;
  explicit IniDocument(std::string_view bytes);

  // The value, or nullopt when the key is missing.
  std::optional<std::string> find(std::string_view section, std::string_view key) const;
  std::string get(std::string_view section, std::string_view key) const {
    return find(section, key).value_or(std::string());
  }

  // Sets the key, adding it (and its section) when missing. CR and LF are
  // removed from all three texts, since they would split the line.
  void set(std::string_view section, std::string_view key, std::string_view value);

  // Removes every line of the key in the section; true when one was removed.
  bool remove(std::string_view section, std::string_view key);

  std::string bytes() const;

 private:
  enum class Kind { Blank, Comment, Section, Key, Other };
  struct Line {
    std::string text;     // without its line ending
    std::string ending;   // "\r\n", "\n" or "" for a last line without one
    Kind kind = Kind::Blank;
    std::string name;     // section name or key, trimmed
    std::size_t valueStart = 0;  // Key: where the value begins in `text`
  };
  static Line parse(std::string text, std::string ending);
  // Index range [begin, end) of lines belonging to each section with `name`.
  std::vector<std::pair<std::size_t, std::size_t>> sections(std::string_view name) const;

  std::vector<Line> lines_;
};

// The profile-string functions on a file: every call reads the file anew, and
// every write replaces the file in one step (temporary file and rename).
std::string readProfileString(FileSystem& fs, const std::string& path, std::string_view section,
                              std::string_view key);
bool writeProfileString(FileSystem& fs, const std::string& path, std::string_view section,
                        std::string_view key, std::string_view value);
bool deleteProfileKey(FileSystem& fs, const std::string& path, std::string_view section,
                      std::string_view key);

// An INI file the program alone writes: parsed once, read from memory, and
// written through to the file on every change. A file that is there but
// could not be read reads as empty and is never written, so that what it
// holds is not replaced by the few keys set since.
class CachedIniFile {
 public:
  CachedIniFile(FileSystem& fs, std::string path);
  std::string get(std::string_view section, std::string_view key) const { return doc_.get(section, key); }
  bool set(std::string_view section, std::string_view key, std::string_view value);
  bool remove(std::string_view section, std::string_view key);
  void reload();
  bool unreadable() const { return unreadable_; }

 private:
  FileSystem& fs_;
  std::string path_;
  IniDocument doc_;
  bool unreadable_ = false;
};

}  // namespace lh::text
