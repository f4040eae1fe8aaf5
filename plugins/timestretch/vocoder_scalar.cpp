#include "vocoder_scalar.h"

#include <cmath>

#include "fast_trig.h"

namespace lentaro::scalar {

void multiplyAdd(float* dst, const float* a, const float* b, int count) {
  for (int x = 0; x < count; ++x) dst[x] += a[x] * b[x];
}

void phaseVocoderBins(float* bins, int count, float* previous, float* accumulated, float hopRatio) {
  constexpr float kPiF = 3.14159265f;
  constexpr float kTwoPiF = 6.28318531f;
  for (int i = 0; i < count; ++i) {
    const float re = bins[2 * i], im = bins[2 * i + 1];
    const float mag = std::sqrt(re * re + im * im);
    const float phi = fastAtan2(im, re);
    const bool silent = mag == 0.0f;
    float d = selectIf(silent, 0.0f, phi - previous[i]);
    previous[i] = selectIf(silent, previous[i], phi);
    d = selectIf(d > kPiF, d - kTwoPiF, d);
    d = selectIf(d < -kPiF, d + kTwoPiF, d);
    float theta = accumulated[i] + d * hopRatio;  // within 5 pi
    const float turns = theta * (1.0f / kTwoPiF);
    theta -= kTwoPiF * float(int(turns + selectIf(turns >= 0.0f, 0.5f, -0.5f)));
    accumulated[i] = theta;
    float sine, cosine;
    fastSinCos(theta, sine, cosine);
    bins[2 * i] = mag * cosine;
    bins[2 * i + 1] = mag * sine;
  }
}

float dot(const float* row, const float* window, int count) {
  float y = 0.0f;
  for (int t = 0; t < count; ++t) y += row[t] * window[t];
  return y;
}

}  // namespace lentaro::scalar
