#include "dx8_echo.h"

#include <algorithm>
#include <cmath>

#include "denormal.h"

namespace tav::audio {

bool EchoSettings::valid() const {
  auto in = [](float v, float lo, float hi) { return std::isfinite(v) && v >= lo && v <= hi; };
  return in(wet_dry_mix, 0, 100) && in(feedback, 0, 100) && in(left_delay_ms, 1, Dx8Echo::kMaxDelayMs) &&
         in(right_delay_ms, 1, Dx8Echo::kMaxDelayMs);
}

Dx8Echo::Dx8Echo(unsigned rate, unsigned channels) : rate_(rate), channels_(channels) {
  ring_ = static_cast<size_t>(std::ceil(kMaxDelayMs * rate_ / 1000.0)) + 1;
  line_.assign(ring_ * channels_, 0.0f);
  set(settings_);
}

bool Dx8Echo::set(const EchoSettings& settings) {
  if (!settings.valid()) return false;
  settings_ = settings;
  const float ms[2] = {settings.left_delay_ms, settings.right_delay_ms};
  for (int i = 0; i < 2; ++i)
    delay_[i] = std::clamp<size_t>(static_cast<size_t>(std::lround(ms[i] * rate_ / 1000.0)), 1, ring_ - 1);
  return true;
}

void Dx8Echo::reset() {
  std::fill(line_.begin(), line_.end(), 0.0f);
  pos_ = 0;
}

void Dx8Echo::process(float* samples, size_t frames) {
  const float wet = settings_.wet_dry_mix / 100.0f;
  const float dry = 1.0f - wet;
  const float fb = settings_.feedback / 100.0f;
  const bool swap = settings_.pan_delay && channels_ >= 2;
  for (size_t f = 0; f < frames; ++f) {
    float* frame = samples + f * channels_;
    float echo[2] = {};
    for (unsigned c = 0; c < channels_; ++c) {
      float* ring = &line_[c * ring_];
      const size_t read = (pos_ + ring_ - delay_[c & 1]) % ring_;
      const float delayed = ring[read];
      if (c < 2) echo[c] = delayed;
      // a pair with pan delay feeds each side's echo into the other side's line
      const float back = swap && c < 2 ? 0.0f : delayed;
      ring[pos_] = flush_denormal(frame[c] + fb * back);
      frame[c] = dry * frame[c] + wet * delayed;
    }
    if (swap) {
      line_[pos_] = flush_denormal(line_[pos_] + fb * echo[1]);
      line_[ring_ + pos_] = flush_denormal(line_[ring_ + pos_] + fb * echo[0]);
    }
    pos_ = pos_ + 1 == ring_ ? 0 : pos_ + 1;
  }
}

}  // namespace tav::audio
