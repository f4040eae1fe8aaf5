#include "pitch_resampler.h"

#include <cmath>

#include "sse_kernels.h"

namespace lentaro {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kAttenuationDb = 50.0;
constexpr float kTransitionWidth = 0.00066666666f;

// Modified Bessel function of order 0 by its power series.
double besselI0(double x) {
  double sum = 1.0, c = 1.0;
  for (int k = 1; k < 500; ++k) {
    c *= x * x / (4.0 * k * k);
    sum += c;
    if (c <= sum * 1e-7) break;
  }
  return sum;
}

double kaiserBeta(double attenuation) {
  if (attenuation >= 50.0) return 0.1102 * (attenuation - 8.71);
  if (attenuation >= 21.0)
    return 0.5842 * std::pow(attenuation - 21.0, 0.4) + 0.07886 * (attenuation - 21.0);
  return 0.0;
}

}  // namespace

PitchResampler::PitchResampler() {
  const double beta = kaiserBeta(kAttenuationDb);
  // Filter order 2 trunc((A - 8) / (28.72 width)) + 1 = 4387 gives 14 taps per phase.
  static_assert(kTaps == (2 * int((kAttenuationDb - 8.0) / (28.72 * 0.00066666666)) + 1) / kPhases);
  const int half = kPhases * kTaps / 2;
  const double i0Beta = besselI0(beta);
  auto set = [&](int index, double value) { rows_[index % kPhases][index / kPhases] = float(value); };
  set(0, 0.0);
  set(half, 1.0);
  for (int f = 1; f < half; ++f) {
    const double r = double(f) / half;
    const double window = besselI0(beta * std::sqrt(1.0 - r * r)) / i0Beta;
    // the sinc vanishes at every multiple of the phase count
    const double sinc = (f % kPhases == 0) ? 0.0 : kPhases * std::sin(kPi * f / kPhases) / (kPi * f);
    set(half - f, window * sinc);
    set(half + f, window * sinc);
  }
  for (int phase = 0; phase < kPhases; ++phase)
    for (int t = 0; t < kTaps; ++t) reversedRows_[phase][kRowLength - 1 - t] = rows_[phase][t];
}

int PitchResampler::process(const float* in, int count, float* out) {
  constexpr int kBack = kRowLength - 1;  // linear_[kBack - t] is the input t samples back
  int made = 0;
  while (count > 0) {
    const int chunk = count < kBlock ? count : kBlock;
    for (int t = 1; t < kTaps; ++t) linear_[kBack - t] = recent_[head_ + t];
    for (int x = 0; x < kBack - kTaps + 1; ++x) linear_[x] = 0.0f;  // meets the zero taps
    for (int m = 0; m < chunk; ++m) linear_[kBack + m] = in[m];
    made += sse::resample(reversedRows_[0].data(), linear_.data(), chunk, position_, step_, out + made);
    // the window as nextOutput leaves it once the last input is consumed
    head_ = 0;
    for (int t = 1; t < kTaps; ++t) recent_[t] = recent_[t + kTaps] = linear_[kBack + chunk - t];
    recent_[0] = recent_[kTaps] = linear_[kBack + chunk - kTaps];  // the dropped one, as nextOutput leaves it
    in += chunk;
    count -= chunk;
  }
  return made;
}

float PitchResampler::stepForPitch(float semitones) {
  return float(kPhases) * std::exp2(semitones / 12.0f);
}

void PitchResampler::setPitch(float semitones) {
  step_ = stepForPitch(semitones);
  position_ = 0.0f;
}

float PitchResampler::nextOutput(bool& more) {
  if (position_ < float(kPhases)) {
    const float y = sse::dot16(rows_[int(position_)].data(), recent_.data() + head_);
    position_ += step_;
    more = true;
    return y;
  }
  position_ -= float(kPhases);
  // the current input becomes one sample back; the oldest leaves the window
  head_ = head_ == 0 ? kTaps - 1 : head_ - 1;
  more = false;
  return 0.0f;
}

}  // namespace lentaro
