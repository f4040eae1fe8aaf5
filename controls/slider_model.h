// The slider's logic without a window: value <-> pixel mapping, layout of the
// ruler and thumb, tick marks, keys and the ruler's auto-repeat. The window
// part (slider.h) feeds it input and carries out what it asks of its host.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "slider_arith.h"
#include "toolkit/core/pixels.h"

namespace tav {

enum TSliderOrientation { soHorizontal, soVertical };
enum TSliderOption : unsigned { soShowFocus = 1, soShowPoints = 2, soSmooth = 4 };
using TSliderOptions = unsigned;
constexpr TSliderOptions kAllSliderOptions = soShowFocus | soShowPoints | soSmooth;

// The two builds of the control. The player's fires OnChange only when the
// value changes and wraps on overflow; the enhancer's fires it on every
// assignment, passes thumb moves on and raises on overflow.
struct PlayerSliderBuild {
  static constexpr bool kChangeOnEveryAssignment = false;
  static constexpr bool kCheckedArithmetic = false;
  static constexpr bool kPassThumbMoves = false;
  static constexpr bool kHasThumbVisible = true;
};
struct EnhancerSliderBuild {
  static constexpr bool kChangeOnEveryAssignment = true;
  static constexpr bool kCheckedArithmetic = true;
  static constexpr bool kPassThumbMoves = true;
  static constexpr bool kHasThumbVisible = false;
};

namespace slider {

constexpr TColor kKeyColor = 0x008080;  // red 128, green 128, blue 0
constexpr int kRepeatTimerId = 1;
constexpr int kRepeatPeriodMs = 400;
constexpr int kCursorHand = 14000;

// Step kinds of Step() and SideOfPoint().
enum StepKind { kStepNone = 0, kStepToMin = 1, kStepToMax = 2, kStepUp = 3, kStepDown = 4 };

// Image indexes.
enum ImageIndex { kHThumb = 0, kHRuler = 1, kVThumb = 2, kVRuler = 3 };

// Virtual-key codes the slider answers.
enum Key { kKeyEnd = 0x23, kKeyHome = 0x24, kKeyLeft = 0x25, kKeyUp = 0x26, kKeyRight = 0x27, kKeyDown = 0x28 };

enum class Button { Left, Right, Middle };

struct Size {
  int Width = 0, Height = 0;
  bool operator==(const Size&) const = default;
};

// One copy along the ruler's axis from the source ruler image to Ruler;
// each covers the whole cross size.
struct RulerPiece {
  int SourceStart, SourceEnd, TargetStart, TargetEnd;
  bool operator==(const RulerPiece&) const = default;
};

// A tick mark: its place along the axis and its length across it.
struct Tick {
  int Position;
  int Length;
  bool operator==(const Tick&) const = default;
};

// What the model asks of the window around it.
class SliderHost {
 public:
  virtual ~SliderHost() = default;
  virtual void Change() {}              // OnChange
  virtual void StartTracking() {}       // OnStartTracking
  virtual void StopTracking() {}        // OnStopTracking
  virtual void Repaint() {}             // the whole control
  virtual void ThumbChanged() {}        // thumb moved, resized, pressed or shown
  virtual void TakeFocus() {}
  virtual void CaptureMouse() {}
  virtual void ReleaseMouse() {}
  virtual void StartTimer(int id, int periodMs) {}
  virtual void StopTimer(int id) {}
  // Enhancer build: a move over the thumb, in thumb coordinates.
  virtual void PassMouseMove(unsigned shift, int x, int y) {}
};

template <class Build>
class SliderModel {
  using A = Arith<Build::kCheckedArithmetic>;

 public:
  explicit SliderModel(SliderHost& host) : host_(host) {}

  // --- construction and images ---------------------------------------------
  // The window part sets the default images while constructing, then calls
  // EndConstruction(), which lays out once.
  void EndConstruction() {
    constructing_ = false;
    Relayout();
  }
  bool Constructing() const { return constructing_; }

