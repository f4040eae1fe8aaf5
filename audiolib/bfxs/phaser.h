// Phaser: a chain of first-order all-pass stages whose break frequency sweeps
// between a base frequency and `range` octaves above it, mixed with the dry signal.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tav::bfxs {

struct PhaserSettings {
  float dry_mix = 0.999f;      // -2..2
  float wet_mix = -0.999f;     // -2..2
  float feedback = -0.06f;     // -1..1
  float rate_hz = 0.2f;        // 0..10, sweep rate
  float range_octaves = 6.0f;  // 0..10, sweep width
  float base_hz = 100.0f;      // 0..1000, lowest break frequency
  uint32_t channel_mask = 0xFFFFFFFFu;  // bit n = channel n
};

class Phaser {
 public:
  static constexpr unsigned kStages = 4;

  Phaser(double sample_rate, unsigned channels);

  // false (and no change) for values outside the ranges above or not finite
  bool set(const PhaserSettings& settings);
  const PhaserSettings& settings() const { return settings_; }

  void process(float* samples, size_t frames);
  void reset();

 private:
  struct ChannelState {
    std::array<double, kStages> x1{};  // previous input of each stage
    std::array<double, kStages> y1{};  // previous output of each stage
    double last = 0.0;                 // last output of the chain (feedback)
  };
  double coefficient_at_phase() const;

  double rate_;
  unsigned channels_;
  PhaserSettings settings_;
  double lfo_phase_ = 0.0;  // 0..1
  std::vector<ChannelState> state_;
};

}  // namespace tav::bfxs
