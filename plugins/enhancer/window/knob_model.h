// The rotary knob's arithmetic: an integer range over a 300-degree sweep, the
// pointer's angle, the angle under the mouse with its dead zone at the
// bottom, drags, keys, the wheel and keeping the control square. Angles are
// degrees counterclockwise from 3 o'clock: the minimum lies at 240 (near 8
// o'clock), the maximum at -60 (near 4 o'clock).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "window/placement.h"

namespace brindle::window {

// Round to nearest, halves to even.
int32_t RoundHalfEven(double v);

class KnobModel {
 public:
  std::function<void()> onChange;
  // The value a label shows changed (during drags it shows the dragged value).
  std::function<void(int32_t)> onLabel;

  int32_t Min() const { return min_; }
  int32_t Max() const { return max_; }
  int32_t Position() const { return position_; }
  int32_t PointerAngle() const { return pointerAngle_; }
  int32_t DragAngle() const { return dragAngle_; }
  float Scale() const { return scale_; }
  bool Dragging() const { return dragging_; }
  int32_t Side() const { return side_; }
  int32_t Radius() const { return radius_; }

  uint16_t pageSize = 10;

  // A request equal to the previous one does nothing.
  void SetPosition(int32_t value);
  void SetMin(int32_t value) { ApplyRange(position_, value, max_); }
  void SetMax(int32_t value) { ApplyRange(position_, min_, value); }
  void SetSpringLoaded(bool value);
  bool SpringLoaded() const { return springLoaded_; }

  int32_t ValueAt(int32_t angle) const;
  // The angle under the mouse in a control of width x height, dead zone applied.
  static int32_t AngleFromMouse(int32_t x, int32_t y, int32_t width, int32_t height);

  // Mouse in client pixels of a width x height control. A press outside the
  // inscribed ellipse, or with another button, starts nothing.
  void LeftDown(int32_t x, int32_t y, int32_t width, int32_t height);
  void MouseMove(int32_t x, int32_t y, int32_t width, int32_t height);
  void LeftUp();
  void FocusLost();
  void Key(uint32_t virtualKey);
  void Wheel(int16_t delta);

  // A size change to width x height: the side both become; the model keeps it.
  int32_t Resize(int32_t width, int32_t height);

  // The pointer line's ends for the current angle.
  void PointerLine(Point& from, Point& to) const;

  // The label: the value, a blank, the knob's own text.
  static std::string LabelText(int32_t value, const std::string& text);

 private:
  void ApplyRange(int32_t value, int32_t min, int32_t max);

  int32_t min_ = 0;
  int32_t max_ = 100;
  int32_t position_ = 0;
  float scale_ = 3.0f;
  int32_t pointerAngle_ = 240;
  int32_t dragAngle_ = 0;
  int32_t lastRequested_ = 0;
  bool dragging_ = false;
  bool springLoaded_ = false;
  int32_t side_ = 0;
  int32_t radius_ = 20;
};

}  // namespace brindle::window
