// Device 0: plays on a real-time clock and discards the sound.
//
// Diagnostic: when the environment variable TAVOLEN_NOSOUND_CAPTURE names a file, the
// sound the device consumed from playing streams is written there as a WAV file (the
// window tests check playback with it). The update thread only queues the frames; a
// thread of the capture writes the file, so the update thread never waits on the disk.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "output_backend.h"
#include "wav_writer.h"

namespace tav::audio {

// Writes queued frames into a WAV file on its own thread.
class CaptureWriter {
 public:
  explicit CaptureWriter(std::unique_ptr<WavWriter> writer);
  ~CaptureWriter();  // writes what is queued, then ends the thread
  void queue(const int16_t* frames, size_t count);

 private:
  void run();
  std::unique_ptr<WavWriter> writer_;
  unsigned channels_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<int16_t> pending_;
  bool closing_ = false;
  std::thread thread_;
};

class NullOutput : public OutputBackend {
 public:
  static constexpr const char* kCaptureVariable = "TAVOLEN_NOSOUND_CAPTURE";

  NullOutput(unsigned rate, unsigned channels);
  ~NullOutput() override;
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
  std::unique_ptr<CaptureWriter> capture_;
};

}  // namespace tav::audio
