// The processor's arithmetic helpers. The sound must come out bit for bit the
// same in every build (the native one and the Windows DLL), so nothing here
// calls the C library's mathematics: the powers are computed from +, -, *, /
// only, and the two-channel vector type maps to SSE lanes, which round each
// lane exactly as the scalar instructions do.
#pragma once

#include <cstdint>

#include <xmmintrin.h>

namespace brindle {

// x^y for a base x >= 0 and a constant exponent y > 0, with 0^y = 0; within an
// ulp of the exact value, identical on every platform.
float PowConst(float x, float y);

// Saves the caller's floating-point state (SSE control and status, and the x87
// control word), masks every exception with round-to-nearest, and restores the
// caller's state when it ends: a host may run with traps unmasked.
class FpuGuard {
 public:
  FpuGuard();
  ~FpuGuard();
  FpuGuard(const FpuGuard&) = delete;
  FpuGuard& operator=(const FpuGuard&) = delete;

 private:
  unsigned mxcsr_;
  unsigned short x87_;
};

// Left in lane 0, right in lane 1; what lanes 2 and 3 hold is of no account
// (every test of a lane looks at lanes 0 and 1 only).
typedef float F2 __attribute__((vector_size(16)));

inline F2 Pair(float l, float r) { return _mm_unpacklo_ps(_mm_set_ss(l), _mm_set_ss(r)); }
inline F2 Both(float v) { return _mm_set1_ps(v); }
// Left and right exchanged: v - Swap(v) holds a - b and b - a, exactly opposite.
inline F2 Swap(F2 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 2, 0, 1)); }
inline float Left(F2 v) { return v[0]; }
inline float Right(F2 v) { return v[1]; }
inline F2 Abs(F2 v) { return _mm_and_ps(v, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF))); }
// Lane masks of a comparison, bit 0 left and bit 1 right.
inline int GreaterMask(F2 v, float limit) { return _mm_movemask_ps(_mm_cmpgt_ps(v, _mm_set1_ps(limit))) & 3; }
inline int AbsAbove(F2 v, float limit) { return GreaterMask(Abs(v), limit); }  // either |lane| > limit
inline F2 Clamp(F2 v, float lo, float hi) { return _mm_min_ps(_mm_max_ps(v, _mm_set1_ps(lo)), _mm_set1_ps(hi)); }

}  // namespace brindle
