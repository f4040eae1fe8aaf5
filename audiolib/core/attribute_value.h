// An attribute that can be set or slid linearly in time. Times are microseconds on the
// library's clock (steady_clock_us()); a slide ends exactly on its target.
#pragma once

#include <chrono>
#include <cstdint>

namespace tav::audio {

inline int64_t steady_clock_us() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class AttributeValue {
 public:
  explicit AttributeValue(float value = 0) : value_(value) {}

  // Sets the value and ends a running slide.
  void set(float value) {
    value_ = value;
    sliding_ = false;
  }

  // Slides from the current value to `target` over `duration_ms`; replaces a running slide.
  void slide(float target, uint32_t duration_ms, int64_t now_us) {
    if (duration_ms == 0) return set(target);
    start_value_ = value_at(now_us);
    value_ = target;
    start_us_ = now_us;
    duration_us_ = int64_t{duration_ms} * 1000;
    sliding_ = true;
  }

  float value_at(int64_t now_us) const {
    if (!sliding_) return value_;
    const int64_t t = now_us - start_us_;
    if (t >= duration_us_) return value_;
    if (t <= 0) return start_value_;
    return start_value_ + (value_ - start_value_) * static_cast<float>(static_cast<double>(t) / duration_us_);
  }

  bool sliding_at(int64_t now_us) const { return sliding_ && now_us - start_us_ < duration_us_; }
  float target() const { return value_; }

 private:
  float value_;  // the target while sliding
  float start_value_ = 0;
  int64_t start_us_ = 0;
  int64_t duration_us_ = 0;
  bool sliding_ = false;
};

}  // namespace tav::audio
