#include "window/knob_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace brindle::window {

int32_t RoundHalfEven(double v) {
  // the default rounding mode: to nearest, halves to even
  return static_cast<int32_t>(std::nearbyint(v));
}

namespace {

float ScaleOf(int32_t min, int32_t max) {
  return max == min ? 0.0f : 300.0f / static_cast<float>(max - min);
}

}  // namespace

void KnobModel::SetPosition(int32_t value) {
  if (value != lastRequested_) ApplyRange(value, min_, max_);
  lastRequested_ = value;
}

void KnobModel::SetSpringLoaded(bool value) {
  if (value == springLoaded_) return;
  springLoaded_ = value;
  if (value) SetPosition(0);
}

void KnobModel::ApplyRange(int32_t value, int32_t min, int32_t max) {
  if (min != min_ || max != max_) {
    min_ = min;
    max_ = max;
    scale_ = ScaleOf(min_, max_);
  }
  if (scale_ >= 0)
    value = std::clamp(value, std::min(min, max), std::max(min, max));
  else
    value = std::clamp(value, max, min);
  position_ = value;
  pointerAngle_ = 240 - RoundHalfEven(static_cast<double>(position_ - min_) * scale_);
  if (onLabel) onLabel(position_);
  if (onChange) onChange();
}

int32_t KnobModel::ValueAt(int32_t angle) const {
  if (scale_ == 0) return min_;
  return min_ + RoundHalfEven((240.0 - angle) / scale_);
}

int32_t KnobModel::AngleFromMouse(int32_t x, int32_t y, int32_t width, int32_t height) {
  const int32_t cx = width / 2, cy = height / 2;
  int32_t a;
  if (x == cx) {
    a = y > cy ? 240 : 90;
  } else {
    a = RoundHalfEven(std::atan(static_cast<double>(cy - y) / (x - cx)) * 180.0 / std::numbers::pi);
    if (x < cx) a = (a + 540) % 360;
  }
  if (a > 240 && a <= 270) a = 240;
  if (a < -60) a = -60;
  return a;
}

void KnobModel::LeftDown(int32_t x, int32_t y, int32_t width, int32_t height) {
  // inside the ellipse inscribed in the client rectangle
  const double rx = width / 2.0, ry = height / 2.0;
  if (rx <= 0 || ry <= 0) return;
  const double dx = (x - rx) / rx, dy = (y - ry) / ry;
  if (dx * dx + dy * dy > 1.0) return;
  dragging_ = true;
  MouseMove(x, y, width, height);
  SetPosition(ValueAt(dragAngle_));
}

void KnobModel::MouseMove(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!dragging_) return;
  dragAngle_ = AngleFromMouse(x, y, width, height);
  const int32_t v = ValueAt(dragAngle_);
  if (v != position_) SetPosition(v);
  if (onLabel) onLabel(v);
}

void KnobModel::LeftUp() {
  if (!dragging_) return;
  if (springLoaded_)
    SetPosition(0);
  else if (ValueAt(dragAngle_) != position_)
    SetPosition(ValueAt(dragAngle_));
  dragging_ = false;
}

void KnobModel::FocusLost() {
  dragging_ = false;
  if (springLoaded_) SetPosition(0);
}

void KnobModel::Key(uint32_t vk) {
  switch (vk) {
    case 33: SetPosition(position_ + pageSize); break;
    case 34: SetPosition(position_ - pageSize); break;
    case 35: SetPosition(max_); break;
    case 36: SetPosition(min_); break;
    case 37:
    case 40: SetPosition(position_ - 1); break;
    case 38:
    case 39: SetPosition(position_ + 1); break;
    default: break;
  }
}

void KnobModel::Wheel(int16_t delta) { SetPosition(RoundHalfEven(position_ + delta / 60.0)); }

int32_t KnobModel::Resize(int32_t width, int32_t height) {
  int32_t side = side_;
  if (side < height || side < width)
    side = std::max(height, width);
  else if (side > height || side > width)
    side = std::min(height, width);
  side_ = side;
  radius_ = side / 2;
  return side;
}

void KnobModel::PointerLine(Point& from, Point& to) const {
  const double a = pointerAngle_ * std::numbers::pi / 180.0;
  const double r = radius_;
  from = {radius_ + RoundHalfEven(0.3 * r * std::cos(a)), radius_ - RoundHalfEven(0.3 * r * std::sin(a))};
  to = {radius_ + RoundHalfEven((0.9 * r - 5) * std::cos(a)), radius_ - RoundHalfEven((0.9 * r - 5) * std::sin(a))};
}

std::string KnobModel::LabelText(int32_t value, const std::string& text) {
  return std::to_string(value) + " " + text;
}

}  // namespace brindle::window
