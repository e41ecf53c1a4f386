// Shared checks of the picture fuzz targets: a decoded picture is either
// empty or consistent and within the size limit.
#pragma once

#include <cstdlib>

#include "canvas/decode.h"

namespace lh::fuzz {

inline void checkPicture(const canvas::Picture& p) {
  if (p.empty()) {
    if (!p.pixels.empty()) std::abort();
    return;
  }
  if (p.width > canvas::kMaxPictureSide || p.height > canvas::kMaxPictureSide) std::abort();
  if (p.pixels.size() != static_cast<std::size_t>(p.width) * p.height) std::abort();
}

}  // namespace lh::fuzz
