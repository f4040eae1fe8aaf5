// An initialised output device: its backend and the update thread that mixes
// every playing stream of the device into it about once per update period.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "output_backend.h"

namespace tav::audio {

struct LibraryConfig;

// Something the update thread mixes: a user stream.
class MixSource {
 public:
  virtual ~MixSource() = default;
  // Lets the producer fill the source's free buffer space (called first in each update).
  virtual void refill() = 0;
  // Adds up to `frames` frames of the device's format into `acc` (interleaved floats,
  // 1.0 = full scale); returns the frames it contributed.
  virtual size_t mix_into(float* acc, size_t frames, unsigned device_rate, unsigned device_channels) = 0;
};

class Device {
 public:
  Device(std::unique_ptr<OutputBackend> backend, const LibraryConfig& config);
  ~Device();  // stops the update thread
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  unsigned rate() const { return backend_->rate(); }
  unsigned channels() const { return backend_->channels(); }
  unsigned latency_ms() const { return backend_->latency_ms(); }

  void attach(std::shared_ptr<MixSource> source);
  void detach(const MixSource* source);

  // One update: refill every source, then mix what the backend can take. The update thread
  // calls it; tests may call it directly on a device whose thread is not started.
  void update();
  void start_thread();
  // Runs the next update now (after a stream starts playing).
  void wake();
  // Every source attached (to free the streams of a device that goes).
  std::vector<std::shared_ptr<MixSource>> sources();

 private:
  void run();

  std::unique_ptr<OutputBackend> backend_;
  const LibraryConfig& config_;
  std::mutex sources_mutex_;
  std::vector<std::shared_ptr<MixSource>> sources_;
  std::vector<float> acc_;
  std::vector<int16_t> out_;
  std::mutex wake_mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool woken_ = false;
  std::thread thread_;
};

}  // namespace tav::audio
