// Bounds-checked little-endian reads from untrusted bytes: a read past the
// end gives 0 and marks the reader as failed.
#pragma once

#include <cstdint>
#include <string_view>

namespace lh::canvas {

class Reader {
 public:
  explicit Reader(std::string_view b) : b_(b) {}
  bool ok() const { return ok_; }
  std::size_t size() const { return b_.size(); }
  std::uint8_t u8(std::size_t at) {
    if (at >= b_.size()) return fail();
    return static_cast<std::uint8_t>(b_[at]);
  }
  std::uint16_t u16(std::size_t at) {
    if (at + 2 > b_.size() || at + 2 < at) return fail();
    return static_cast<std::uint16_t>(u8(at) | (u8(at + 1) << 8));
  }
  std::uint32_t u32(std::size_t at) {
    if (at + 4 > b_.size() || at + 4 < at) return fail();
    return static_cast<std::uint32_t>(u16(at)) | (static_cast<std::uint32_t>(u16(at + 2)) << 16);
  }

 private:
  std::uint8_t fail() {
    ok_ = false;
    return 0;
  }
  std::string_view b_;
  bool ok_ = true;
};

}  // namespace lh::canvas