  // Records the size of image i; user tells a supplied picture from a default one.
  void SetImage(int i, Size size, bool user) {
    images_[i] = size;
    if (user)
      userImageBits_ |= 1u << i;
    else
      userImageBits_ &= ~(1u << i);
    if (i == ThumbImageIndex()) TakeThumbImage();
    if (!constructing_) RelayoutAndRepaint();
  }
  Size ImageSize(int i) const { return images_[i]; }
  uint8_t UserImageBits() const { return userImageBits_; }
  int ThumbImageIndex() const { return orientation_ == soHorizontal ? kHThumb : kVThumb; }
  int RulerImageIndex() const { return orientation_ == soHorizontal ? kHRuler : kVRuler; }

  // --- properties -----------------------------------------------------------
  int32_t Min() const { return min_; }
  int32_t Max() const { return max_; }
  int32_t Value() const { return value_; }
  int32_t Increment() const { return increment_; }
  int EdgeSize() const { return edgeSize_; }
  int NumThumbStates() const { return thumbStates_; }
  TSliderOrientation Orientation() const { return orientation_; }
  TSliderOptions Options() const { return options_; }
  bool ThumbVisible() const { return thumbVisible_; }

  void SetValue(int32_t v) {
    if (v > max_) v = max_;
    if (v < min_) v = min_;
    const int32_t before = value_;
    value_ = v;
    MoveThumb(PosFromValue(value_));
    if (Build::kChangeOnEveryAssignment || v != before) host_.Change();
  }
  void SetMin(int32_t v) {
    if (v == min_ || v > A::Sub(max_, increment_)) return;
    min_ = v;
    if (options_ & soShowPoints) host_.Repaint();
  }
  void SetMax(int32_t v) {
    if (v == max_ || v < A::Add(min_, increment_)) return;
    max_ = v;
    if (options_ & soShowPoints) host_.Repaint();
  }
  void SetIncrement(int32_t v) {
    if (v <= 0 || v == increment_) return;
    increment_ = v;
    SetValue(value_);
    host_.Repaint();
  }
  void SetEdgeSize(int v) {
    const Size ruler = images_[RulerImageIndex()];
    const int length = orientation_ == soHorizontal ? ruler.Width : ruler.Height;
    if (!(A::Mul(2, v) < length) || v == edgeSize_) return;
    edgeSize_ = v;
    RelayoutAndRepaint();
  }
  void SetOrientation(TSliderOrientation o) {
    if (o == orientation_) return;
    orientation_ = o;
    TakeThumbImage();
    RelayoutAndRepaint();
  }
  void SetOptions(TSliderOptions o) {
    if (o == options_) return;
    options_ = o;
    host_.Repaint();
  }
  void SetNumThumbStates(int n) {
    if (n < 1 || n > 2 || n == thumbStates_) return;
    thumbStates_ = n;
    TakeThumbImage();
  }
  void SetThumbVisible(bool v) {
    thumbVisible_ = v;
    host_.ThumbChanged();
  }

  // --- geometry -------------------------------------------------------------
  Size ClientSize() const { return client_; }
  void SetClientSize(Size s) { client_ = s; }
  TRect ThumbRect() const { return {thumbPos_.X, thumbPos_.Y, thumbPos_.X + thumbSize_.Width, thumbPos_.Y + thumbSize_.Height}; }
  Size RulerSize() const { return ruler_; }
  TPoint RulerOrigin() const { return rulerOrigin_; }
  TRect TickArea() const { return tickArea_; }
  const std::vector<RulerPiece>& RulerPieces() const { return pieces_; }
  bool ThumbPressed() const { return thumbPressed_; }
  // The part of the thumb image that shows: left half when not pressed,
  // right half when pressed (with two states).
  TRect ThumbSourceRect() const {
    const Size img = images_[ThumbImageIndex()];
    if (thumbStates_ <= 1) return {0, 0, img.Width, img.Height};
    const int half = img.Width / 2;
    return thumbPressed_ ? TRect{half, 0, img.Width, img.Height} : TRect{0, 0, half, img.Height};
  }

