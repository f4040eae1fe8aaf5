// In-place complex and real discrete Fourier transforms used by the time stretcher.
#pragma once

namespace lentaro {

// In-place complex DFT of length n along one dimension of a multi-dimensional
// array. a holds the real parts, b the imaginary parts; abs(isn) is the stride in
// floats between consecutive values of a (and of b). Consecutive points of one
// transform lie nspn values apart, one transform spans n * nspn values and the
// array holds nseg * n * nspn values.
//   isn < 0: X[k] = sum_j x[j] e^(-2 pi i jk / n), unscaled.
//   isn > 0: values are first scaled by 1/n, then X[k] = sum_j x[j] e^(+2 pi i jk / n).
// Supported lengths are powers of two (the stretcher's 256, 512 and 1024 among
// them); any other length leaves the data untouched and returns false.
bool fft(float* a, float* b, int nseg, int n, int nspn, int isn);

// Turns the n-point complex transform of 2n reals packed in pairs into the
// 2n-point real transform (isn < 0: bins X[0..n], X[n] in element n), or back
// (isn > 0: bins X[0..n] to the n complex values whose inverse fft gives the 2n
// reals). abs(isn) is the stride. Element n must exist in the arrays.
void realSplit(float* a, float* b, int n, int isn);

// The stretcher's pair over one frame array of 2n + 2 floats.
bool realForward(float* frame, int n);   // 2n reals -> bins 0..n as (re, im) pairs
bool realInverse(float* frame, int n);   // bins 0..n -> 2n reals

}  // namespace lentaro
