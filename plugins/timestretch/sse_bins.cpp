// The vocoder's per-bin loop over SSE2, four bins at a time: magnitude, phase by
// the arc tangent of fast_trig.h, the phase advance scaled to the synthesis hop,
// and the new bin from the sine and cosine of fast_trig.h. The same operations
// in the same order as the scalar loop (vocoder_scalar.cpp), with selects for
// its branches.
#include <emmintrin.h>

#include "sse_kernels.h"
#include "vocoder_scalar.h"

namespace lentaro::sse {
namespace {

inline __m128 select(__m128 mask, __m128 yes, __m128 no) {
  return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no));
}
inline __m128 splat(float v) { return _mm_set1_ps(v); }

inline __m128 signBit() { return _mm_castsi128_ps(_mm_set1_epi32(int(0x80000000u))); }
inline __m128 absolute(__m128 v) { return _mm_andnot_ps(signBit(), v); }

// Negates the lanes of v where mask is set.
inline __m128 negateIf(__m128 mask, __m128 v) { return _mm_xor_ps(v, _mm_and_ps(mask, signBit())); }

// fastAtan2 of four (y, x) pairs, with its two divisions made one: the reduced
// argument is lo / hi, or (lo - hi) / (lo + hi) where lo / hi > tan(pi/8), which
// is (a - 1) / (a + 1) for a = lo / hi without rounding a first. Its selects are
// spelt with min, max, masks and sign flips, which give the same values.
inline __m128 atan2x4(__m128 y, __m128 x) {
  const __m128 zero = _mm_setzero_ps(), one = splat(1.0f);
  const __m128 ax = absolute(x), ay = absolute(y);
  const __m128 steep = _mm_cmpgt_ps(ay, ax);
  const __m128 hi = _mm_max_ps(ax, ay), lo = _mm_min_ps(ax, ay);
  const __m128 upper = _mm_cmpgt_ps(lo, _mm_mul_ps(hi, splat(0.414213562373095f)));
  const __m128 safeHi = _mm_or_ps(hi, _mm_and_ps(_mm_cmpeq_ps(hi, zero), one));  // 1 for (0, 0)
  const __m128 num = _mm_sub_ps(lo, _mm_and_ps(upper, hi));
  const __m128 den = _mm_add_ps(safeHi, _mm_and_ps(upper, lo));
  const __m128 t = _mm_div_ps(num, den);
  const __m128 z = _mm_mul_ps(t, t);
  __m128 p = _mm_sub_ps(_mm_mul_ps(splat(8.05374449538e-2f), z), splat(1.38776856032e-1f));
  p = _mm_add_ps(_mm_mul_ps(p, z), splat(1.99777106478e-1f));
  p = _mm_sub_ps(_mm_mul_ps(p, z), splat(3.33329491539e-1f));
  p = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(p, z), t), t);
  __m128 r = _mm_add_ps(_mm_and_ps(upper, splat(0.785398163397448f)), p);
  r = _mm_add_ps(_mm_and_ps(steep, splat(1.57079632679490f)), negateIf(steep, r));  // pi/2 - r
  const __m128 left = _mm_cmplt_ps(x, zero);
  r = _mm_add_ps(_mm_and_ps(left, splat(3.14159265358979f)), negateIf(left, r));  // pi - r
  return negateIf(_mm_cmplt_ps(y, zero), r);
}

// Rounds half away from zero to an integer, as int(v + (v >= 0 ? 0.5 : -0.5)).
inline __m128i roundAway(__m128 v) {
  const __m128 half = select(_mm_cmpge_ps(v, _mm_setzero_ps()), splat(0.5f), splat(-0.5f));
  return _mm_cvttps_epi32(_mm_add_ps(v, half));
}

