// Effects that BASS_ChannelSetFX puts into a channel's chain. A type is registered with
// a factory; built-in types and bfxs.dll's types go through the same registry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace tav::audio {

class Effect {
 public:
  virtual ~Effect() = default;
  // Interleaved float samples, in place.
  virtual void process(float* samples, size_t frames) = 0;
  virtual bool set_parameters(const void* params) = 0;
  virtual bool get_parameters(void* params) = 0;
  // Clears the effect's history (after a seek of its channel).
  virtual void reset() {}
};

using EffectFactory = std::function<std::unique_ptr<Effect>(uint32_t type, unsigned rate, unsigned channels)>;

class EffectRegistry {
 public:
  void add(uint32_t type, EffectFactory factory) {
    std::lock_guard lock(mutex_);
    factories_[type] = std::move(factory);
  }
  bool has(uint32_t type) const {
    std::lock_guard lock(mutex_);
    return factories_.count(type) != 0;
  }
  // Null when the type is unknown or its factory refuses.
  std::unique_ptr<Effect> create(uint32_t type, unsigned rate, unsigned channels) const {
    EffectFactory factory;
    {
      std::lock_guard lock(mutex_);
      auto it = factories_.find(type);
      if (it == factories_.end()) return nullptr;
      factory = it->second;
    }
    return factory(type, rate, channels);
  }

 private:
  mutable std::mutex mutex_;
  std::unordered_map<uint32_t, EffectFactory> factories_;
};

}  // namespace tav::audio
