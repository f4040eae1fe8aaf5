// The library's process-wide state: configuration, handles and devices.
// Device selection is process-wide; all non-callback calls come from one thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device.h"
#include "handle_table.h"
#include "library_config.h"
#include "output_backend.h"

namespace tav::audio {

class Library {
 public:
  static constexpr unsigned kDefaultRate = 44100;
  static constexpr unsigned kMinRate = 100;
  static constexpr unsigned kMaxRate = 100000;

  // `platform` (may be null: device 0 only) must outlive the library.
  explicit Library(OutputPlatform* platform);
  ~Library();

  LibraryConfig config;
  HandleTable handles;

  struct DeviceSlot {
    std::string name;
    std::string driver;
    bool is_default = false;
    std::unique_ptr<Device> device;  // set while initialised
  };

  // Device numbers: 0 = no sound, 1.. = the platform's devices. Null when out of range.
  const DeviceSlot* device_slot(uint32_t number);
  size_t device_count();

  // BASS_Init: -1 picks the default device. Sets the error code on failure.
  bool init_device(int number, unsigned freq, void* window);
  bool set_current(uint32_t number);
  uint32_t current() const { return current_; }
  // The current device if it is initialised, else null (error BASS_ERROR_INIT).
  Device* current_device();
  // Frees the current device; false (BASS_ERROR_INIT) when it is not initialised.
  bool free_current();

  unsigned directsound_version() const;

 private:
  void enumerate_once();

  OutputPlatform* platform_;
  std::mutex devices_mutex_;
  bool enumerated_ = false;
  std::vector<DeviceSlot> slots_;
  uint32_t current_ = 0;
};

}  // namespace tav::audio
