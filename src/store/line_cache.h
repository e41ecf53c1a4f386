// Each entry's stored line, without its CR LF. Lines read from the store file
// stay in the file's bytes (one buffer, no copy per line); a refreshed line
// gets a string of its own, reused by later refreshes of the same line.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace lh::store {

class LineCache {
 public:
  // Replaces every line: `file` holds the bytes, `lines` views into it.
  void assign(std::string file, std::vector<std::string_view> lines) {
    const char* before = file.data();
    file_ = std::move(file);
    view_ = std::move(lines);
    if (file_.data() != before) {
      // A short string is copied, not moved: point the views at the copy.
      for (std::string_view& v : view_) {
        if (!v.empty()) v = std::string_view(file_.data() + (v.data() - before), v.size());
      }
    }
    owner_.assign(view_.size(), -1);
    owned_.clear();
    free_.clear();
  }
  std::size_t size() const { return view_.size(); }
  std::string_view operator[](std::size_t i) const { return view_[i]; }
  void reserve(std::size_t n) {
    view_.reserve(n);
    owner_.reserve(n);
  }
  void push_back() {
    view_.emplace_back();
    owner_.push_back(-1);
  }
  void set(std::size_t i, std::string line) {
    std::int32_t& o = owner_[i];
    if (o < 0) {
      if (line.empty()) {
        view_[i] = std::string_view();
        return;
      }
      if (!free_.empty()) {
        o = free_.back();
        free_.pop_back();
      } else {
        o = static_cast<std::int32_t>(owned_.size());
        owned_.emplace_back();
      }
    }
    owned_[static_cast<std::size_t>(o)] = std::move(line);
    view_[i] = owned_[static_cast<std::size_t>(o)];
  }

 private:
  std::string file_;
  std::vector<std::string_view> view_;
  std::vector<std::int32_t> owner_;  // index into owned_, or -1
  std::deque<std::string> owned_;    // a deque: growing it never moves a string
  std::vector<std::int32_t> free_;
};

}  // namespace lh::store
