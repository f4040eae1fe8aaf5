// What a display has put on the screen, so that a timer that sets it many
// times a second draws only when the picture would change.
#pragma once

#include <optional>
#include <utility>

namespace tav::player {

template <class T>
class TShownValue {
 public:
  // True when `next` differs from what is shown, or nothing is shown yet;
  // `next` is then taken as shown (the caller draws it).
  template <class U>
  bool Changes(U&& next) {
    if (shown_ && *shown_ == next) return false;
    shown_ = T(std::forward<U>(next));
    return true;
  }
  // The screen was drawn over by other means: the next value is drawn.
  void Forget() { shown_.reset(); }
  const std::optional<T>& Shown() const { return shown_; }

 private:
  std::optional<T> shown_;
};

}  // namespace tav::player
