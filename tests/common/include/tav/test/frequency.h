// The frequency of a steady tone, measured from its rising zero crossings.
// One measure for every test that checks a pitch: native and Windows builds.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace tav::test {

// Cycles per frame of channel `channel` of the interleaved `samples` (with
// `channels` channels) over frames [begin, end): each rising crossing is
// placed between its two samples by linear interpolation, and the crossings
// after the first are counted over the time from the first to the last. 0
// with fewer than two crossings. Multiply by the rate for Hz.
template <class Sample>
double ZeroCrossingFrequency(const std::vector<Sample>& samples, size_t channels, size_t begin, size_t end,
                             size_t channel = 0) {
  end = std::min(end, samples.size() / channels);
  double first = -1, last = -1;
  int cycles = 0;
  for (size_t i = begin + 1; i < end; ++i) {
    const double a = double(samples[(i - 1) * channels + channel]), b = double(samples[i * channels + channel]);
    if (a < 0 && b >= 0) {
      const double t = double(i - 1) + a / (a - b);
      if (first < 0)
        first = t;
      else
        ++cycles;
      last = t;
    }
  }
  return cycles > 0 ? cycles / (last - first) : 0.0;
}

}  // namespace tav::test
