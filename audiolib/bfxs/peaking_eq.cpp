// Each band is the bilinear-transform peaking filter H(s) = (s^2 + s A/Q + 1) /
// (s^2 + s/(A Q) + 1), A = 10^(gain/40), prewarped to its centre, run in the
// trapezoidal state-variable form: two integrators with coefficients g = tan(w0/2)
// and k = 1/(A Q) that stay well apart from 1 at low centres, so that single
// precision keeps the response of a 40 Hz band as exactly as double precision
// keeps that of a direct form. A band at 0 dB mixes nothing of its band-pass in
// and is the identity.
#include "peaking_eq.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <emmintrin.h>

namespace tav::bfxs {

namespace {
// Caps the bandwidth term so that a wide band close to half the rate keeps its
// poles well inside the unit circle.
constexpr double kMaxBandwidthTerm = 10.0;

// Flush-to-zero and denormals-are-zero (MXCSR bits 15 and 6) while a block runs:
// a decaying tail costs no more than silence. The caller's state comes back after.
class DenormalsOff {
 public:
  DenormalsOff() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | 0x8040u); }
  ~DenormalsOff() { _mm_setcsr(saved_); }
  DenormalsOff(const DenormalsOff&) = delete;
  DenormalsOff& operator=(const DenormalsOff&) = delete;

 private:
  unsigned saved_;
};

inline __m128 select(__m128 mask, __m128 yes, __m128 no) {
  return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no));
}
}  // namespace

PeakingEqBank::PeakingEqBank(double sample_rate, unsigned channels)
    : rate_(sample_rate), channels_(channels), pairs_((channels + 1) / 2) {}

bool PeakingEqBank::accepts(const PeakingEqSettings& s) const {
  if (!std::isfinite(s.center_hz) || !std::isfinite(s.gain_db) || !std::isfinite(s.q) ||
      !std::isfinite(s.bandwidth_octaves))
    return false;
  if (s.center_hz <= 0.0 || s.center_hz >= rate_ / 2.0) return false;
  if (s.q < 0.0) return false;
  if (s.q == 0.0 && s.bandwidth_octaves <= 0.0) return false;
  return true;
}

void PeakingEqBank::design(size_t band) {
  const PeakingEqSettings& s = bands_[band].settings;
  const double w0 = 2.0 * std::numbers::pi * s.center_hz / rate_;
  double q;
  if (s.q > 0.0) {
    q = s.q;
  } else {
    // bandwidth in octaves, with the bilinear transform's warping taken into account
    const double term = std::numbers::ln2 / 2.0 * s.bandwidth_octaves * w0 / std::sin(w0);
    q = 1.0 / (2.0 * std::sinh(std::min(term, kMaxBandwidthTerm)));
  }
  const double a = std::pow(10.0, s.gain_db / 40.0);
  const double g = std::tan(w0 / 2.0);
  const double k = 1.0 / (a * q);
  const double a1 = 1.0 / (1.0 + g * (g + k));
  // u = 2 v1 = 2 a1 ic1 + 2 a1 g (x - ic2); ic1' = u - ic1; ic2' = ic2 + g u; y = x + k (A^2 - 1) u / 2
  const double row[kRows] = {2.0 * a1, 2.0 * g * a1, g, k * (a * a - 1.0) / 2.0};
  const size_t total = pairs_ * vectors_ * kLanes;
  for (size_t p = 0; p < pairs_; ++p) {
    for (int half = 0; half < 2; ++half) {
      const unsigned channel = unsigned(2 * p) + unsigned(half);
      const bool on = channel < channels_ && (channel >= 32 || (s.channel_mask & (1u << channel)));
      const size_t at = lane_index(p, band / 2, int(band % 2) * 2 + half);
      for (int r = 0; r < kRows; ++r)
        coefficients_[r * total + at] = float(r == kMix && (!on || s.gain_db == 0.0) ? 0.0 : row[r]);
    }
  }
  flat_ = std::all_of(bands_.begin(), bands_.end(), [](const Band& b) { return b.settings.gain_db == 0.0; });
}

void PeakingEqBank::relayout(size_t old_vectors) {
  // every existing band keeps its coefficients and its state at its own lanes
  // (everything is allocated before anything changes: a failed allocation leaves the bank as it was)
  const size_t old_total = pairs_ * old_vectors * kLanes, total = pairs_ * vectors_ * kLanes;
  auto grow = [&](const std::vector<float>& values, int rows) {
    std::vector<float> grown(size_t(rows) * total, 0.0f);
    for (int r = 0; r < rows; ++r)
      for (size_t p = 0; p < pairs_; ++p)
        for (size_t v = 0; v < old_vectors; ++v)
          for (int l = 0; l < kLanes; ++l)
            grown[r * total + (p * vectors_ + v) * kLanes + size_t(l)] =
                values[r * old_total + (p * old_vectors + v) * kLanes + size_t(l)];
    return grown;
  };
  auto coefficients = grow(coefficients_, kRows);
  auto state = grow(state_, 2);
  std::vector<float> given(size_t(vectors_) * kLanes, 0.0f);
  coefficients_.swap(coefficients);
  state_.swap(state);
  given_.swap(given);
}

bool PeakingEqBank::set_band(int number, const PeakingEqSettings& settings) {
  if (!accepts(settings)) return false;
  auto it = std::find_if(bands_.begin(), bands_.end(), [&](const Band& b) { return b.number == number; });
  if (it == bands_.end()) {
    bands_.reserve(bands_.size() + 1);  // the push below cannot fail
    const size_t old_vectors = vectors_;
    vectors_ = (bands_.size() + 2) / 2;
    if (vectors_ != old_vectors) {
      try {
        relayout(old_vectors);
      } catch (...) {
        vectors_ = old_vectors;
        throw;
      }
    }
    bands_.push_back(Band{number, settings});
    design(bands_.size() - 1);
  } else {
    it->settings = settings;
    design(size_t(it - bands_.begin()));  // the filter state carries over, so a gain change does not click
  }
  return true;
}

