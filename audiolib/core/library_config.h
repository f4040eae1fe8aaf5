// Library-wide settings (BASS_SetConfig). Read by streams when they are created.
#pragma once

#include <atomic>
#include <cstdint>

namespace tav::audio {

struct LibraryConfig {
  static constexpr uint32_t kMinBufferMs = 80;
  static constexpr uint32_t kMaxBufferMs = 5000;
  static constexpr uint32_t kMinUpdateMs = 5;
  static constexpr uint32_t kMaxUpdateMs = 100;

  std::atomic<uint32_t> buffer_ms{500};
  std::atomic<uint32_t> update_period_ms{100};
  std::atomic<bool> float_dsp{false};

  // Returns false (and changes nothing) for an unknown option or a value out of range.
  bool set(uint32_t option, uint32_t value);
  // Returns false for an unknown option.
  bool get(uint32_t option, uint32_t& value) const;
};

}  // namespace tav::audio
