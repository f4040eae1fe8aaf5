#include "dx8_reverb.h"

#include <algorithm>
#include <cmath>

#include "denormal.h"

namespace tav::audio {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Line lengths at 44.1 kHz (mutually prime, 32..69 ms); scaled for other rates.
constexpr unsigned kLineLengths[Dx8Reverb::kLines] = {1427, 1637, 1871, 2083, 2297, 2531, 2789, 3049};
constexpr unsigned kDiffuserLengths[2][2] = {{142, 379}, {107, 277}};
constexpr float kDiffusion = 0.6f;

// y = H x for the 8-point Hadamard matrix, scaled to be orthogonal.
void hadamard8(float* v) {
  for (size_t half = 1; half < 8; half *= 2)
    for (size_t i = 0; i < 8; i += 2 * half)
      for (size_t j = i; j < i + half; ++j) {
        const float a = v[j], b = v[j + half];
        v[j] = a + b;
        v[j + half] = a - b;
      }
  const float scale = 1.0f / std::sqrt(8.0f);
  for (size_t i = 0; i < 8; ++i) v[i] *= scale;
}

size_t scaled(unsigned samples_at_44k, unsigned rate) {
  return std::max<size_t>(1, static_cast<size_t>(std::lround(double(samples_at_44k) * rate / 44100.0)));
}

}  // namespace

bool ReverbSettings::valid() const {
  auto in = [](float v, float lo, float hi) { return std::isfinite(v) && v >= lo && v <= hi; };
  return in(in_gain_db, -96, 0) && in(reverb_mix_db, -96, 0) && in(reverb_time_ms, 0.001f, 3000) &&
         in(high_freq_rt_ratio, 0.001f, 0.999f);
}

float Dx8Reverb::Allpass::run(float x) {
  const float delayed = buffer[pos];
  const float v = flush_denormal(x + kDiffusion * delayed);
  buffer[pos] = v;
  pos = pos + 1 == buffer.size() ? 0 : pos + 1;
  return delayed - kDiffusion * v;
}

Dx8Reverb::Dx8Reverb(unsigned rate, unsigned channels) : rate_(rate), channels_(channels) {
  for (size_t i = 0; i < kLines; ++i) lines_[i].buffer.assign(scaled(kLineLengths[i], rate_), 0.0f);
  for (int side = 0; side < 2; ++side)
    for (int k = 0; k < 2; ++k) diffusers_[side][k].buffer.assign(scaled(kDiffuserLengths[side][k], rate_), 0.0f);
  const double crossover = std::min(kCrossoverHz, 0.25 * rate_);
  const double w0 = 2.0 * kPi * crossover / rate_;
  const double alpha = std::sin(w0) / (2.0 * std::sqrt(0.5));
  const double a0 = 1.0 + alpha;
  split_.b0 = static_cast<float>((1.0 - std::cos(w0)) / 2.0 / a0);
  split_.b1 = static_cast<float>((1.0 - std::cos(w0)) / a0);
  split_.b2 = split_.b0;
  split_.a1 = static_cast<float>(-2.0 * std::cos(w0) / a0);
  split_.a2 = static_cast<float>((1.0 - alpha) / a0);
  set(settings_);
}

bool Dx8Reverb::set(const ReverbSettings& s) {
  if (!s.valid()) return false;
  settings_ = s;
  in_gain_ = static_cast<float>(std::pow(10.0, s.in_gain_db / 20.0));
  const double seconds = s.reverb_time_ms / 1000.0;
  double energy = 0;
  for (auto& line : lines_) {
    const double delay = static_cast<double>(line.buffer.size()) / rate_;
    // 60 dB in the reverb time: the gain per pass through a line of this delay
    line.gain_low = static_cast<float>(std::pow(10.0, -3.0 * delay / seconds));
    line.gain_high = static_cast<float>(std::pow(10.0, -3.0 * delay / (seconds * s.high_freq_rt_ratio)));
    energy += line.gain_low * line.gain_low;
  }
  // keeps the tail's loudness about the same for short and long reverb times
  const double mean_square = energy / kLines;
  out_gain_ = static_cast<float>(0.7 * std::sqrt(1.0 - mean_square) * std::pow(10.0, s.reverb_mix_db / 20.0));
  return true;
}

void Dx8Reverb::reset() {
  for (auto& line : lines_) {
    std::fill(line.buffer.begin(), line.buffer.end(), 0.0f);
    line.pos = 0;
    line.z1 = line.z2 = 0;
  }
  for (auto& side : diffusers_)
    for (auto& ap : side) {
      std::fill(ap.buffer.begin(), ap.buffer.end(), 0.0f);
      ap.pos = 0;
    }
}

void Dx8Reverb::process(float* samples, size_t frames) {
  if (channels_ == 0) return;
  for (size_t f = 0; f < frames; ++f) {
    float* frame = samples + f * channels_;
    // left: channel 0 (and any further even channel), right: channel 1 (and odd ones)
    float in[2] = {0, 0};
    for (unsigned c = 0; c < channels_; ++c) in[c & 1] += frame[c];
    if (channels_ == 1) in[1] = in[0];
    for (int side = 0; side < 2; ++side) {
      float v = in[side] * in_gain_;
      for (auto& ap : diffusers_[side]) v = ap.run(v);
      in[side] = v;
    }
    float out[kLines];
    for (size_t i = 0; i < kLines; ++i) {
      Line& line = lines_[i];
      const float delayed = line.buffer[line.pos];
      const float low = split_.b0 * delayed + line.z1;
      line.z1 = flush_denormal(split_.b1 * delayed - split_.a1 * low + line.z2);
      line.z2 = flush_denormal(split_.b2 * delayed - split_.a2 * low);
      // gain_low below the crossover, gain_high above it
      out[i] = line.gain_high * delayed + (line.gain_low - line.gain_high) * low;
    }
    const float wet_left = out[0] - out[2] + out[4] - out[6];
    const float wet_right = out[1] - out[3] + out[5] - out[7];
    hadamard8(out);
    for (size_t i = 0; i < kLines; ++i) {
      Line& line = lines_[i];
      line.buffer[line.pos] = flush_denormal(out[i] + in[i < kLines / 2 ? 0 : 1]);
      line.pos = line.pos + 1 == line.buffer.size() ? 0 : line.pos + 1;
    }
    const float wet[2] = {wet_left * out_gain_, wet_right * out_gain_};
    if (channels_ == 1)
      frame[0] += 0.5f * (wet[0] + wet[1]);
    else
      for (unsigned c = 0; c < channels_; ++c) frame[c] += wet[c & 1];
  }
}

}  // namespace tav::audio