bool PeakingEqBank::get_band(int number, PeakingEqSettings& settings) const {
  auto it = std::find_if(bands_.begin(), bands_.end(), [&](const Band& b) { return b.number == number; });
  if (it == bands_.end()) return false;
  settings = it->settings;
  return true;
}

namespace {

// The lanes and the block one channel pair's cascade works on.
struct Cascade {
  const float *a1, *a2, *g, *mix;  // coefficient rows
  float *ic1, *ic2;                // the two integrators
  float* given;                    // each vector's output at the last step
  size_t vectors;
  float* samples;
  size_t frames;
  unsigned stride, first;
  bool both;  // the pair has its second channel
};

// One step n of the cascade. Band b works on sample n - b at step n, taking what
// band b - 1 gave at step n - 1: the lanes of a vector, and the vectors of a step,
// are independent of one another. kMasked leaves the lanes of bands that have no
// sample of this block at step n as they are.
template <bool kMasked>
inline void cascade_step(const Cascade& c, size_t n) {
  constexpr size_t kLanes = 4;
  __m128 x = _mm_setzero_ps();
  if (!kMasked || n < c.frames) {
    const float* in = c.samples + n * c.stride + c.first;
    x = c.both ? _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in))) : _mm_load_ss(in);
  }
  // from the last vector down, so that each still reads its neighbour's previous output
  for (size_t v = c.vectors; v-- > 0;) {
    const size_t o = v * kLanes;
    const __m128 own = _mm_loadu_ps(c.given + o);
    const __m128 input = v == 0 ? _mm_shuffle_ps(x, own, _MM_SHUFFLE(1, 0, 1, 0))
                                : _mm_shuffle_ps(_mm_loadu_ps(c.given + o - kLanes), own, _MM_SHUFFLE(1, 0, 3, 2));
    const __m128 s1 = _mm_loadu_ps(c.ic1 + o), s2 = _mm_loadu_ps(c.ic2 + o);
    const __m128 u = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(c.a1 + o), s1),
                                _mm_mul_ps(_mm_loadu_ps(c.a2 + o), _mm_sub_ps(input, s2)));
    __m128 n1 = _mm_sub_ps(u, s1), n2 = _mm_add_ps(s2, _mm_mul_ps(_mm_loadu_ps(c.g + o), u));
    if (kMasked) {
      // band b has a sample of this block at step n when b <= n < frames + b
      int on[kLanes];
      for (size_t l = 0; l < kLanes; ++l) {
        const size_t band = 2 * v + l / 2;
        on[l] = n >= band && n - band < c.frames ? -1 : 0;
      }
      const __m128 active = _mm_castsi128_ps(_mm_set_epi32(on[3], on[2], on[1], on[0]));
      n1 = select(active, n1, s1);
      n2 = select(active, n2, s2);
    }
    _mm_storeu_ps(c.ic1 + o, n1);
    _mm_storeu_ps(c.ic2 + o, n2);
    _mm_storeu_ps(c.given + o, _mm_add_ps(input, _mm_mul_ps(_mm_loadu_ps(c.mix + o), u)));
  }
  const size_t delay = 2 * c.vectors - 1;  // the last band's lag
  if (!kMasked || n >= delay) {
    float* out = c.samples + (n - delay) * c.stride + c.first;
    const __m128 y = _mm_loadu_ps(c.given + (c.vectors - 1) * kLanes);
    if (c.both)
      _mm_storeh_pi(reinterpret_cast<__m64*>(out), y);
    else
      _mm_store_ss(out, _mm_shuffle_ps(y, y, _MM_SHUFFLE(2, 2, 2, 2)));
  }
}

}  // namespace

// One channel pair through the whole cascade. A block's first and last steps leave
// the lanes of bands without a sample of this block as they are, so the block needs
// nothing of the next one and the output is not delayed.
void PeakingEqBank::process_pair(float* samples, size_t frames, size_t pair) {
  const size_t total = pairs_ * vectors_ * kLanes, base = pair * vectors_ * kLanes;
  std::fill(given_.begin(), given_.end(), 0.0f);  // lanes of bands that had no sample are never read
  const Cascade c{coefficients_.data() + kA1 * total + base,
                  coefficients_.data() + kA2 * total + base,
                  coefficients_.data() + kA3 * total + base,
                  coefficients_.data() + kMix * total + base,
                  state_.data() + base,
                  state_.data() + total + base,
                  given_.data(),
                  vectors_,
                  samples,
                  frames,
                  channels_,
                  unsigned(2 * pair),
                  2 * pair + 1 < channels_};
  const size_t delay = 2 * vectors_ - 1, steps = frames + delay;
  size_t n = 0;
  for (; n < steps && (n < delay || n >= frames); ++n) cascade_step<true>(c, n);
  for (; n < frames; ++n) cascade_step<false>(c, n);  // every band has its sample
  for (; n < steps; ++n) cascade_step<true>(c, n);
}

void PeakingEqBank::process(float* samples, size_t frames) {
  if (bands_.empty() || frames == 0) return;
  if (flat_) {
    // Every band is the identity: the samples stay as they are, bit for bit, and the
    // bands start afresh when one is set to boost or cut again.
    std::fill(state_.begin(), state_.end(), 0.0f);
    return;
  }
  const DenormalsOff denormals_off;
  for (size_t p = 0; p < pairs_; ++p) process_pair(samples, frames, p);
}

void PeakingEqBank::reset() { std::fill(state_.begin(), state_.end(), 0.0f); }

}  // namespace tav::bfxs
