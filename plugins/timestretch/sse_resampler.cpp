// The resampler's inner product over SSE2: its 14 taps padded with zeros to 16,
// four at a time.
#include <emmintrin.h>

#include "sse_kernels.h"

namespace lentaro::sse {

float dot16(const float* row, const float* window) {
  const __m128 s0 = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(row), _mm_loadu_ps(window)),
                               _mm_mul_ps(_mm_loadu_ps(row + 4), _mm_loadu_ps(window + 4)));
  const __m128 s1 = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(row + 8), _mm_loadu_ps(window + 8)),
                               _mm_mul_ps(_mm_loadu_ps(row + 12), _mm_loadu_ps(window + 12)));
  __m128 s = _mm_add_ps(s0, s1);
  s = _mm_add_ps(s, _mm_movehl_ps(s, s));
  s = _mm_add_ss(s, _mm_shuffle_ps(s, s, _MM_SHUFFLE(1, 1, 1, 1)));
  return _mm_cvtss_f32(s);
}

}  // namespace lentaro::sse
