// The processor's stages over a run of frames (processor.cpp cuts a block into
// runs of at most kChunk frames and hands each run to every stage in turn).
// Two sets: the plain one, written as each stage is described, one operation
// after another on the two channels' lanes; and the SSE2 kernels, which
// compute the same operations in the same order, with every value rounded
// exactly as in the plain set, but arranged for speed (more lanes, no
// per-frame position tests, branches where they are predictable). The tests
// hold the kernels to the plain set bit for bit.
#pragma once

#include "processor.h"

namespace brindle {

inline constexpr int kChunk = 256;
inline constexpr float kGuard = 0.000002f;

typedef int32_t I4 __attribute__((vector_size(16)));
inline F2 Select(I4 mask, F2 a, F2 b) {
  const __m128 m = (__m128)mask;
  return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b));
}
inline int Advance(int pos, int last) { return pos >= last ? 0 : pos + 1; }

// The pair (a, b) of a resonant low-pass: input x, coefficients k and kb, feedback fb.
inline void ResonantLowPass(F2& a, F2& b, F2 x, F2 k, F2 kb, F2 fb) {
  a = a + ((a - b) * fb + x - a) * k;
  b = b + (a - b) * kb;
}

// The plain set has these four stages:
// - Bass: the bass section, giving each frame's bass output, with the feedback
//   refresh after each frame;
// - Main: the main path, from the scaled input samples to the mixed signal;
// - Reverb: the reverb on the frames where it is on, mixed into the main
//   path's output;
// - Dynamics: loudness, compressor, the bass added, final limiter: the float
//   outputs.
// Each set's Stages runs a run of frames through all of them: the scaled input
// samples in, the float outputs out.
namespace plain {
void Bass(BassState& st, const Coefficients& c, const Parameters& params, const F2* in, int count, F2* bo);
void Main(MainState& st, const Coefficients& c, const Parameters& params, const F2* in, int count, float& dither,
          F2* out);
void Reverb(ReverbState& st, const Coefficients& c, const Parameters& params, F2* o, int count);
void Dynamics(DynamicsState& st, const Coefficients& c, const Parameters& params, F2* io, const F2* bo, int count);
void Stages(DspState& st, const Coefficients& c, const Parameters& params, const F2* in, int count, float& dither,
            F2* out);
}  // namespace plain

namespace sse {
void Stages(DspState& st, const Coefficients& c, const Parameters& params, const F2* in, int count, float& dither,
            F2* out);
// The output conversion and write-back of a stereo run, four frames at a time:
// the samples and scope values the frame-by-frame conversion writes. Returns
// the values clamped; clears `finite` when an output is infinite or no number.
int StereoOutput(const F2* o, int count, int16_t* samples, bool inverted, int16_t* ring, int32_t& scopeIndex,
                 bool& finite);
// A stereo run's samples as the frame-by-frame input scaling gives them, four
// frames at a time (lanes 2 and 3 of each frame hold the next frame's values).
void StereoInput(const int16_t* samples, int count, F2* in);
}  // namespace sse

}  // namespace brindle
