// Bookmarks like a heavy user's: titles of GB2312 hanzi and ASCII words,
// addresses of random sites and paths; and the clock. Shared by the
// benchmark programs.
#pragma once

#include <time.h>

#include <random>
#include <string>

namespace lh::bench {

// Milliseconds of the monotonic clock.
inline double nowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

class BookmarkMaker {
 public:
  explicit BookmarkMaker(unsigned seed = 20261209) : rng_(seed) {}

  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  std::string title() {
    std::string t;
    const int hanzi = uniform(2, 14);
    for (int i = 0; i < hanzi; ++i) {
      t.push_back(static_cast<char>(uniform(0xB0, 0xD7)));
      t.push_back(static_cast<char>(uniform(0xA1, 0xF9)));
    }
    if (uniform(0, 2) == 0) t += " - Example Site";
    if (uniform(0, 3) == 0) t += " 2016";
    return t;
  }

  std::string word(int lo, int hi) {
    std::string w;
    const int n = uniform(lo, hi);
    for (int i = 0; i < n; ++i) w.push_back(static_cast<char>('a' + uniform(0, 25)));
    return w;
  }

  std::string url() {
    static const char* kTlds[] = {".com", ".cn", ".com.cn", ".net", ".org", ".net.cn"};
    std::string u = uniform(0, 4) == 0 ? "https://" : "http://";
    if (uniform(0, 1)) u += "www.";
    u += word(3, 12) + kTlds[uniform(0, 5)] + "/";
    for (int i = uniform(0, 3); i > 0; --i) u += word(2, 10) + "/";
    if (uniform(0, 2) == 0) u += "index.html?id=" + std::to_string(uniform(1, 999999));
    return u;
  }

 private:
  std::mt19937 rng_;
};

}  // namespace lh::bench
