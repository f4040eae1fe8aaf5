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
  // network streams
  static constexpr uint32_t kMinNetTimeoutMs = 500;
  static constexpr uint32_t kMaxNetTimeoutMs = 60000;
  static constexpr uint32_t kMinNetBufferMs = 1000;
  static constexpr uint32_t kMaxNetBufferMs = 60000;
  std::atomic<uint32_t> net_timeout_ms{5000};
  std::atomic<uint32_t> net_buffer_ms{5000};
  std::atomic<uint32_t> net_prebuffer_percent{75};

  // Returns false (and changes nothing) for an unknown option or a value out of range.
  bool set(uint32_t option, uint32_t value);
  // Returns false for an unknown option.
  bool get(uint32_t option, uint32_t& value) const;
};

}  // namespace tav::audio
