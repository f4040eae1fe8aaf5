// Test signals and measurements shared by the sound-engine tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "tav/test/frequency.h"  // ZeroCrossingFrequency

namespace lentaro::test {

constexpr double kPi = 3.14159265358979323846;

inline std::vector<int16_t> sine16(double freq, double rate, double amplitude, size_t count) {
  std::vector<int16_t> v(count);
  for (size_t i = 0; i < count; ++i) v[i] = int16_t(std::lround(amplitude * std::sin(2 * kPi * freq * i / rate)));
  return v;
}

// Amplitude of a sine of known frequency (cycles per sample) over x[from, from+len)
// by a least-squares fit of a sin + b cos + c.
inline double fittedAmplitude(const std::vector<double>& x, size_t from, size_t len, double freq) {
  double s[3][3] = {}, r[3] = {};
  for (size_t i = from; i < from + len; ++i) {
    const double f[3] = {std::sin(2 * kPi * freq * i), std::cos(2 * kPi * freq * i), 1.0};
    for (int a = 0; a < 3; ++a) {
      r[a] += f[a] * x[i];
      for (int b = 0; b < 3; ++b) s[a][b] += f[a] * f[b];
    }
  }
  // Gaussian elimination on the 3x3 normal equations
  for (int c = 0; c < 3; ++c) {
    for (int rr = c + 1; rr < 3; ++rr) {
      const double k = s[rr][c] / s[c][c];
      for (int cc = c; cc < 3; ++cc) s[rr][cc] -= k * s[c][cc];
      r[rr] -= k * r[c];
    }
  }
  double sol[3];
  for (int c = 2; c >= 0; --c) {
    double v = r[c];
    for (int cc = c + 1; cc < 3; ++cc) v -= s[c][cc] * sol[cc];
    sol[c] = v / s[c][c];
  }
  return std::hypot(sol[0], sol[1]);
}

}  // namespace lentaro::test
