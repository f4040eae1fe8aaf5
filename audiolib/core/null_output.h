// Device 0: plays on a real-time clock and discards the sound. For tests, the
// sound it consumed from playing streams can be captured into a WAV file named
// by the environment variable TAVOLEN_NOSOUND_CAPTURE.
#pragma once

#include <chrono>
#include <memory>

#include "output_backend.h"
#include "wav_writer.h"

namespace tav::audio {

class NullOutput : public OutputBackend {
 public:
  static constexpr const char* kCaptureVariable = "TAVOLEN_NOSOUND_CAPTURE";

  NullOutput(unsigned rate, unsigned channels);
  unsigned rate() const override { return rate_; }
  unsigned channels() const override { return channels_; }
  size_t writable_frames(unsigned ahead_ms) override;
  void write(const int16_t* frames, size_t count, size_t audible) override;
  unsigned latency_ms() const override { return 0; }

 private:
  uint64_t clock_frames() const;
  unsigned rate_;
  unsigned channels_;
  std::chrono::steady_clock::time_point start_;
  uint64_t written_ = 0;
  uint64_t lost_ = 0;  // clock frames that passed while nothing was queued
  std::unique_ptr<WavWriter> capture_;
};

}  // namespace tav::audio
