// Conversions between the library's float samples (1.0 = full scale) and integer PCM.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace tav::audio {

inline constexpr float kInt16Scale = 32768.0f;

// Rounds to nearest (ties to even) and clips to the 16-bit range.
inline int16_t float_to_int16(float v) {
  const float s = v * kInt16Scale;
  if (std::isnan(s)) return 0;
  if (s <= -32768.0f) return -32768;
  if (s >= 32767.0f) return 32767;
  return static_cast<int16_t>(std::lrintf(s));
}

inline void float_to_int16(const float* in, int16_t* out, size_t samples) {
  for (size_t i = 0; i < samples; ++i) out[i] = float_to_int16(in[i]);
}

inline void int16_to_float(const int16_t* in, float* out, size_t samples) {
  for (size_t i = 0; i < samples; ++i) out[i] = static_cast<float>(in[i]) * (1.0f / kInt16Scale);
}

}  // namespace tav::audio
