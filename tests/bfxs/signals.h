// Test signals and measurements for the bfxs stages.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "sample_source.h"

namespace tav::bfxs::test {

inline std::vector<float> sine(double freq, double rate, size_t frames, unsigned chans, double amp = 0.5) {
  std::vector<float> v(frames * chans);
  for (size_t i = 0; i < frames; ++i)
    for (unsigned c = 0; c < chans; ++c)
      v[i * chans + c] = static_cast<float>(amp * std::sin(2.0 * std::numbers::pi * freq * i / rate));
  return v;
}

inline std::vector<float> noise(size_t samples, double amp = 0.5, unsigned seed = 1) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> d(-amp, amp);
  std::vector<float> v(samples);
  for (float& x : v) x = d(gen);
  return v;
}

// RMS of one channel over frames [begin, end).
inline double rms(const std::vector<float>& v, unsigned chans, unsigned ch, size_t begin, size_t end) {
  double sum = 0;
  for (size_t i = begin; i < end; ++i) sum += double(v[i * chans + ch]) * v[i * chans + ch];
  return std::sqrt(sum / double(end - begin));
}

inline double db(double ratio) { return 20.0 * std::log10(ratio); }

// An in-memory source that hands out at most `max_chunk` frames per pull.
class VectorSource : public SeekableSource {
 public:
  VectorSource(std::vector<float> data, unsigned chans, size_t max_chunk = SIZE_MAX)
      : data_(std::move(data)), chans_(chans), max_chunk_(max_chunk) {}
  size_t pull(float* out, size_t frames) override {
    const size_t n = std::min({frames, max_chunk_, size_t(length() - pos_)});
    std::memcpy(out, data_.data() + pos_ * chans_, n * chans_ * sizeof(float));
    pos_ += n;
    return n;
  }
  uint64_t length() const override { return data_.size() / chans_; }
  bool seek(uint64_t frame) override {
    if (frame > length()) return false;
    pos_ = frame;
    return true;
  }
  uint64_t position() const override { return pos_; }
  uint64_t pos() const { return pos_; }

 private:
  std::vector<float> data_;
  unsigned chans_;
  size_t max_chunk_;
  uint64_t pos_ = 0;
};

}  // namespace tav::bfxs::test