// fastSinCos of four angles.
inline void sinCosx4(__m128 theta, __m128& s, __m128& c) {
  const __m128i q = roundAway(_mm_mul_ps(theta, splat(0.636619772367581f)));
  const __m128 qf = _mm_cvtepi32_ps(q);
  const __m128 r = _mm_sub_ps(_mm_sub_ps(theta, _mm_mul_ps(qf, splat(1.5703125f))), _mm_mul_ps(qf, splat(4.83826794897e-4f)));
  const __m128 z = _mm_mul_ps(r, r);
  __m128 sr = _mm_add_ps(_mm_mul_ps(splat(-1.9515295891e-4f), z), splat(8.3321608736e-3f));
  sr = _mm_sub_ps(_mm_mul_ps(sr, z), splat(1.6666654611e-1f));
  sr = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(sr, z), r), r);
  __m128 cr = _mm_sub_ps(_mm_mul_ps(splat(2.443315711809948e-5f), z), splat(1.388731625493765e-3f));
  cr = _mm_add_ps(_mm_mul_ps(cr, z), splat(4.166664568298827e-2f));
  cr = _mm_add_ps(_mm_sub_ps(_mm_mul_ps(_mm_mul_ps(cr, z), z), _mm_mul_ps(splat(0.5f), z)), splat(1.0f));
  const __m128i quadrant = _mm_and_si128(q, _mm_set1_epi32(3));
  const __m128 swap = _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(quadrant, _mm_set1_epi32(1)), _mm_set1_epi32(1)));
  const __m128 exchange = _mm_and_ps(swap, _mm_xor_ps(sr, cr));
  const __m128 s0 = _mm_xor_ps(sr, exchange), c0 = _mm_xor_ps(cr, exchange);
  const __m128 lower = _mm_castsi128_ps(_mm_cmpgt_epi32(quadrant, _mm_set1_epi32(1)));  // 2, 3
  const __m128i q12 = _mm_or_si128(_mm_cmpeq_epi32(quadrant, _mm_set1_epi32(1)), _mm_cmpeq_epi32(quadrant, _mm_set1_epi32(2)));
  s = negateIf(lower, s0);
  c = negateIf(_mm_castsi128_ps(q12), c0);
}

}  // namespace

// In three passes over blocks of bins, so that the long chain of one bin (arc
// tangent, phase advance, then sine and cosine) is cut into pieces short enough for
// several bins to be in flight at once: the first pass leaves the magnitudes and
// the phases in mags and phases, the second the new output phases in accumulated,
// the third turns them into bins.
void phaseVocoderBins(float* bins, int count, float* previous, float* accumulated, float hopRatio) {
  constexpr float kPi = 3.14159265f, kTwoPi = 6.28318531f;
  constexpr int kBlock = 256;
  const __m128 zero = _mm_setzero_ps(), pi = splat(kPi), minusPi = splat(-kPi), twoPi = splat(kTwoPi);
  const __m128 ratio = splat(hopRatio), perTurn = splat(1.0f / kTwoPi);
  float mags[kBlock], phases[kBlock];
  const int whole = count & ~3;
  for (int from = 0; from < whole; from += kBlock) {
    const int to = from + kBlock < whole ? from + kBlock : whole;
    for (int i = from; i < to; i += 4) {
      const __m128 p0 = _mm_loadu_ps(bins + 2 * i), p1 = _mm_loadu_ps(bins + 2 * i + 4);
      const __m128 re = _mm_shuffle_ps(p0, p1, _MM_SHUFFLE(2, 0, 2, 0));
      const __m128 im = _mm_shuffle_ps(p0, p1, _MM_SHUFFLE(3, 1, 3, 1));
      _mm_storeu_ps(mags + (i - from), _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(re, re), _mm_mul_ps(im, im))));
      _mm_storeu_ps(phases + (i - from), atan2x4(im, re));
    }
    for (int i = from; i < to; i += 4) {
      const __m128 phi = _mm_loadu_ps(phases + (i - from));
      // a silent bin keeps its previous phase and does not advance
      const __m128 silent = _mm_cmpeq_ps(_mm_loadu_ps(mags + (i - from)), zero);
      const __m128 prev = _mm_loadu_ps(previous + i);
      __m128 d = _mm_andnot_ps(silent, _mm_sub_ps(phi, prev));
      _mm_storeu_ps(previous + i, select(silent, prev, phi));
      d = _mm_sub_ps(d, _mm_and_ps(_mm_cmpgt_ps(d, pi), twoPi));
      d = _mm_add_ps(d, _mm_and_ps(_mm_cmplt_ps(d, minusPi), twoPi));
      const __m128 theta = _mm_add_ps(_mm_loadu_ps(accumulated + i), _mm_mul_ps(d, ratio));
      const __m128 turns = _mm_cvtepi32_ps(roundAway(_mm_mul_ps(theta, perTurn)));
      _mm_storeu_ps(accumulated + i, _mm_sub_ps(theta, _mm_mul_ps(twoPi, turns)));
    }
    for (int i = from; i < to; i += 4) {
      __m128 s, c;
      sinCosx4(_mm_loadu_ps(accumulated + i), s, c);
      const __m128 mag = _mm_loadu_ps(mags + (i - from));
      const __m128 outRe = _mm_mul_ps(mag, c), outIm = _mm_mul_ps(mag, s);
      _mm_storeu_ps(bins + 2 * i, _mm_unpacklo_ps(outRe, outIm));
      _mm_storeu_ps(bins + 2 * i + 4, _mm_unpackhi_ps(outRe, outIm));
    }
  }
  if (whole < count)
    scalar::phaseVocoderBins(bins + 2 * whole, count - whole, previous + whole, accumulated + whole, hopRatio);
}

}  // namespace lentaro::sse
