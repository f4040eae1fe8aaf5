// The DirectX 8 echo: one delay line per channel whose output is mixed with the dry
// signal and fed back into the line. Even channels use the left delay, odd channels the
// right one; with pan delay the feedback of a channel pair crosses over, so successive
// echoes alternate between left and right.
#pragma once

#include <cstddef>
#include <vector>

namespace tav::audio {

struct EchoSettings {
  float wet_dry_mix = 50.0f;  // percent of the output that is echo, 0..100
  float feedback = 50.0f;     // percent of the echo fed back into the line, 0..100
  float left_delay_ms = 500.0f;   // 1..2000
  float right_delay_ms = 500.0f;  // 1..2000
  bool pan_delay = false;

  // True when every value lies in its range.
  bool valid() const;
};

class Dx8Echo {
 public:
  static constexpr float kMaxDelayMs = 2000.0f;

  Dx8Echo(unsigned rate, unsigned channels);

  // False (and no change) for values out of range.
  bool set(const EchoSettings& settings);
  const EchoSettings& settings() const { return settings_; }

  // Interleaved samples, in place.
  void process(float* samples, size_t frames);
  void reset();

 private:
  unsigned rate_;
  unsigned channels_;
  EchoSettings settings_;
  size_t delay_[2] = {};  // frames, left and right
  std::vector<float> line_;  // one ring per channel, side by side
  size_t ring_ = 0;          // frames in each ring
  size_t pos_ = 0;
};

}  // namespace tav::audio
