#include "phaser.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tav::bfxs {

namespace {
constexpr size_t kSweepStep = 32;  // frames between coefficient updates
bool in_range(float v, float lo, float hi) { return std::isfinite(v) && v >= lo && v <= hi; }
}  // namespace

Phaser::Phaser(double sample_rate, unsigned channels)
    : rate_(sample_rate), channels_(channels), state_(channels) {}

bool Phaser::set(const PhaserSettings& s) {
  if (!in_range(s.dry_mix, -2, 2) || !in_range(s.wet_mix, -2, 2) || !in_range(s.feedback, -1, 1) ||
      !in_range(s.rate_hz, 0, 10) || !in_range(s.range_octaves, 0, 10) || !in_range(s.base_hz, 0, 1000))
    return false;
  settings_ = s;
  return true;
}

void Phaser::reset() {
  std::fill(state_.begin(), state_.end(), ChannelState{});
  lfo_phase_ = 0.0;
}

// All-pass coefficient for the break frequency at the current sweep position:
// H(z) = (c + z^-1) / (1 + c z^-1), a quarter turn of phase at the break frequency.
double Phaser::coefficient_at_phase() const {
  const double sweep = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * lfo_phase_);  // 0..1
  double f = settings_.base_hz * std::exp2(settings_.range_octaves * sweep);
  f = std::clamp(f, 1.0, 0.45 * rate_);
  const double t = std::tan(std::numbers::pi * f / rate_);
  return (t - 1.0) / (t + 1.0);
}

void Phaser::process(float* samples, size_t frames) {
  const double dry = settings_.dry_mix, wet = settings_.wet_mix;
  // keep the loop gain below one so a full feedback setting rings but stays bounded
  const double fb = std::clamp<double>(settings_.feedback, -0.999, 0.999);
  const double phase_step = settings_.rate_hz / rate_;
  for (size_t start = 0; start < frames; start += kSweepStep) {
    const size_t n = std::min(kSweepStep, frames - start);
    const double c = coefficient_at_phase();
    for (unsigned ch = 0; ch < channels_; ++ch) {
      if (ch < 32 && !(settings_.channel_mask & (1u << ch))) continue;
      ChannelState& st = state_[ch];
      float* p = samples + start * channels_ + ch;
      for (size_t i = 0; i < n; ++i, p += channels_) {
        const double in = *p;
        double x = in + fb * st.last;
        for (unsigned k = 0; k < kStages; ++k) {
          const double y = c * x + st.x1[k] - c * st.y1[k];
          st.x1[k] = x;
          st.y1[k] = y;
          x = y;
        }
        st.last = std::abs(x) < 1e-30 ? 0.0 : x;
        *p = static_cast<float>(dry * in + wet * x);
      }
      for (unsigned k = 0; k < kStages; ++k) {  // flush denormals so silence costs nothing
        if (std::abs(st.x1[k]) < 1e-30) st.x1[k] = 0.0;
        if (std::abs(st.y1[k]) < 1e-30) st.y1[k] = 0.0;
      }
    }
    lfo_phase_ += phase_step * static_cast<double>(n);
    lfo_phase_ -= std::floor(lfo_phase_);
  }
}

}  // namespace tav::bfxs
