// How long one read of another program (the browser beside the window, the
// title of the window a copy came from) may take, however that program
// answers: slowly, never, or with an endless accessible tree; and how many
// abandoned reads may still be waiting for such a program.
#pragma once

#include <atomic>
#include <memory>
#include <utility>

namespace lh::capture {

inline constexpr int kReadBoundMs = 1500;

// A read abandoned at its bound goes on, on its own thread, until the other
// program answers, which a hung one never does. At most this many reads of
// one kind run at a time, abandoned ones included: a further read is not
// made (it gives nothing), so that hung programs cannot take the places
// every other bounded call (the icon downloads) needs.
inline constexpr int kMostReadsRunning = 2;

class ReadPlaces {
 public:
  // One read's place, given back when the last copy of it goes.
  struct Place {
    explicit Place(std::shared_ptr<std::atomic<int>> r) : running(std::move(r)) {}
    ~Place() { running->fetch_sub(1); }
    Place(const Place&) = delete;
    Place& operator=(const Place&) = delete;
    std::shared_ptr<std::atomic<int>> running;
  };
  // A place for one read, held by its work while it runs; none when every
  // place is taken.
  std::shared_ptr<Place> take() {
    if (running_->fetch_add(1) >= kMostReadsRunning) {
      running_->fetch_sub(1);
      return nullptr;
    }
    return std::make_shared<Place>(running_);
  }
  int running() const { return running_->load(); }

 private:
  std::shared_ptr<std::atomic<int>> running_ = std::make_shared<std::atomic<int>>(0);
};

}  // namespace lh::capture
