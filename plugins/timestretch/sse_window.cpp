// The analysis fold and the overlap-add over SSE2: dst += a * b, four lanes at a
// time. Each lane does the scalar loop's one multiply and one add, so the result
// is the scalar one exactly.
#include <emmintrin.h>

#include "sse_kernels.h"

namespace lentaro::sse {

void multiplyAdd(float* dst, const float* a, const float* b, int count) {
  int x = 0;
  for (; x + 8 <= count; x += 8) {
    const __m128 p0 = _mm_mul_ps(_mm_loadu_ps(a + x), _mm_loadu_ps(b + x));
    const __m128 p1 = _mm_mul_ps(_mm_loadu_ps(a + x + 4), _mm_loadu_ps(b + x + 4));
    _mm_storeu_ps(dst + x, _mm_add_ps(_mm_loadu_ps(dst + x), p0));
    _mm_storeu_ps(dst + x + 4, _mm_add_ps(_mm_loadu_ps(dst + x + 4), p1));
  }
  for (; x + 4 <= count; x += 4)
    _mm_storeu_ps(dst + x, _mm_add_ps(_mm_loadu_ps(dst + x), _mm_mul_ps(_mm_loadu_ps(a + x), _mm_loadu_ps(b + x))));
  for (; x < count; ++x) dst[x] += a[x] * b[x];
}

// MXCSR: flush-to-zero (bit 15) and denormals-are-zero (bit 6). Every CPU with
// SSE2 has both.
DenormalsOff::DenormalsOff() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | 0x8040u); }
DenormalsOff::~DenormalsOff() { _mm_setcsr(saved_); }

}  // namespace lentaro::sse
