// Conversions between the library's float samples (1.0 = full scale) and integer PCM.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The same result as the single-sample form, eight samples at a time where SSE2 is there
// (the baseline of every build): NaN masked to 0, clipped, then converted in the current
// rounding mode (nearest, ties to even), as the magic-number addition above does.
inline void float_to_int16(const float* in, int16_t* out, size_t samples) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128 scale = _mm_set1_ps(kInt16Scale);
  const __m128 lo = _mm_set1_ps(-32768.0f);
  const __m128 hi = _mm_set1_ps(32767.0f);
  for (; i + 8 <= samples; i += 8) {
    __m128 a = _mm_mul_ps(_mm_loadu_ps(in + i), scale);
    __m128 b = _mm_mul_ps(_mm_loadu_ps(in + i + 4), scale);
    a = _mm_and_ps(a, _mm_cmpord_ps(a, a));
    b = _mm_and_ps(b, _mm_cmpord_ps(b, b));
    a = _mm_min_ps(_mm_max_ps(a, lo), hi);
    b = _mm_min_ps(_mm_max_ps(b, lo), hi);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b)));
  }
#endif
  for (; i < samples; ++i) out[i] = float_to_int16(in[i]);
}

inline void int16_to_float(const int16_t* in, float* out, size_t samples) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128 scale = _mm_set1_ps(1.0f / kInt16Scale);
  for (; i + 8 <= samples; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);  // sign-extended
    const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
    _mm_storeu_ps(out + i, _mm_mul_ps(_mm_cvtepi32_ps(low), scale));
    _mm_storeu_ps(out + i + 4, _mm_mul_ps(_mm_cvtepi32_ps(high), scale));
  }
#endif
  for (; i < samples; ++i) out[i] = static_cast<float>(in[i]) * (1.0f / kInt16Scale);
}

}  // namespace tav::audio
