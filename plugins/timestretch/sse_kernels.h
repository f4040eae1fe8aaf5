// SSE2 kernels of the vocoder's hot loops, four floats at a time. SSE2 is the
// baseline of both builds (the 32-bit one is compiled with -msse2 -mfpmath=sse),
// so they are called directly, with no run-time dispatch. Each has a scalar
// reference beside it (real_fft.h, vocoder_scalar.h, pitch_resampler.h) that the
// tests hold it to. Nothing here allocates or locks; the data may have any
// alignment.
#pragma once

#include <cstdint>

namespace lentaro::sse {

// The real FFT pair of real_fft.h over one frame of 2n reals (2n + 2 floats), for
// n a power of two from 16 to 1024; other n go to the scalar transform. The
// scratch holds the split real and imaginary parts while the passes run.
struct FftScratch {
  float re[1024 + 4];
  float im[1024 + 4];
  float outRe[1024 + 4];
  float outIm[1024 + 4];
};
bool realForward(float* frame, int n, FftScratch& scratch);  // 2n reals -> bins 0..n as (re, im)
bool realInverse(float* frame, int n, FftScratch& scratch);  // bins 0..n -> 2n reals
// Builds the rotation tables of every supported size; the first transform would
// otherwise do it (the stretcher calls this when it is built, off the audio path).
void prepareFft();

// dst[x] += a[x] * b[x] for x < count: the analysis fold and the overlap-add.
void multiplyAdd(float* dst, const float* a, const float* b, int count);

// The per-bin loop of vocoder_scalar.h (phaseVocoderBins), four bins at a time.
void phaseVocoderBins(float* bins, int count, float* previous, float* accumulated, float hopRatio);

// sum over t < 16 of row[t] * window[t] (the resampler's taps padded to 16 with zeros).
float dot16(const float* row, const float* window);

// The resampler's loop over count inputs (pitch_resampler.h): for input m, while
// position < 300 an output, the inner product of row trunc(position) of rows
// (300 rows of 16) with in[m .. m + 15], and position += step; then position -= 300.
// Returns the outputs written to out.
int resample(const float* rows, const float* in, int count, float& position, float step, float* out);

// Flushes denormal results and inputs to zero while it lives and then restores
// the caller's floating-point state: a decaying tail costs no more than silence.
class DenormalsOff {
 public:
  DenormalsOff();
  ~DenormalsOff();
  DenormalsOff(const DenormalsOff&) = delete;
  DenormalsOff& operator=(const DenormalsOff&) = delete;

 private:
  unsigned saved_;
};

}  // namespace lentaro::sse
