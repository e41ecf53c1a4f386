// The busy state: while long work lets window messages through (a load, a
// sort, an import), pointer input to the guarded controls is dropped, so
// nothing can change the data the work is walking. Scopes nest.
#pragma once

#include <functional>
#include <vector>

#include "ui/window.h"

namespace lh::ui {

class Busy {
 public:
  // Pointer input to `c` (and its children) is dropped while busy.
  void guard(Control& c) { guarded_.push_back(&c); }
  // Runs when the state changes (true: busy now).
  std::vector<std::function<void(bool)>> onChange;

  class Scope {
   public:
    explicit Scope(Busy* b) : busy_(b) {
      if (busy_) busy_->enter();
    }
    Scope(Scope&& o) noexcept : busy_(o.busy_) { o.busy_ = nullptr; }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    Scope& operator=(Scope&&) = delete;
    ~Scope() {
      if (busy_) busy_->leave();
    }

   private:
    Busy* busy_;
  };
  Scope scope() { return Scope(this); }
  bool busy() const { return depth_ > 0; }

 private:
  void enter() {
    if (depth_++ == 0) set(true);
  }
  void leave() {
    if (--depth_ == 0) set(false);
  }
  void set(bool busy) {
    for (Control* c : guarded_) c->setInputEnabled(!busy);
    for (auto& f : onChange) f(busy);
  }
  int depth_ = 0;
  std::vector<Control*> guarded_;
};

}  // namespace lh::ui
