// A bank of peaking-equaliser bands (second-order sections), keyed by band number.
// The bands run as one cascade over SSE2, four lanes a vector: two bands of a
// pair of channels, each band one sample behind the band before it, so that the
// vectors of one step do not wait for one another.
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
  // value that is not finite. The band's coefficients are computed here, and
  // only here.
  bool set_band(int band, const PeakingEqSettings& settings);
  // Fills `settings` for a band that exists.
  bool get_band(int band, PeakingEqSettings& settings) const;
  bool accepts(const PeakingEqSettings& settings) const;

  // Interleaved samples, in place. Allocates nothing; denormals are flushed
  // while it runs and the caller's floating-point state restored after it.
  void process(float* samples, size_t frames);
  void reset();

  double sample_rate() const { return rate_; }
  unsigned channels() const { return channels_; }
  size_t band_count() const { return bands_.size(); }

 private:
  struct Band {
    int number;
    PeakingEqSettings settings;
  };
  // Lane l of vector v of channel pair p: band 2v + l/2, channel 2p + l%2.
  static constexpr int kLanes = 4;
  enum Row { kA1, kA2, kA3, kMix, kRows };  // the state-variable form's coefficients
  size_t lane_index(size_t pair, size_t vector, int lane) const { return (pair * vectors_ + vector) * kLanes + size_t(lane); }
  void relayout(size_t old_vectors);  // after a band was added
  void design(size_t band);
  void process_pair(float* samples, size_t frames, size_t pair);

  double rate_;
  unsigned channels_;
  std::vector<Band> bands_;
  size_t pairs_;         // channel pairs, the last one half empty for an odd count
  size_t vectors_ = 0;   // per pair: the bands two by two
  bool flat_ = true;     // every band at 0 dB: the samples pass untouched
  std::vector<float> coefficients_;  // [row][pair][vector][lane]
  std::vector<float> state_;         // [2][pair][vector][lane]: the two integrators
  std::vector<float> given_;         // [vector][lane]: each vector's output at the last step
};

}  // namespace tav::bfxs
