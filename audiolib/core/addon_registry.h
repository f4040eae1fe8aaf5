// Loaded add-ons (bass_addon.h): their format lists and the decoders they open. The
// decoder factory offers each add-on, in the order of loading, a file that none of the
// library's own signed formats took.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "bass_addon.h"
#include "decoder.h"

namespace tav::audio {

// Keeps an add-on's code loaded; the last owner unloads it (a decoder of the add-on is one).
class AddonModule {
 public:
  virtual ~AddonModule() = default;
  // The same for every load of one library (the platform's module handle).
  virtual const void* identity() const = 0;
};

class AddonRegistry {
 public:
  // False when `addon` fails the interface's checks.
  static bool acceptable(const TAV_ADDON* addon);

  // Adds an add-on under `handle`; false when its library is already registered.
  bool add(uint32_t handle, const TAV_ADDON* addon, std::shared_ptr<AddonModule> module);
  bool contains_module(const AddonModule* module) const;
  // The format list as BASS_PluginGetInfo reports it; null for an unknown handle.
  const BASS_PLUGININFO* info(uint32_t handle) const;
  // Removes one add-on (handle 0: all); the handles removed, none for an unknown handle.
  std::vector<uint32_t> remove(uint32_t handle);

  // A decoder from the first add-on that accepts the file; null when none does.
  std::unique_ptr<Decoder> open(std::unique_ptr<ByteSource>& source);

 private:
  bool contains_module_locked(const AddonModule* module) const;
  struct Entry {
    uint32_t handle;
    const TAV_ADDON* addon;
    std::shared_ptr<AddonModule> module;
    std::unique_ptr<BASS_PLUGININFO> info;
  };
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

// The process's add-ons (one library state per process).
AddonRegistry& addon_registry();

}  // namespace tav::audio
