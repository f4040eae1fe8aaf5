// Conversions between the library's float samples (1.0 = full scale) and integer PCM.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tav::audio {

inline constexpr float kInt16Scale = 32768.0f;

// Rounds to nearest (ties to even) and clips to the 16-bit range; NaN gives 0. Adding
// 1.5 * 2^23 leaves the rounded whole number in the low mantissa bits (exact for the
// clipped range), which keeps the loop free of library calls so it vectorises.
inline int16_t float_to_int16(float v) {
  float s = v * kInt16Scale;
  s = s != s ? 0.0f : s;
  s = s < -32768.0f ? -32768.0f : s;
  s = s > 32767.0f ? 32767.0f : s;
  const float shifted = s + 12582912.0f;
  int32_t bits;
  std::memcpy(&bits, &shifted, sizeof bits);
  return static_cast<int16_t>(bits - 0x4B400000);
}

inline void float_to_int16(const float* in, int16_t* out, size_t samples) {
  for (size_t i = 0; i < samples; ++i) out[i] = float_to_int16(in[i]);
}

inline void int16_to_float(const int16_t* in, float* out, size_t samples) {
  for (size_t i = 0; i < samples; ++i) out[i] = static_cast<float>(in[i]) * (1.0f / kInt16Scale);
}

}  // namespace tav::audio
