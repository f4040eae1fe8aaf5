// The scalar reference of the vocoder's hot loops: the SSE2 kernels
// (sse_kernels.h) compute the same, and the tests hold them to these.
#pragma once

namespace lentaro::scalar {

// dst[x] += a[x] * b[x] for x < count.
void multiplyAdd(float* dst, const float* a, const float* b, int count);

// For each of count bins, (re, im) pairs in place: the magnitude and the phase
// (fastAtan2); the phase advance since the bin's previous phase, wrapped into
// -pi..pi and scaled by hopRatio, accumulated into the output phase (kept within
// -pi..pi); the bin becomes magnitude x (cos, sin) of that phase. A silent bin
// keeps its previous phase and does not advance.
void phaseVocoderBins(float* bins, int count, float* previous, float* accumulated, float hopRatio);

// sum over t < count of row[t] * window[t].
float dot(const float* row, const float* window, int count);

}  // namespace lentaro::scalar
