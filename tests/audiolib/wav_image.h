// A 16-bit PCM WAV file image of given samples, for tests that feed a signal of their
// own (an impulse, noise bursts) through a stream.
#pragma once

#include <cstdint>
#include <vector>

namespace tav::test {

inline std::vector<uint8_t> wav_image(const std::vector<int16_t>& samples, unsigned rate, unsigned channels) {
  std::vector<uint8_t> b;
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
  const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
  tag("RIFF");
  put(36 + data, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);
  put(channels, 2);
  put(rate, 4);
  put(rate * channels * 2, 4);
  put(channels * 2, 2);
  put(16, 2);
  tag("data");
  put(data, 4);
  for (int16_t s : samples) put(static_cast<uint16_t>(s), 2);
  return b;
}

}  // namespace tav::test
