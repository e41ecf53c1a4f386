// An array that grows in fixed chunks: appending never moves the elements
// already there, so references to entries stay valid and a store of 100,000
// entries does not relocate them all when it grows by one. Chunks are raw
// storage; elements are constructed only as they are appended.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace lh::store {

template <typename T, std::size_t ChunkSize = 1024>
class ChunkedArray {
 public:
  ChunkedArray() = default;
  ChunkedArray(const ChunkedArray&) = delete;
  ChunkedArray& operator=(const ChunkedArray&) = delete;
  ChunkedArray(ChunkedArray&& o) noexcept : chunks_(std::move(o.chunks_)), size_(o.size_) { o.size_ = 0; }
  ChunkedArray& operator=(ChunkedArray&& o) noexcept {
    if (this != &o) {
      clear();
      chunks_ = std::move(o.chunks_);
      size_ = o.size_;
      o.size_ = 0;
    }
    return *this;
  }
  ~ChunkedArray() { clear(); }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) { return slot(i); }
  const T& operator[](std::size_t i) const { return const_cast<ChunkedArray*>(this)->slot(i); }
  T& back() { return slot(size_ - 1); }

  T& emplace_back() {
    if (size_ == chunks_.size() * ChunkSize) chunks_.emplace_back(new Storage[ChunkSize]);  // left uninitialised
    T* p = ::new (static_cast<void*>(&chunks_[size_ / ChunkSize][size_ % ChunkSize])) T();
    ++size_;
    return *p;
  }
  void clear() {
    for (std::size_t i = 0; i < size_; ++i) slot(i).~T();
    chunks_.clear();
    size_ = 0;
  }

 private:
  struct Storage {
    alignas(T) unsigned char bytes[sizeof(T)];
  };
  T& slot(std::size_t i) {
    return *std::launder(reinterpret_cast<T*>(&chunks_[i / ChunkSize][i % ChunkSize]));
  }
  std::vector<std::unique_ptr<Storage[]>> chunks_;
  std::size_t size_ = 0;
};

}  // namespace lh::store
