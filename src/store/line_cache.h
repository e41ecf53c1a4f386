// Each entry's stored line, without its CR LF. The cache holds the view of
// the store file it was loaded from (mapped, on the real file systems):
// lines read from it are spans of those bytes (no copy per line), and the
// entries' texts point into them too, so the view lives until the next
// load. A line changed since gets a string of its own.
//
// A changed line is first only marked pending: the store serialises it from
// its entry when the line is next needed (a reader of the line, or the
// save), so a change that touches a long line (a category of 100,000
// members) costs one serialisation however often it is repeated.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/format.h"
#include "text/filesystem.h"

namespace lh::store {

class LineCache {
 public:
  // Forgets every line and takes the file's bytes (nullptr: none); add its
  // lines with addFileLine, as spans of file().
  void reset(std::unique_ptr<text::FileView> file) {
    file_ = std::move(file);
    slots_.clear();
    owned_.clear();
    free_.clear();
  }
  std::string_view file() const { return file_ ? file_->bytes() : std::string_view(); }
  void addFileLine(std::string_view raw) {
    slots_.push_back(Slot{static_cast<std::uint32_t>(raw.data() - file().data()), static_cast<std::int32_t>(raw.size())});
  }

  std::size_t size() const { return slots_.size(); }
  void reserve(std::size_t n) { slots_.reserve(n); }
  // A new, empty line.
  void push_back() { slots_.push_back(Slot{0, 0}); }

  bool pending(std::size_t i) const { return slots_[i].kind == kPending; }
  // Where line i starts in file(), for a line that is a span of it.
  std::size_t fileOffset(std::size_t i) const { return slots_[i].at; }
  // The line's bytes; not for a pending line (serialise it first).
  std::string_view operator[](std::size_t i) const {
    const Slot& s = slots_[i];
    if (s.kind >= 0) return file().substr(s.at, static_cast<std::size_t>(s.kind));
    return owned_[s.at];
  }
  // Empty or exactly 00 00, and not pending.
  bool vacant(std::size_t i) const {
    if (pending(i)) return false;
    const std::string_view v = (*this)[i];
    return v.empty() || v == kVacantLine;
  }

  void markPending(std::size_t i) {
    Slot& s = slots_[i];
    if (s.kind >= 0) s.at = kNoString;
    s.kind = kPending;
  }
  // Gives line i its bytes, reusing the string it had.
  void set(std::size_t i, std::string line) {
    Slot& s = slots_[i];
    if (s.kind >= 0 || s.at == kNoString) {
      if (!free_.empty()) {
        s.at = free_.back();
        free_.pop_back();
      } else {
        s.at = static_cast<std::uint32_t>(owned_.size());
        owned_.emplace_back();
      }
    }
    owned_[s.at] = std::move(line);
    s.kind = kOwned;
  }
  // Makes line i the empty line (a vacant slot).
  void clear(std::size_t i) {
    Slot& s = slots_[i];
    if (s.kind < 0 && s.at != kNoString) {
      owned_[s.at] = std::string();
      free_.push_back(s.at);
    }
    s = Slot{0, 0};
  }

 private:
  static constexpr std::int32_t kOwned = -1;
  static constexpr std::int32_t kPending = -2;
  static constexpr std::uint32_t kNoString = UINT32_MAX;
  // kind >= 0: bytes [at, at + kind) of file_. kOwned: owned_[at].
  // kPending: to be serialised; owned_[at] (if any) is its old string.
  struct Slot {
    std::uint32_t at;
    std::int32_t kind;
  };

  std::unique_ptr<text::FileView> file_;
  std::vector<Slot> slots_;
  std::deque<std::string> owned_;  // a deque: growing it never moves a string
  std::vector<std::uint32_t> free_;
};

}  // namespace lh::store
