// Small ids for objects that the system hands back later (tray callbacks,
// window timers): a late message for an object that is gone finds nothing
// instead of a freed object, and the ids fit the shell's 32-bit fields in
// every build.
#pragma once

#include <cstdint>
#include <vector>

namespace brindle::window {

template <typename T>
class IdRegistry {
 public:
  // A free id, 1 or more, that names `object` until Release.
  uint32_t Register(T* object) {
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (!slots_[i]) {
        slots_[i] = object;
        return static_cast<uint32_t>(i + 1);
      }
    }
    slots_.push_back(object);
    return static_cast<uint32_t>(slots_.size());
  }
  void Release(uint32_t id) {
    if (id >= 1 && id <= slots_.size()) slots_[id - 1] = nullptr;
    while (!slots_.empty() && !slots_.back()) slots_.pop_back();
  }
  // The object named by `id`; nullptr for an id that is unknown or released.
  T* Find(uint64_t id) const {
    if (id < 1 || id > slots_.size()) return nullptr;
    return slots_[static_cast<size_t>(id - 1)];
  }
  template <typename F>
  void ForEach(F&& f) const {
    const std::vector<T*> live = slots_;  // a call may register or release
    for (T* p : live)
      if (p) f(*p);
  }
  size_t Count() const {
    size_t n = 0;
    for (T* p : slots_) n += p != nullptr;
    return n;
  }

 private:
  std::vector<T*> slots_;
};

}  // namespace brindle::window
