// The easings of the animations. Frame f of n plays at t = f / n; a value
// eased from a to b is a + (b - a) * k(t), truncated toward zero.
#pragma once

#include <cmath>

namespace lh::ui {

// Exponential ease-out: 1 - 2^(-10 t).
inline double expoOut(int frame, int frames) { return 1 - std::pow(2.0, -10.0 * frame / frames); }
// Quartic ease-out: 1 - (t - 1)^4.
inline double quartOut(int frame, int frames) {
  const double t = static_cast<double>(frame) / frames;
  return 1 - std::pow(t - 1, 4);
}
inline int eased(double a, double b, double k) { return static_cast<int>(a + (b - a) * k); }

}  // namespace lh::ui