  int32_t TrackLength() const {
    return orientation_ == soHorizontal ? A::Sub(ruler_.Width, thumbSize_.Width)
                                        : A::Sub(ruler_.Height, thumbSize_.Height);
  }

  int32_t PosFromValue(int32_t v) const {
    const double x = static_cast<double>(A::Mul(TrackLength(), A::Sub(v, min_))) /
                     static_cast<double>(A::Sub(max_, min_));
    const int32_t r = A::Round(x);
    if (orientation_ == soHorizontal) return r;
    return A::Sub(A::Sub(client_.Height, r), thumbSize_.Height);
  }

  int32_t ValueFromPos(int32_t p) const {
    if (orientation_ == soVertical) p = A::Sub(A::Sub(client_.Height, p), thumbSize_.Height);
    const int32_t track = TrackLength();
    // A track of no length maps everything to the minimum.
    const int32_t r = track == 0 ? 0
                                 : A::Round(static_cast<double>(A::Mul(p, A::Sub(max_, min_))) /
                                            static_cast<double>(track));
    if (options_ & soSmooth) return A::Add(min_, r);
    return A::Add(min_, A::Mul(increment_, A::Div(r, increment_)));
  }

  void MoveThumb(int32_t p) {
    const int32_t track = TrackLength();
    if (p < 0) p = 0;
    if (p > track) p = track;
    if (!(options_ & soSmooth)) p = PosFromValue(ValueFromPos(p));
    if (orientation_ == soHorizontal)
      thumbPos_.X = p;
    else
      thumbPos_.Y = p;
    host_.ThumbChanged();
    if (tracking_) {
      const int32_t before = value_;
      value_ = ValueFromPos(p);
      if (value_ != before) host_.Change();
    }
  }

  void Step(int kind) {
    switch (kind) {
      case kStepToMin: SetValue(min_); break;
      case kStepToMax: SetValue(max_); break;
      case kStepUp: SetValue(A::Mul(increment_, A::Add(A::Div(value_, increment_), 1))); break;
      case kStepDown: SetValue(A::Mul(increment_, A::Sub(A::Div(value_, increment_), 1))); break;
      default: break;
    }
  }

  int SideOfPoint(int x, int y) const {
    const TRect t = ThumbRect();
    if (orientation_ == soHorizontal) {
      if (x < t.Left) return kStepDown;
      if (x > A::Add(t.Left, thumbSize_.Width)) return kStepUp;
    } else {
      if (y < t.Top) return kStepUp;
      if (y > A::Add(t.Top, thumbSize_.Height)) return kStepDown;
    }
    return kStepNone;
  }

  // --- layout ---------------------------------------------------------------
  void BuildRuler() {
    const Size source = images_[RulerImageIndex()];
    const bool horizontal = orientation_ == soHorizontal;
    int L = horizontal ? client_.Width : client_.Height;
    if (L < 0) L = 0;
    ruler_ = horizontal ? Size{L, source.Height} : Size{source.Width, L};
    pieces_.clear();
    const int E = edgeSize_;
    const int s = horizontal ? source.Width : source.Height;
    const int m = A::Sub(s, A::Mul(2, E));
    if (m <= 0) return;  // no middle piece to repeat
    const int a = A::Sub(L, A::Mul(2, E));
    const int b = A::Div(a, m);
    const int rest = A::Mod(a, m);
    if (b < 0) return;
    pieces_.push_back({0, A::Sub(s, E), 0, A::Sub(s, E)});
    for (int i = 1; i < b; ++i)
      pieces_.push_back({E, A::Add(E, m), A::Add(E, A::Mul(i, m)), A::Add(E, A::Mul(i + 1, m))});
    if (b > 0) pieces_.push_back({A::Sub(A::Sub(s, E), rest), s, A::Add(E, A::Mul(b, m)), L});
  }

