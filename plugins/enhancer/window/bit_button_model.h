// The skinned push button's states and which frame of its strip it shows.
// The strip holds three frames side by side, each the button's size, from
// (posX, posY): normal, hot, pressed.
#pragma once

#include <cstdint>

#include "window/placement.h"

namespace brindle::window {

enum class ButtonState : uint8_t { normal = 0, pressed = 1, hot = 2 };

class BitButtonModel {
 public:
  ButtonState State() const { return state_; }
  void MouseEnter() { state_ = ButtonState::hot; }
  void MouseLeave() { state_ = ButtonState::normal; }
  void LeftDown() { state_ = ButtonState::pressed; }
  // The click handler runs before this, while the pressed frame shows.
  void LeftUp() { state_ = ButtonState::hot; }
  // A double click's second press changes nothing.
  void DoubleClick() {}

  // The frame's position in the strip: 0 normal, 1 hot, 2 pressed.
  int32_t FrameIndex() const {
    switch (state_) {
      case ButtonState::hot: return 1;
      case ButtonState::pressed: return 2;
      case ButtonState::normal: break;
    }
    return 0;
  }
  // Where the strip is drawn so that the current frame covers the button.
  Point StripOrigin(int32_t posX, int32_t posY, int32_t width) const {
    return {-posX - FrameIndex() * width, -posY};
  }

 private:
  ButtonState state_ = ButtonState::normal;
};

}  // namespace brindle::window
