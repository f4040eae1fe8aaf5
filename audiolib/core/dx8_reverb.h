// The DirectX 8 reverb in our own DSP: input diffusion, then a feedback delay network of
// eight lines with an orthogonal (Hadamard) mixing matrix. Each line's feedback gain gives
// the set reverb time (60 dB of decay) for low frequencies; above the crossover the decay
// time is the reverb time times the high-frequency ratio (a second-order split keeps the
// band below the crossover at the full reverb time). The dry signal passes at unity;
// the input gain scales what enters the reverb and the mix gain what leaves it.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace tav::audio {

struct ReverbSettings {
  float in_gain_db = 0.0f;            // -96..0
  float reverb_mix_db = 0.0f;         // -96..0
  float reverb_time_ms = 1000.0f;     // 0.001..3000
  float high_freq_rt_ratio = 0.001f;  // 0.001..0.999

  bool valid() const;
};

class Dx8Reverb {
 public:
  static constexpr size_t kLines = 8;
  static constexpr double kCrossoverHz = 5000.0;

  Dx8Reverb(unsigned rate, unsigned channels);

  // False (and no change) for values out of range.
  bool set(const ReverbSettings& settings);
  const ReverbSettings& settings() const { return settings_; }

  // Interleaved samples, in place.
  void process(float* samples, size_t frames);
  void reset();

 private:
  struct Allpass {
    std::vector<float> buffer;
    size_t pos = 0;
    float run(float x);
  };
  struct Line {
    std::vector<float> buffer;
    size_t pos = 0;
    float gain_low = 0;   // feedback gain below the crossover
    float gain_high = 0;  // and above it
    float z1 = 0, z2 = 0;  // state of the low-pass that splits the two
  };
  struct Split {  // second-order Butterworth low-pass (transposed direct form II)
    float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  };

  unsigned rate_;
  unsigned channels_;
  ReverbSettings settings_;
  float in_gain_ = 1;
  float out_gain_ = 1;
  Split split_;
  std::array<Line, kLines> lines_;
  std::array<std::array<Allpass, 2>, 2> diffusers_;  // per input side
};

}  // namespace tav::audio