  void Relayout() {
    const int32_t remembered = value_;
    BuildRuler();
    if (orientation_ == soHorizontal) {
      if (ruler_.Height < thumbSize_.Height) {
        thumbPos_ = {0, 0};
        rulerOrigin_ = {0, (thumbSize_.Height - ruler_.Height) / 2};
      } else {
        rulerOrigin_ = {0, 0};
        thumbPos_ = {0, (ruler_.Height - thumbSize_.Height) / 2};
      }
      tickArea_ = {rulerOrigin_.X, std::max(ruler_.Height, thumbSize_.Height) + 1,
                   A::Add(rulerOrigin_.X, ruler_.Width), client_.Height - 1};
    } else {
      if (ruler_.Width < thumbSize_.Width) {
        thumbPos_ = {0, 0};
        rulerOrigin_ = {(thumbSize_.Width - ruler_.Width) / 2, 0};
      } else {
        rulerOrigin_ = {0, 0};
        thumbPos_ = {(ruler_.Width - thumbSize_.Width) / 2, 0};
      }
      tickArea_ = {std::max(ruler_.Width, thumbSize_.Width) + 1, rulerOrigin_.Y, client_.Width - 1,
                   A::Add(rulerOrigin_.Y, ruler_.Height)};
    }
    SetValue(remembered);
  }
  void RelayoutAndRepaint() {
    Relayout();
    host_.Repaint();
  }
  void Resized(Size client) {
    client_ = client;
    RelayoutAndRepaint();
  }

  // --- ticks ----------------------------------------------------------------
  // The spacing multiplier k of DrawPoints(step, ...).
  int TickMultiplier(int32_t step) const {
    const int32_t track = TrackLength();
    for (int32_t k = 1;; ++k) {
      const int32_t n = A::Add(A::Div(A::Sub(max_, min_), A::Mul(step, k)), 1);
      const int32_t gap = n > 1 ? A::Div(A::Sub(track, n), n - 1) : track;
      if (gap >= 3 || gap == track) return k;
    }
  }
  std::vector<Tick> Ticks(int32_t step, int length, int endLength) const {
    std::vector<Tick> ticks;
    if (step <= 0) return ticks;
    const int32_t spacing = A::Mul(step, TickMultiplier(step));
    const int half = orientation_ == soHorizontal ? thumbSize_.Width / 2 : thumbSize_.Height / 2;
    for (int32_t v = min_; v <= max_;) {
      ticks.push_back({A::Add(PosFromValue(v), half), (v == min_ || v == max_) ? endLength : length});
      const int32_t next = A::Add(v, spacing);
      if (next <= v) break;  // wrapped past the top of the range
      v = next;
    }
    return ticks;
  }

  // --- input ----------------------------------------------------------------
  // Returns true when the key was consumed. noModifiers: Shift, Ctrl and Alt all up.
  bool HandleKey(int key, bool noModifiers) {
    if (!noModifiers) return false;
    const bool horizontal = orientation_ == soHorizontal;
    switch (key) {
      case kKeyHome: Step(kStepToMin); return true;
      case kKeyEnd: Step(kStepToMax); return true;
      case kKeyLeft: if (!horizontal) return false; Step(kStepDown); return true;
      case kKeyRight: if (!horizontal) return false; Step(kStepUp); return true;
      case kKeyUp: if (horizontal) return false; Step(kStepUp); return true;
      case kKeyDown: if (horizontal) return false; Step(kStepDown); return true;
      default: return false;
    }
  }

  // A press on the control outside the thumb (the ruler).
  void MouseDown(Button b, int x, int y) {
    if (b != Button::Left) return;
    host_.TakeFocus();
    host_.CaptureMouse();
    rulerPressed_ = true;
    pressPoint_ = {x, y};
    pressSide_ = SideOfPoint(x, y);
    RepeatStep();
  }
  void MouseMove(int x, int y) {
    if (rulerPressed_) pressPoint_ = {x, y};
  }
  void MouseUp() { StopRepeat(); }
  // A timer message still queued after the release steps no further.
  void TimerFired() {
    if (rulerPressed_) RepeatStep();
  }
  // The control lost the mouse capture to another window: the press is over.
  void CaptureLost() {
    if (!rulerPressed_) return;
    if (repeatRunning_) {
      host_.StopTimer(kRepeatTimerId);
      repeatRunning_ = false;
    }
    rulerPressed_ = false;
  }

