// A text of an entry, in 16 bytes. Most texts of a loaded store never
// change, so they stay where they were read: a span of the store file's
// bytes, which the line cache keeps in memory anyway (borrowed). Texts of up
// to 15 bytes are kept inside the object; longer ones get a buffer of their
// own; a member list being changed in place is a std::string (edit()).
//
// It reads like a std::string_view (and converts to one, or to a
// std::string); assigning any text makes a copy the object owns.
#pragma once

#include <compare>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>

namespace lh::store {

class EntryText {
 public:
  EntryText() noexcept { setInline({}); }
  EntryText(std::string_view s) { set(s); }
  EntryText(const char* s) { set(s); }
  EntryText(const std::string& s) { set(s); }
  EntryText(const EntryText& o) {
    if (o.tag() == kBorrowed) {
      std::memcpy(bytes_, o.bytes_, sizeof bytes_);
    } else {
      set(o.view());
    }
  }
  EntryText(EntryText&& o) noexcept {
    std::memcpy(bytes_, o.bytes_, sizeof bytes_);
    o.setInline({});
  }
  EntryText& operator=(const EntryText& o) {
    if (this != &o) *this = EntryText(o);
    return *this;
  }
  EntryText& operator=(EntryText&& o) noexcept {
    if (this != &o) {
      release();
      std::memcpy(bytes_, o.bytes_, sizeof bytes_);
      o.setInline({});
    }
    return *this;
  }
  EntryText& operator=(std::string_view s) { return *this = EntryText(s); }
  EntryText& operator=(const char* s) { return *this = EntryText(s); }
  EntryText& operator=(const std::string& s) { return *this = EntryText(std::string_view(s)); }
  ~EntryText() { release(); }

  // A text that refers to `s` without copying it: `s` must outlive it (the
  // loaded store file's bytes, or a literal).
  static EntryText borrowed(std::string_view s) {
    EntryText t;
    t.setFar(s.data(), s.size(), kBorrowed);
    return t;
  }

  std::string_view view() const noexcept {
    const std::uint8_t t = tag();
    if (t <= kInlineCapacity) return std::string_view(reinterpret_cast<const char*>(bytes_), t);
    if (t == kString) return *static_cast<const std::string*>(pointer());
    return std::string_view(static_cast<const char*>(pointer()), farSize());
  }
  operator std::string_view() const noexcept { return view(); }
  operator std::string() const { return std::string(view()); }
  const char* data() const noexcept { return view().data(); }
  std::size_t size() const noexcept { return view().size(); }
  bool empty() const noexcept { return view().empty(); }
  bool isBorrowed() const noexcept { return tag() == kBorrowed; }
  void clear() noexcept {
    release();
    setInline({});
  }

  // The text as a std::string to change in place (a member list that grows
  // by one member per change costs no copy of the whole list).
  std::string& edit() {
    if (tag() != kString) {
      auto* s = new std::string(view());
      release();
      setFar(s, 0, kString);
    }
    return *static_cast<std::string*>(const_cast<void*>(pointer()));
  }

  EntryText& operator+=(std::string_view s) {
    edit() += s;
    return *this;
  }

  friend bool operator==(const EntryText& a, const EntryText& b) noexcept { return a.view() == b.view(); }
  friend bool operator==(const EntryText& a, std::string_view b) noexcept { return a.view() == b; }
  friend bool operator==(const EntryText& a, const char* b) noexcept { return a.view() == b; }
  friend bool operator==(const EntryText& a, const std::string& b) noexcept { return a.view() == b; }
  friend std::strong_ordering operator<=>(const EntryText& a, const EntryText& b) noexcept {
    return a.view() <=> b.view();
  }
  friend std::strong_ordering operator<=>(const EntryText& a, std::string_view b) noexcept { return a.view() <=> b; }

 private:
  static constexpr std::uint8_t kInlineCapacity = 15;
  static constexpr std::uint8_t kBorrowed = 0x80;
  static constexpr std::uint8_t kOwned = 0x81;   // a buffer of its own, exactly its size
  static constexpr std::uint8_t kString = 0x82;  // a std::string of its own

  std::uint8_t tag() const noexcept { return bytes_[15]; }
  const void* pointer() const noexcept {
    const void* p;
    std::memcpy(&p, bytes_, sizeof p);
    return p;
  }
  std::size_t farSize() const noexcept {
    std::uint32_t n;
    std::memcpy(&n, bytes_ + 8, sizeof n);
    return n;
  }
  void setInline(std::string_view s) noexcept {
    std::memset(bytes_, 0, sizeof bytes_);
    if (!s.empty()) std::memcpy(bytes_, s.data(), s.size());
    bytes_[15] = static_cast<std::uint8_t>(s.size());
  }
  void setFar(const void* p, std::size_t n, std::uint8_t tag) noexcept {
    std::memset(bytes_, 0, sizeof bytes_);
    std::memcpy(bytes_, &p, sizeof p);
    const auto n32 = static_cast<std::uint32_t>(n);
    std::memcpy(bytes_ + 8, &n32, sizeof n32);
    bytes_[15] = tag;
  }
  // Only for a text without anything to release.
  void set(std::string_view s) {
    if (s.size() <= kInlineCapacity) {
      setInline(s);
      return;
    }
    char* p = new char[s.size()];
    std::memcpy(p, s.data(), s.size());
    setFar(p, s.size(), kOwned);
  }
  void release() noexcept {
    if (tag() == kOwned) delete[] static_cast<const char*>(pointer());
    if (tag() == kString) delete static_cast<const std::string*>(pointer());
  }

  alignas(8) std::uint8_t bytes_[16];
};

std::ostream& operator<<(std::ostream& out, const EntryText& t);

}  // namespace lh::store
