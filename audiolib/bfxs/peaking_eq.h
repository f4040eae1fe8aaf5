// A bank of peaking-equaliser bands (second-order sections), keyed by band number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tav::bfxs {

struct PeakingEqSettings {
  double bandwidth_octaves = 1.0;  // used when q is 0
  double q = 0.0;                  // quality factor, 0 = use the bandwidth
  double center_hz = 1000.0;
  double gain_db = 0.0;
  uint32_t channel_mask = 0xFFFFFFFFu;  // bit n = channel n
};

class PeakingEqBank {
 public:
  PeakingEqBank(double sample_rate, unsigned channels);

  // Adds the band or changes it; false (and no change) when the settings are
  // refused: centre not inside (0, rate/2), no positive bandwidth or Q, or a
  // value that is not finite.
  bool set_band(int band, const PeakingEqSettings& settings);
  // Fills `settings` for a band that exists.
  bool get_band(int band, PeakingEqSettings& settings) const;
  bool accepts(const PeakingEqSettings& settings) const;

  // Interleaved samples, in place.
  void process(float* samples, size_t frames);
  void reset();

  double sample_rate() const { return rate_; }
  unsigned channels() const { return channels_; }
  size_t band_count() const { return bands_.size(); }

 private:
  struct Band {
    int number;
    PeakingEqSettings settings;
    double b0, b1, b2, a1, a2;  // normalised by a0
    std::vector<double> z1, z2;  // per channel, transposed direct form II
  };
  void design(Band& band) const;

  double rate_;
  unsigned channels_;
  std::vector<Band> bands_;
};

}  // namespace tav::bfxs