  void RepeatStep() {
    const int side = SideOfPoint(pressPoint_.X, pressPoint_.Y);
    if (side != pressSide_) return;
    Step(side);
    if (!repeatRunning_) {
      host_.StartTimer(kRepeatTimerId, kRepeatPeriodMs);
      repeatRunning_ = true;
    }
  }
  void StopRepeat() {
    if (!rulerPressed_) return;
    if (repeatRunning_) {
      host_.StopTimer(kRepeatTimerId);
      repeatRunning_ = false;
    }
    rulerPressed_ = false;
    host_.ReleaseMouse();
  }

  // Thumb input, in thumb coordinates.
  void ThumbMouseDown(Button b, int x, int y) {
    host_.TakeFocus();
    if (b != Button::Left) return;
    grabOffset_ = orientation_ == soHorizontal ? x : y;
    tracking_ = true;
    thumbPressed_ = true;
    host_.ThumbChanged();
    host_.StartTracking();
  }
  void ThumbMouseMove(bool leftDown, unsigned shift, int x, int y) {
    if (leftDown && tracking_) {
      const int sx = A::Add(x, thumbPos_.X), sy = A::Add(y, thumbPos_.Y);
      MoveThumb(A::Sub(orientation_ == soHorizontal ? sx : sy, grabOffset_));
      if (Build::kPassThumbMoves) host_.Repaint();
    }
    if (Build::kPassThumbMoves) host_.PassMouseMove(shift, x, y);
  }
  // Only the release of the button that began the drag ends it, so another
  // button's click on the thumb does not count as a finished drag.
  void ThumbMouseUp(Button b) {
    if (b != Button::Left || !tracking_) return;
    EndTracking();
  }
  // The thumb lost the mouse capture while dragging.
  void ThumbCaptureLost() {
    if (tracking_) EndTracking();
  }

  void SetFocused(bool f) {
    if (f == focused_) return;
    focused_ = f;
    if (options_ & soShowFocus) host_.Repaint();
  }

  bool Focused() const { return focused_; }
  bool Tracking() const { return tracking_; }
  bool RulerPressed() const { return rulerPressed_; }
  bool RepeatRunning() const { return repeatRunning_; }
  int PressSide() const { return pressSide_; }

 private:
  void TakeThumbImage() {
    const Size img = images_[ThumbImageIndex()];
    thumbSize_ = {img.Width / thumbStates_, img.Height};
    host_.ThumbChanged();
  }
  void EndTracking() {
    tracking_ = false;
    thumbPressed_ = false;
    host_.ThumbChanged();
    host_.StopTracking();
  }

  SliderHost& host_;
  bool constructing_ = true;
  Size images_[4]{};
  uint8_t userImageBits_ = 0;
  int edgeSize_ = 2;
  int thumbStates_ = 2;
  TSliderOrientation orientation_ = soHorizontal;
  TSliderOptions options_ = kAllSliderOptions;
  int32_t increment_ = 10, min_ = 0, max_ = 100, value_ = 0;
  bool thumbVisible_ = true;

  Size client_{140, 40};
  Size ruler_{};
  Size thumbSize_{};
  TPoint thumbPos_{};
  TPoint rulerOrigin_{};
  TRect tickArea_{};
  std::vector<RulerPiece> pieces_;

  bool focused_ = false, tracking_ = false, rulerPressed_ = false, repeatRunning_ = false;
  bool thumbPressed_ = false;
  int grabOffset_ = 0;
  TPoint pressPoint_{};
  int pressSide_ = 0;
};

}  // namespace slider
}  // namespace tav
