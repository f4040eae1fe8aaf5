// 32-bit integer arithmetic of the slider in its two builds: the player's
// wraps around on overflow, the enhancer's raises an error.
#pragma once
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace tav::slider {

template <bool Checked>
struct Arith {
  static int32_t Add(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_add_overflow(a, b, &r) && Checked) throw std::overflow_error("integer overflow");
    return r;
  }
  static int32_t Sub(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_sub_overflow(a, b, &r) && Checked) throw std::overflow_error("integer overflow");
    return r;
  }
  static int32_t Mul(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_mul_overflow(a, b, &r) && Checked) throw std::overflow_error("integer overflow");
    return r;
  }
  // Truncating division; INT32_MIN / -1 wraps to INT32_MIN.
  static int32_t Div(int32_t a, int32_t b) {
    if (a == INT32_MIN && b == -1) {
      if (Checked) throw std::overflow_error("integer overflow");
      return INT32_MIN;
    }
    return a / b;
  }
  static int32_t Mod(int32_t a, int32_t b) { return (a == INT32_MIN && b == -1) ? 0 : a % b; }
  // Rounds to the nearest integer, halves to the even neighbour.
  static int32_t Round(double x) {
    const double r = std::nearbyint(x);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) {
      if (Checked) throw std::range_error("value out of range");
      if (std::isnan(r)) return INT32_MIN;
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(std::fmod(r, 4294967296.0))));
    }
    return static_cast<int32_t>(r);
  }
};

}  // namespace tav::slider
