// Where a device's mixed sound goes, and the platform's list of output devices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tav::audio {

// A ring of 16-bit interleaved frames that the device plays on its own clock.
class OutputBackend {
 public:
  virtual ~OutputBackend() = default;
  virtual unsigned rate() const = 0;
  virtual unsigned channels() const = 0;
  // Frames that may be written now so that about `ahead_ms` of sound is queued.
  virtual size_t writable_frames(unsigned ahead_ms) = 0;
  // Queues `count` frames; the first `audible` of them came from playing streams.
  virtual void write(const int16_t* frames, size_t count, size_t audible) = 0;
  // Latency of the ring in ms (BASS_INFO.latency).
  virtual unsigned latency_ms() const = 0;
  // The device rests: nothing plays, so the output stops until resume(). What was queued
  // before the pause was silence; after resume() the next write is heard at once. False
  // when the output cannot be opened again (it stays paused).
  virtual void pause() {}
  virtual bool resume() { return true; }
};

struct DeviceDescription {
  std::string name;    // as the platform names it
  std::string driver;
  bool is_default = false;
};

// The platform's sound output devices (DirectSound on Windows); devices 1.. of the library.
class OutputPlatform {
 public:
  virtual ~OutputPlatform() = default;
  virtual std::vector<DeviceDescription> enumerate() = 0;
  // Opens the device at `index` into enumerate()'s list. On failure returns null and sets `error`
  // to a BASS_ERROR_* code.
  virtual std::unique_ptr<OutputBackend> open(size_t index, unsigned freq, void* window, int& error) = 0;
  // DirectSound version the platform offers (BASS_INFO.dsver).
  virtual unsigned directsound_version() const = 0;
};

}  // namespace tav::audio
