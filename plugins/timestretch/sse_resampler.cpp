// The resampler's inner product over SSE2: its 14 taps padded with zeros to 16,
// four at a time; and its loop over a block of inputs, whose window of 16 inputs
// stays in registers while the outputs of one input are made.
#include <emmintrin.h>

#include "sse_kernels.h"

namespace lentaro::sse {
namespace {

inline __m128 product16(const float* row, __m128 w0, __m128 w1, __m128 w2, __m128 w3) {
  const __m128 s0 = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(row), w0), _mm_mul_ps(_mm_loadu_ps(row + 4), w1));
  const __m128 s1 = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(row + 8), w2), _mm_mul_ps(_mm_loadu_ps(row + 12), w3));
  return _mm_add_ps(s0, s1);
}

inline float horizontalSum(__m128 s) {
  s = _mm_add_ps(s, _mm_movehl_ps(s, s));
  s = _mm_add_ss(s, _mm_shuffle_ps(s, s, _MM_SHUFFLE(1, 1, 1, 1)));
  return _mm_cvtss_f32(s);
}

}  // namespace

float dot16(const float* row, const float* window) {
  return horizontalSum(product16(row, _mm_loadu_ps(window), _mm_loadu_ps(window + 4), _mm_loadu_ps(window + 8),
                                 _mm_loadu_ps(window + 12)));
}

int resample(const float* rows, const float* in, int count, float& position, float step, float* out) {
  constexpr float kPhases = 300.0f;
  float pos = position;
  int made = 0;
  for (int m = 0; m < count; ++m) {
    const float* w = in + m;
    const __m128 w0 = _mm_loadu_ps(w), w1 = _mm_loadu_ps(w + 4), w2 = _mm_loadu_ps(w + 8), w3 = _mm_loadu_ps(w + 12);
    for (; pos < kPhases; pos += step) out[made++] = horizontalSum(product16(rows + 16 * int(pos), w0, w1, w2, w3));
    pos -= kPhases;
  }
  position = pos;
  return made;
}

}  // namespace lentaro::sse
