// Test signals and a processor rig for the enhancer's tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "processor.h"

namespace brindle::test {

// Interleaved 16-bit noise, uniform in +-amplitude.
inline std::vector<int16_t> Noise(int frames, int channels, int amplitude, unsigned seed = 1) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> dist(-amplitude, amplitude);
  std::vector<int16_t> v(size_t(frames) * size_t(channels));
  for (auto& s : v) s = int16_t(dist(rng));
  return v;
}

// The same sum of tones on every channel.
inline std::vector<int16_t> Tones(int frames, int channels, int rate, std::vector<double> hz, double amplitude) {
  std::vector<int16_t> v(size_t(frames) * size_t(channels));
  for (int f = 0; f < frames; ++f) {
    double x = 0;
    for (double h : hz) x += std::sin(2 * 3.14159265358979323846 * h * f / rate);
    for (int c = 0; c < channels; ++c) v[size_t(f) * size_t(channels) + size_t(c)] = int16_t(amplitude * x / double(hz.size()));
  }
  return v;
}

inline std::vector<int16_t> Square(int frames, int channels, int period, int amplitude) {
  std::vector<int16_t> v(size_t(frames) * size_t(channels));
  for (int f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c)
      v[size_t(f) * size_t(channels) + size_t(c)] = int16_t((f / (period / 2)) % 2 ? -amplitude : amplitude);
  return v;
}

// A processor as `Init` leaves it on a fresh library, with its own parameters.
struct Rig {
  std::unique_ptr<Processor> proc = std::make_unique<Processor>();
  Parameters params;
  WindowSettings window;
  Handshake hs;

  Rig() { ResetGains(proc->state); }
  void SetAll(int32_t value) {
    for (const ParamInfo& row : kParamTable) params.SetFromControl(row.param, value);
  }
  int Block(int16_t* samples, int frames, int channels = 2, int rate = 44100, int bits = 16) {
    return ProcessBlock(*proc, params, window, hs, samples, frames, bits, channels, rate);
  }
  // The whole signal, block by block; returns the output.
  std::vector<int16_t> Run(std::vector<int16_t> signal, int channels = 2, int rate = 44100, int block = 1152) {
    const int frames = int(signal.size()) / channels;
    for (int at = 0; at < frames; at += block) Block(signal.data() + size_t(at) * size_t(channels), std::min(block, frames - at), channels, rate);
    return signal;
  }
};

}  // namespace brindle::test
