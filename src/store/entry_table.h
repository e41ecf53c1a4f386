// The entries of a store, built one by one as they are first needed. A load
// only finds where each line of the store file lies; an entry is read from
// its line when it is first asked for, so that a start with 100,000 entries
// reads (and fills memory for) only the few the first screen shows.
//
// Entries live in small fixed chunks, allocated when one of their entries is
// first built: growing never moves an entry, so references stay valid.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "store/entry.h"

namespace lh::store {

class EntryTable {
 public:
  static constexpr std::size_t kChunk = 64;

  EntryTable() = default;
  EntryTable(const EntryTable&) = delete;
  EntryTable& operator=(const EntryTable&) = delete;
  EntryTable(EntryTable&& o) noexcept : chunks_(std::move(o.chunks_)), size_(o.size_) { o.size_ = 0; }
  EntryTable& operator=(EntryTable&& o) noexcept {
    if (this != &o) {
      chunks_ = std::move(o.chunks_);
      size_ = o.size_;
      o.size_ = 0;
    }
    return *this;
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Makes room for entries up to n, none of them built.
  void resize(std::size_t n) {
    size_ = n;
    chunks_.resize((n + kChunk - 1) / kChunk);
  }
  bool built(std::size_t i) const {
    const Chunk* c = chunks_[i / kChunk].get();
    return c && (c->built >> (i % kChunk) & 1);
  }
  // Entry i, which must be built.
  Entry& operator[](std::size_t i) { return chunks_[i / kChunk]->at(i % kChunk); }
  const Entry& operator[](std::size_t i) const { return chunks_[i / kChunk]->at(i % kChunk); }
  // Entry i, built all zero if it was not yet.
  Entry& build(std::size_t i) {
    std::unique_ptr<Chunk>& c = chunks_[i / kChunk];
    if (!c) c = std::make_unique<Chunk>();
    return c->build(i % kChunk);
  }
  // A new entry at the end, built all zero.
  Entry& emplace_back() {
    resize(size_ + 1);
    return build(size_ - 1);
  }
  // How many entries are built (for measurements).
  std::size_t builtCount() const {
    std::size_t n = 0;
    for (const auto& c : chunks_) {
      if (c) n += static_cast<std::size_t>(std::popcount(c->built));
    }
    return n;
  }

 private:
  struct Chunk {
    alignas(Entry) unsigned char bytes[kChunk][sizeof(Entry)];
    std::uint64_t built = 0;
    static_assert(kChunk == 64, "one bit per entry in `built`");

    Entry& at(std::size_t k) { return *std::launder(reinterpret_cast<Entry*>(bytes[k])); }
    const Entry& at(std::size_t k) const { return *std::launder(reinterpret_cast<const Entry*>(bytes[k])); }
    Entry& build(std::size_t k) {
      if (!(built >> k & 1)) {
        ::new (static_cast<void*>(bytes[k])) Entry();
        built |= std::uint64_t{1} << k;
      }
      return at(k);
    }
    ~Chunk() {
      for (std::size_t k = 0; k < kChunk; ++k) {
        if (built >> k & 1) at(k).~Entry();
      }
    }
  };

  std::vector<std::unique_ptr<Chunk>> chunks_;
  std::size_t size_ = 0;
};

}  // namespace lh::store
