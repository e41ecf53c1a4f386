// An array that grows in fixed chunks: appending never moves the elements
// already there, so references to entries stay valid and a store of 100,000
// entries does not relocate them all when it grows by one.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace lh::store {

template <typename T, std::size_t ChunkSize = 1024>
class ChunkedArray {
 public:
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) { return chunks_[i / ChunkSize][i % ChunkSize]; }
  const T& operator[](std::size_t i) const { return chunks_[i / ChunkSize][i % ChunkSize]; }
  T& back() { return (*this)[size_ - 1]; }

  T& emplace_back() {
    if (size_ == chunks_.size() * ChunkSize) chunks_.push_back(std::make_unique<T[]>(ChunkSize));
    T& slot = (*this)[size_++];
    return slot;
  }
  void clear() {
    chunks_.clear();
    size_ = 0;
  }

 private:
  std::vector<std::unique_ptr<T[]>> chunks_;
  std::size_t size_ = 0;
};

}  // namespace lh::store
