// The library's process-wide state: configuration, handles and devices.
// Device selection is process-wide; all non-callback calls come from one thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bass_ext.h"
#include "channel.h"
#include "decoder.h"
#include "device.h"
#include "effect.h"
#include "handle_table.h"
#include "library_config.h"
#include "output_backend.h"

namespace tav::audio {

class Library {
 public:
  static constexpr unsigned kDefaultRate = 44100;
  static constexpr unsigned kMinRate = 100;
  static constexpr unsigned kMaxRate = 100000;  // of a device
  // A user stream takes every rate a file's decoder gives (the device mixes
  // whatever rate it gets), so that every file that opens can play.
  static constexpr unsigned kMaxStreamRate = kMaxFileRate;

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
  // Frees the current device; false (BASS_ERROR_INIT) when it is not initialised, and
  // (BASS_ERROR_NOTAVAIL) when called from a procedure on its update thread.
  bool free_current();

  unsigned directsound_version() const;

  // --- channels (error codes set on failure) ---
  EffectRegistry effects;

  std::shared_ptr<Channel> channel(uint32_t handle);
  uint32_t create_user_stream(unsigned freq, unsigned channels, uint32_t flags, STREAMPROC* proc, void* user);
  uint32_t create_file_stream(std::unique_ptr<ByteSource> source, uint32_t flags);
  // BASS_MusicLoad: a decoding channel rendering a tracker module; freq 0 = the device's rate.
  uint32_t load_music(std::unique_ptr<ByteSource> source, uint32_t flags, unsigned freq);
  uint32_t create_custom_stream(unsigned freq, unsigned channels, uint32_t flags, uint32_t ctype,
                                const TAV_STREAM_FUNCS& funcs, void* state);
  // Frees the channel and everything on its chain; for a user stream, returns once no
  // procedure call for it is running.
  bool free_channel(uint32_t handle);
  // False (BASS_ERROR_DRIVER) when the stream's resting device cannot open its output again.
  bool play(uint32_t handle, bool restart);

  uint32_t set_dsp(uint32_t channel, DSPPROC* proc, void* user, int priority);
  uint32_t set_fx(uint32_t channel, uint32_t type, int priority);
  // Removes a DSP or effect handle from `channel`; false when it is not on that channel.
  bool remove_chain_entry(uint32_t channel, uint32_t entry, HandleKind kind);
  // Runs `fn(Effect&)` under the effect's channel lock; false when the handle is stale.
  template <typename Fn>
  bool with_effect(uint32_t fx, Fn fn);

 private:
  void enumerate_once();
  uint32_t register_channel(std::shared_ptr<Channel> channel);
  Device* device_for(uint32_t number);
  struct ChainEntry {
    uint32_t channel;
  };

  OutputPlatform* platform_;
  std::mutex devices_mutex_;
  bool enumerated_ = false;
  std::vector<DeviceSlot> slots_;
  uint32_t current_ = 0;
};

template <typename Fn>
bool Library::with_effect(uint32_t fx, Fn fn) {
  auto entry = handles.get<ChainEntry>(fx, HandleKind::Fx);
  if (!entry) return false;
  auto ch = channel(entry->channel);
  if (!ch) return false;
  ChannelGuard guard(*ch);
  Effect* effect = ch->chain.find_effect(fx);
  return effect && fn(*effect);
}

}  // namespace tav::audio
