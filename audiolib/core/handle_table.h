// Typed 32-bit handles. A handle carries its kind in the top four bits and a
// serial number that is never reused within a run; 0 is never a handle.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace tav::audio {

enum class HandleKind : uint32_t { Channel = 1, Dsp = 2, Fx = 3, Plugin = 4 };

class HandleTable {
 public:
  static constexpr uint32_t kSerialBits = 28;
  static constexpr uint32_t kSerialMask = (1u << kSerialBits) - 1;

  static HandleKind kind_of(uint32_t handle) { return static_cast<HandleKind>(handle >> kSerialBits); }

  // Returns 0 once the serial numbers are exhausted.
  template <typename T>
  uint32_t add(HandleKind kind, std::shared_ptr<T> object) {
    std::lock_guard lock(mutex_);
    if (next_serial_ > kSerialMask) return 0;
    const uint32_t handle = (static_cast<uint32_t>(kind) << kSerialBits) | next_serial_++;
    objects_.emplace(handle, std::shared_ptr<void>(std::move(object)));
    return handle;
  }

  // The object behind `handle` if it is alive and of `kind`; null otherwise.
  template <typename T>
  std::shared_ptr<T> get(uint32_t handle, HandleKind kind) const {
    if (handle == 0 || kind_of(handle) != kind) return nullptr;
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : std::static_pointer_cast<T>(it->second);
  }

  // Removes the handle; returns the object so the caller can finish it outside the table's lock.
  template <typename T>
  std::shared_ptr<T> remove(uint32_t handle, HandleKind kind) {
    if (handle == 0 || kind_of(handle) != kind) return nullptr;
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    if (it == objects_.end()) return nullptr;
    auto object = std::static_pointer_cast<T>(it->second);
    objects_.erase(it);
    return object;
  }

 private:
  mutable std::mutex mutex_;
  uint32_t next_serial_ = 1;
  std::unordered_map<uint32_t, std::shared_ptr<void>> objects_;
};

}  // namespace tav::audio
