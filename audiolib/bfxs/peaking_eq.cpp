#include "peaking_eq.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tav::bfxs {

namespace {
// Caps the bandwidth term so that a wide band close to half the rate keeps its
// poles well inside the unit circle.
constexpr double kMaxBandwidthTerm = 10.0;
}  // namespace

PeakingEqBank::PeakingEqBank(double sample_rate, unsigned channels)
    : rate_(sample_rate), channels_(channels) {}

bool PeakingEqBank::accepts(const PeakingEqSettings& s) const {
  if (!std::isfinite(s.center_hz) || !std::isfinite(s.gain_db) || !std::isfinite(s.q) ||
      !std::isfinite(s.bandwidth_octaves))
    return false;
  if (s.center_hz <= 0.0 || s.center_hz >= rate_ / 2.0) return false;
  if (s.q < 0.0) return false;
  if (s.q == 0.0 && s.bandwidth_octaves <= 0.0) return false;
  return true;
}

void PeakingEqBank::design(Band& band) const {
  const PeakingEqSettings& s = band.settings;
  const double w0 = 2.0 * std::numbers::pi * s.center_hz / rate_;
  const double sin_w0 = std::sin(w0);
  const double cos_w0 = std::cos(w0);
  double alpha;
  if (s.q > 0.0) {
    alpha = sin_w0 / (2.0 * s.q);
  } else {
    // bandwidth in octaves, with the bilinear transform's warping taken into account
    double term = std::numbers::ln2 / 2.0 * s.bandwidth_octaves * w0 / sin_w0;
    alpha = sin_w0 * std::sinh(std::min(term, kMaxBandwidthTerm));
  }
  const double a = std::pow(10.0, s.gain_db / 40.0);
  const double a0 = 1.0 + alpha / a;
  band.b0 = (1.0 + alpha * a) / a0;
  band.b1 = -2.0 * cos_w0 / a0;
  band.b2 = (1.0 - alpha * a) / a0;
  band.a1 = -2.0 * cos_w0 / a0;
  band.a2 = (1.0 - alpha / a) / a0;
}

bool PeakingEqBank::set_band(int number, const PeakingEqSettings& settings) {
  if (!accepts(settings)) return false;
  auto it = std::find_if(bands_.begin(), bands_.end(), [&](const Band& b) { return b.number == number; });
  if (it == bands_.end()) {
    Band band{number, settings, 1, 0, 0, 0, 0, std::vector<double>(channels_), std::vector<double>(channels_)};
    design(band);
    bands_.push_back(std::move(band));
  } else {
    it->settings = settings;
    design(*it);  // the filter state carries over, so a gain change does not click
  }
  return true;
}

bool PeakingEqBank::get_band(int number, PeakingEqSettings& settings) const {
  auto it = std::find_if(bands_.begin(), bands_.end(), [&](const Band& b) { return b.number == number; });
  if (it == bands_.end()) return false;
  settings = it->settings;
  return true;
}

void PeakingEqBank::process(float* samples, size_t frames) {
  for (Band& band : bands_) {
    // A band at 0 dB is the identity: leave the samples untouched (and its history clear).
    if (band.settings.gain_db == 0.0) {
      std::fill(band.z1.begin(), band.z1.end(), 0.0);
      std::fill(band.z2.begin(), band.z2.end(), 0.0);
      continue;
    }
    for (unsigned c = 0; c < channels_; ++c) {
      if (c < 32 && !(band.settings.channel_mask & (1u << c))) continue;
      double z1 = band.z1[c], z2 = band.z2[c];
      float* p = samples + c;
      for (size_t i = 0; i < frames; ++i, p += channels_) {
        const double x = *p;
        const double y = band.b0 * x + z1;
        z1 = band.b1 * x - band.a1 * y + z2;
        z2 = band.b2 * x - band.a2 * y;
        *p = static_cast<float>(y);
      }
      // flush denormals so silence costs nothing
      band.z1[c] = std::abs(z1) < 1e-30 ? 0.0 : z1;
      band.z2[c] = std::abs(z2) < 1e-30 ? 0.0 : z2;
    }
  }
}

void PeakingEqBank::reset() {
  for (Band& band : bands_) {
    std::fill(band.z1.begin(), band.z1.end(), 0.0);
    std::fill(band.z2.begin(), band.z2.end(), 0.0);
  }
}

}  // namespace tav::bfxs
