// An initialised output device: its backend and the update thread that mixes
// every playing stream of the device into it about once per update period.
#pragma once

#include <atomic>
#include <chrono>
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
  // Playing (neither stopped nor paused): the device keeps its output running for it.
  virtual bool playing() = 0;
  // refill() or mix_into() threw: the source stops and keeps `error` (BASS_ERROR_*).
  virtual void stop_after_fault(int error) = 0;
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

  // A device with nothing playing for this long pauses its output (after the silence it
  // queued has been heard) and its update thread sleeps until the next play wakes it.
  static constexpr unsigned kRestGraceMs = 500;

  // One update: refill every source, then mix what the backend can take. The update thread
  // calls it; tests may call it directly on a device whose thread is not started. A source
  // that throws is stopped with its error (see MixSource::stop_after_fault); the others play on.
  void update();
  // The output is paused (nothing has played for the grace time).
  bool resting() const { return resting_; }
  // Starts a source playing through `start` (called with the output open): a resting
  // device opens its output again first, on the calling thread. False when it cannot;
  // `start` is then not called and the device keeps resting.
  template <typename Start>
  bool play(Start start) {
    std::lock_guard lock(output_mutex_);
    if (!open_output()) return false;
    start();
    return true;
  }
  // The calling thread is this device's update thread (inside a stream's procedure).
  bool on_update_thread() const { return std::this_thread::get_id() == thread_.get_id(); }
  void start_thread();
  // Runs the next update now (after a stream starts playing).
  void wake();
  // Every source attached (to free the streams of a device that goes).
  std::vector<std::shared_ptr<MixSource>> sources();

 private:
  void run();
  // Under output_mutex_: a resting output opens again; false when it cannot.
  bool open_output();

  std::unique_ptr<OutputBackend> backend_;
  const LibraryConfig& config_;
  std::mutex output_mutex_;  // the backend and the rest state; a play waits for a running mix
  std::mutex sources_mutex_;
  std::vector<std::shared_ptr<MixSource>> sources_;
  std::vector<float> acc_;
  std::vector<int16_t> out_;
  std::mutex wake_mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool woken_ = false;
  std::atomic<bool> resting_{false};
  std::chrono::steady_clock::time_point last_playing_ = std::chrono::steady_clock::now();
  std::thread thread_;
};

}  // namespace tav::audio
