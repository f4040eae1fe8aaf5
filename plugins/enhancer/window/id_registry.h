// Small ids for objects that the system hands back later (tray callbacks,
// window timers): a late message for an object that is gone finds nothing
// instead of a freed object, and the ids fit the shell's 32-bit fields in
// every build. Ids are not handed out again soon after release, so a late
// message cannot reach a newer object either.
#pragma once

#include <cstdint>
#include <map>

namespace brindle::window {

template <typename T>
class IdRegistry {
 public:
  // A fresh id, 1 or more, that names `object` until Release.
  uint32_t Register(T* object) {
    while (next_ == 0 || objects_.count(next_)) ++next_;  // 0 is never an id
    const uint32_t id = next_++;
    objects_[id] = object;
    return id;
  }
  void Release(uint32_t id) { objects_.erase(id); }
  // The object named by `id`; nullptr for an id that is unknown or released.
  T* Find(uint64_t id) const {
    if (id == 0 || id > UINT32_MAX) return nullptr;
    auto it = objects_.find(static_cast<uint32_t>(id));
    return it == objects_.end() ? nullptr : it->second;
  }
  template <typename F>
  void ForEach(F&& f) const {
    const auto live = objects_;  // a call may register or release
    for (const auto& entry : live)
      if (Find(entry.first)) f(*entry.second);
  }
  size_t Count() const { return objects_.size(); }

 private:
  std::map<uint32_t, T*> objects_;
  uint32_t next_ = 1;
};

}  // namespace brindle::window
